#include "persist/history.h"
#include "persist/optins.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

std::vector<std::pair<std::string, int>> Listed(const history& h) {
    std::vector<std::pair<std::string, int>> out;
    for (const hist_posytion& entry : h.Entries())
        out.emplace_back(entry.path, entry.position);
    return out;
}

std::string Movie(int i) {
    return "/movies/film" + std::to_string(i) + ".avi";
}

} // namespace

TEST(History, TheLastStoredMovieComesFirstAndAppearsOnce) {
    history h;
    h.add("/m/A.avi", 100);
    h.add("/m/B.avi", 200);
    h.add("/m/A.avi", 300);
    using L = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(Listed(h), (L{{"/m/A.avi", 300}, {"/m/B.avi", 200}}));
    EXPECT_EQ(h.get("/m/A.avi"), 300);
    EXPECT_EQ(h.get("/m/a.avi"), 0) << "paths compare with case";

    h.add("/m/B.avi", 0);
    EXPECT_EQ(Listed(h), (L{{"/m/A.avi", 300}}));
    EXPECT_EQ(h.get("/m/B.avi"), 0);
    h.add("/m/A.avi", -5);
    EXPECT_TRUE(h.Entries().empty()) << "a negative position forgets the movie too";
}

TEST(History, OnlyAbsoluteLocalPathsAreRemembered) {
    const std::pair<const char*, bool> cases[] = {
        {"/m/A.avi", true},
        {"/abc", true},
        {"/ab", false}, // three characters or fewer
        {"/", false},
        {"http://host/movie.avi", false},
        {"dvd://1", false},
        {"-", false},
        {"relative/movie.avi", false},
        {"/m/two\nlines.avi", false}, // could not be stored as one line
    };
    for (const auto& [path, remembered] : cases) {
        history h;
        h.add(path, 50);
        EXPECT_EQ(h.get(path), remembered ? 50 : 0) << path;
        EXPECT_EQ(IsRememberablePath(path), remembered) << path;
    }
}

TEST(History, KeepsFiftyMoviesButLoadsWholeFiles) {
    history h;
    for (int i = 0; i < 51; ++i)
        h.add(Movie(i), i + 1);
    EXPECT_EQ(h.Entries().size(), 50u);
    EXPECT_EQ(h.get(Movie(0)), 0) << "the oldest movie is gone";
    EXPECT_EQ(h.get(Movie(1)), 2);
    EXPECT_EQ(h.Entries().front().path, Movie(50));

    TempDir dir;
    std::string file = dir.file("m.txt");
    std::vector<hist_posytion> sixty;
    for (int i = 0; i < 60; ++i)
        sixty.push_back({Movie(i), 1000 + i});
    WriteFile(file, FormatHistory(sixty));
    history loaded;
    loaded.deserialize(file);
    EXPECT_EQ(loaded.Entries().size(), 60u);
    EXPECT_EQ(loaded.get(Movie(59)), 1059);
    loaded.add("/movies/new.avi", 5);
    EXPECT_EQ(loaded.Entries().size(), 50u);
    EXPECT_EQ(loaded.get(Movie(48)), 1048);
    EXPECT_EQ(loaded.get(Movie(49)), 0);
}

TEST(History, ParsingStopsAtThePositionThatIsNoNumber) {
    struct Case {
        std::string content;
        std::vector<std::pair<std::string, int>> expected;
    };
    const Case cases[] = {
        {"/a.avi\n12\n/b.avi\n34\n", {{"/a.avi", 12}, {"/b.avi", 34}}},
        {"/a.avi\r\n12\r\n/b.avi\r\n34\r\n", {{"/a.avi", 12}, {"/b.avi", 34}}},
        {"/a.avi\n12\n/b.avi\nabc\n/c.avi\n5\n", {{"/a.avi", 12}}},
        {"/a.avi\n12 seconds and more\n/b.avi\n-3\n", {{"/a.avi", 12}, {"/b.avi", -3}}},
        {"/a.avi\n\n  77\n", {{"/a.avi", 77}}}, // the number is read like "%d"
        {"/a.avi\n99999999999\n", {{"/a.avi", 2147483647}}},
        {"/a.avi", {}},
        {"", {}},
        {std::string("\0\0\xff\n\x01", 5), {}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, int>> got;
        for (const hist_posytion& entry : ParseHistory(c.content))
            got.emplace_back(entry.path, entry.position);
        EXPECT_EQ(got, c.expected) << c.content;
    }
}

TEST(History, IsWrittenOnlyWhenPositionsAreKeptAndReadsBackTheSame) {
    TempDir dir;
    std::string file = dir.file("m.txt");
    history h;
    h.add("/m/A.avi", 100);
    h.add("/m/B movie.avi", 7);

    Optins1.rememberPositions = false;
    h.serialize(file);
    EXPECT_EQ(IsFileExist(file.c_str()), 0);

    Optins1.rememberPositions = true;
    h.serialize(file);
    EXPECT_EQ(ReadFile(file), "/m/B movie.avi\n7\n/m/A.avi\n100\n");
    history again;
    again.deserialize(file);
    EXPECT_EQ(Listed(again), Listed(h));

    history empty;
    empty.serialize(file);
    EXPECT_EQ(ReadFile(file), "");

    history untouched;
    untouched.add("/m/C.avi", 9);
    untouched.deserialize(dir.file("missing.txt"));
    EXPECT_EQ(untouched.get("/m/C.avi"), 9);
}

TEST(History, TheDefaultFileIsInTheStateFolder) {
    TempDir dir;
    SetProgramFolder(dir.path());
    Optins1.rememberPositions = true;
    history h;
    h.add("/m/A.avi", 42);
    h.serialize();
    EXPECT_EQ(ReadFile(dir.file("m.txt")), "/m/A.avi\n42\n");
    history loaded;
    loaded.deserialize();
    EXPECT_EQ(loaded.get("/m/A.avi"), 42);
    SetProgramFolder("");
}

TEST(History, TheReaderThreadAndTheUserInterfaceMayStorePositionsTogether) {
    history h;
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i)
            h.add(Movie(i % 70), 0);
    });
    for (int i = 0; i < 2000; ++i) {
        h.add(Movie(i % 70), i + 1);
        h.get(Movie(i % 13));
    }
    reader.join();
    std::vector<hist_posytion> entries = h.Entries();
    EXPECT_LE(entries.size(), 50u);
    for (size_t i = 0; i < entries.size(); ++i)
        for (size_t j = i + 1; j < entries.size(); ++j)
            EXPECT_NE(entries[i].path, entries[j].path);
}
