// Finding every volume of a set from any volume's name, for each naming scheme.
#include "tests/support/testenv.h"
#include "tools/unrar/rarvolumes.h"

#include <gtest/gtest.h>

namespace {

struct SchemeCase {
    std::vector<std::string> present; // files in the folder
    std::string given;
    std::vector<std::string> expected; // listed volumes
    std::string next;
};

} // namespace

TEST(RarVolumes, EachNamingSchemeFromAnyVolume) {
    const SchemeCase cases[] = {
        {{"m.rar", "m.r00", "m.r01"}, "m.r00", {"m.rar", "m.r00", "m.r01"}, "m.r02"},
        {{"m.rar", "m.r00", "m.r01"}, "m.rar", {"m.rar", "m.r00", "m.r01"}, "m.r02"},
        {{"M.RAR", "M.R00"}, "M.R00", {"M.RAR", "M.R00"}, "M.R01"},
        {{"m.part1.rar", "m.part2.rar", "m.part3.rar"},
         "m.part3.rar",
         {"m.part1.rar", "m.part2.rar", "m.part3.rar"},
         "m.part4.rar"},
        {{"m.part01.rar", "m.part02.rar"},
         "m.part02.rar",
         {"m.part01.rar", "m.part02.rar"},
         "m.part03.rar"},
        {{"m.part001.rar", "m.part002.rar"},
         "m.part001.rar",
         {"m.part001.rar", "m.part002.rar"},
         "m.part003.rar"},
        // A two-digit number of a set numbered with one digit.
        {{"m.part1.rar", "m.part2.rar"},
         "m.part10.rar",
         {"m.part1.rar", "m.part2.rar"},
         "m.part3.rar"},
        {{"m.001", "m.002", "m.003"}, "m.002", {"m.001", "m.002", "m.003"}, "m.004"},
        // A gap ends the list; the missing volume is named.
        {{"m.rar", "m.r01"}, "m.rar", {"m.rar"}, "m.r00"},
        // Unfinished downloads are found under their suffixed names.
        {{"m.rar", "m.r00.!ut", "m.r01.bc!"},
         "m.r00.!ut",
         {"m.rar", "m.r00.!ut", "m.r01.bc!"},
         "m.r02"},
        // A lone archive of another name.
        {{"notes.cbr"}, "notes.cbr", {"notes.cbr"}, ""},
        // The first volume is missing: nothing to read.
        {{"m.r00"}, "m.r00", {}, "m.rar"},
    };
    for (const SchemeCase& c : cases) {
        SCOPED_TRACE(c.given);
        TempDir dir;
        for (const std::string& name : c.present)
            WriteFile(dir.file(name), "x");
        VolumeList list = ListVolumes(dir.file(c.given));
        std::vector<std::string> expected;
        for (const std::string& name : c.expected)
            expected.push_back(dir.file(name));
        EXPECT_EQ(list.names, expected);
        EXPECT_EQ(list.nextName, c.next.empty() ? "" : dir.file(c.next));
    }
}

TEST(RarVolumes, OldSchemeGoesPastR99) {
    TempDir dir;
    WriteFile(dir.file("m.rar"), "x");
    for (int i = 0; i <= 100; ++i) {
        std::string n = std::to_string(i);
        WriteFile(dir.file("m.r" + std::string(n.size() < 2 ? "0" : "") + n), "x");
    }
    VolumeList list = ListVolumes(dir.file("m.rar"));
    ASSERT_EQ(list.names.size(), 102u);
    EXPECT_EQ(list.names.back(), dir.file("m.r100"));
    EXPECT_EQ(VolumeName(dir.file("m.r05"), 101, 0), dir.file("m.r100"));
}
