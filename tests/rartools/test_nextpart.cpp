// Next-part discovery: CD folders of a release first, then the next file of the same type.
#include "rar/nextpart.h"
#include "platform/rarnames.h"
#include "tests/support/testenv.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct NextCase {
    const char* what;
    std::vector<std::string> files; // relative to the test folder; a trailing '/' makes a folder
    std::string movie;
    std::string expected; // "" when nothing follows
};

} // namespace

TEST(NextPart, FollowsCdFoldersThenTheSameFolder) {
    const NextCase cases[] = {
        {"CD1 with a cd2 sibling", {"X/CD1/x.avi", "X/cd2/x2.avi"}, "X/CD1/x.avi", "X/cd2/x2.avi"},
        {"CD1 with a CD2 sibling names CD2 as it exists",
         {"X/CD1/x.avi", "X/CD2/x2.avi", "X/CD2/x3.avi"},
         "X/CD1/x.avi",
         "X/CD2/x2.avi"},
        {"cd2 looks in cd3", {"X/cd2/x.avi", "X/CD3/y.avi"}, "X/cd2/x.avi", "X/CD3/y.avi"},
        {"CD3 is not followed: same folder",
         {"X/CD3/x.avi", "X/CD3/z.avi", "X/CD4/w.avi"},
         "X/CD3/x.avi",
         "X/CD3/z.avi"},
        {"lettered and spaced", {"X/cd a/x.avi", "X/CD B/y.avi"}, "X/cd a/x.avi", "X/CD B/y.avi"},
        {"spaced numbers", {"X/CD 1/x.avi", "X/cd 2/y.avi"}, "X/CD 1/x.avi", "X/cd 2/y.avi"},
        {"next CD folder without such a file: same folder",
         {"X/CD1/x.avi", "X/CD1/y.avi", "X/CD2/x.mkv"},
         "X/CD1/x.avi",
         "X/CD1/y.avi"},
        {"same-folder order",
         {"F/part1.avi", "F/part2.avi", "F/part3.avi"},
         "F/part2.avi",
         "F/part3.avi"},
        {"the last part has no follower",
         {"F/part1.avi", "F/part2.avi", "F/part3.avi"},
         "F/part3.avi",
         ""},
        {"other extensions are never chosen",
         {"F/part1.avi", "F/part1b.srt", "F/part2.avi"},
         "F/part1.avi",
         "F/part2.avi"},
        {"an unrelated file of the same type is chosen",
         {"F/a.avi", "F/b.avi"},
         "F/a.avi",
         "F/b.avi"},
        {"names sort without regard to case",
         {"F/a.avi", "F/B.avi", "F/c.avi"},
         "F/a.avi",
         "F/B.avi"},
        {"extensions match without regard to case", {"F/a.avi", "F/b.AVI"}, "F/a.avi", "F/b.AVI"},
        {"folders are never chosen", {"F/a.avi", "F/b.avi/"}, "F/a.avi", ""},
        {"a name in another case is not found", {"F/part1.avi", "F/part2.avi"}, "F/PART1.avi", ""},
        {"no dot in the name, one in the folder", {"F.d/part1", "F.d/part2"}, "F.d/part1", ""},
        {"no extension at all", {"F/part1", "F/part2", "F/part0.avi"}, "F/part1", "F/part2"},
        // The volumes of the movie's own set are the same movie: never its next part.
        {"the last set in the folder ends the chain",
         {"F/film.part1.rar", "F/film.part2.rar", "F/film.part3.rar", "F/film.part4.rar"},
         "F/film.part1.rar",
         ""},
        {"the next set follows the volumes of this one",
         {"F/a.part1.rar", "F/a.part2.rar", "F/a.part3.rar", "F/b.part1.rar", "F/b.part2.rar"},
         "F/a.part1.rar",
         "F/b.part1.rar"},
        {"two-digit parts, capitals and an unfinished volume",
         {"F/A.PART01.RAR", "F/a.part02.rar", "F/A.part03.rar.bc!", "F/c.rar"},
         "F/A.PART01.RAR",
         "F/c.rar"},
        {"old naming never picks .r00",
         {"F/film.rar", "F/film.r00", "F/film.r01", "F/g.part1.rar"},
         "F/film.rar",
         "F/g.part1.rar"},
        {"numbered volumes",
         {"F/film.001", "F/film.002", "F/next.001"},
         "F/film.001",
         "F/next.001"},
        {"a set in CD1 goes on with the first volume in CD2",
         {"X/cd1/film.part1.rar", "X/cd1/film.part2.rar", "X/cd2/film.part1.rar",
          "X/cd2/film.part2.rar"},
         "X/cd1/film.part1.rar",
         "X/cd2/film.part1.rar"},
        {"the set in the last CD ends the chain",
         {"X/cd2/film.part1.rar", "X/cd2/film.part2.rar"},
         "X/cd2/film.part1.rar",
         ""},
    };
    for (const NextCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const std::string& f : c.files) {
            if (f.back() == '/') {
                fs::create_directories(dir.file(f));
                continue;
            }
            fs::create_directories(fs::path(dir.file(f)).parent_path());
            WriteFile(dir.file(f), "movie");
        }
        std::string next = findnextmovie(dir.file(c.movie));
        EXPECT_EQ(next, c.expected.empty() ? "" : dir.file(c.expected));
        if (!next.empty()) {
            EXPECT_TRUE(fs::exists(next)) << next;
        }
    }
}

