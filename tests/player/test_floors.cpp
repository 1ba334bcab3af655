// The floors of the house: the engine and the ground floor under it include nothing of the
// features above them, so a feature can change without the engine being rebuilt or re-read.
#include "tests/support/testenv.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

// Every "folder/file" include of the sources in `folder` that names a folder not in `allowed`,
// as "file: include".
std::vector<std::string> IncludesAbove(const std::string& folder,
                                       const std::set<std::string>& allowed) {
    std::vector<std::string> found;
    const std::regex include(R"(^\s*#\s*include\s*"([^/"]+)/[^"]+")");
    for (const fs::directory_entry& entry : fs::directory_iterator(SourceDir() + "/" + folder)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".h")
            continue;
        std::ifstream in(entry.path());
        std::string line;
        std::smatch m;
        while (std::getline(in, line))
            if (std::regex_search(line, m, include) && allowed.count(m[1].str()) == 0)
                found.push_back(entry.path().filename().string() + ": " + line);
    }
    return found;
}

TEST(Floors, EachFloorIncludesOnlyTheFloorsBelowIt) {
    // From the ground up; the program and the tools stand side by side on top.
    const std::vector<std::string> floors = {"platform",  "persist", "player", "rar",
                                             "subtitles", "online",  "thumbs"};
    std::set<std::string> below;
    for (const std::string& floor : floors) {
        below.insert(floor);
        EXPECT_EQ(IncludesAbove(floor, below), std::vector<std::string>{}) << floor;
    }
    std::set<std::string> top = below;
    top.insert("ui");
    EXPECT_EQ(IncludesAbove("ui", top), std::vector<std::string>{});
    top.erase("ui");
    top.insert("tools");
    for (const fs::directory_entry& tool : fs::directory_iterator(SourceDir() + "/tools")) {
        if (!tool.is_directory())
            continue;
        std::string folder = "tools/" + tool.path().filename().string();
        EXPECT_EQ(IncludesAbove(folder, top), std::vector<std::string>{}) << folder;
    }
    // The check reads real sources: a folder it cannot see would make it pass for nothing.
    EXPECT_TRUE(fs::exists(SourceDir() + "/player/interpreter.cpp"));
}
} // namespace