TEST(NextPart, RarSetKeysJoinTheVolumesOfOneSet) {
    const std::pair<const char*, const char*> keys[] = {
        {"/m/Film.part3.rar", "/m/film.part#.rar"},
        {"/m/film.PART01.RAR", "/m/film.part#.rar"},
        {"/m/film.part2.rar.!ut", "/m/film.part#.rar"},
        {"/m/film.rar", "/m/film.r#"},
        {"/m/FILM.R07", "/m/film.r#"},
        {"/m/film.r100.bc!", "/m/film.r#"},
        {"/m/film.001", "/m/film.#"},
        {"/m/film.avi", ""},
        {"/m/film.r7", ""},
        {"/m/film.12", ""},
        {"/m/film.parts.rar", "/m/film.parts.r#"},
    };
    for (const auto& [name, key] : keys)
        EXPECT_EQ(RarSetKey(name), key) << name;
}

TEST(NextPart, FindFilesAppendsSortedBareNames) {
    TempDir dir;
    for (const char* name : {"b.txt", "A.txt", "c.ini", "a.TXT"})
        WriteFile(dir.file(name), "x");
    std::vector<std::string> names = {"kept"};
    EXPECT_TRUE(Find_files(dir.path() + "/*.txt", names));
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "A.txt", "a.TXT", "b.txt"}));
    EXPECT_FALSE(Find_files(dir.path() + "/*.avi", names));
    EXPECT_FALSE(Find_files(dir.path() + "/missing/*.txt", names));
    EXPECT_EQ(names.size(), 4u);
}

TEST(NextPart, CdTableOnlyKnowsItsSixFolderPairs) {
    TempDir dir;
    for (const char* folder : {"cd2", "cd3", "cd 2", "cd 3", "cdb", "cd b", "cd4", "cdc"})
        WriteFile(
            (fs::create_directories(dir.file(folder)), dir.file(std::string(folder) + "/m.avi")),
            "x");
    struct Row {
        const char* current;
        const char* next;
    } rows[] = {{"cd1", "cd2"}, {"CD1", "cd2"}, {"cd 1", "cd 2"}, {"CD 1", "cd 2"},
                {"cd2", "cd3"}, {"CD2", "cd3"}, {"cd 2", "cd 3"}, {"CD 2", "cd 3"},
                {"cda", "cdb"}, {"CDA", "cdb"}, {"cd a", "cd b"}, {"CD A", "cd b"},
                {"cd3", ""},    {"Cd1", ""},    {"cdb", ""},      {"disc1", ""}};
    for (const Row& r : rows) {
        std::string expected = *r.next ? dir.path() + "/" + r.next + "/m.avi" : "";
        EXPECT_EQ(findnextmoviecd1(dir.path(), r.current, "avi"), expected) << r.current;
    }
}
