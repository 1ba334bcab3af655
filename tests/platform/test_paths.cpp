#include "platform/paths.h"
#include "platform/textutil.h"
#include "tests/support/testenv.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(PathHelpers, FileNameAndDirectorySplitAtTheLastSeparator) {
    EXPECT_EQ(FileNameFromPath("/home/u/movie.avi"), "movie.avi");
    EXPECT_EQ(FileNameFromPath("movie.avi"), "movie.avi");
    EXPECT_EQ(FileNameFromPath("/home/u/"), "");
    EXPECT_EQ(GetDirectoryFromPath("/home/u/movie.avi"), "/home/u");
    EXPECT_EQ(GetDirectoryFromPath("movie.avi"), "movie.avi");
    EXPECT_EQ(GetDirectoryFromPath("/movie.avi"), "");
}

TEST(PathHelpers, FindostatnieKeepsAPathWhoseOnlySeparatorIsFirst) {
    char a[] = "/movie.avi";
    EXPECT_STREQ(findostatnie(a), "/movie.avi");
    char b[] = "/dir/movie.avi";
    EXPECT_STREQ(findostatnie(b), "movie.avi");
    char c[] = "/dir/";
    EXPECT_STREQ(findostatnie(c), "");
    char d[] = "plain";
    EXPECT_STREQ(findostatnie(d), "plain");
}

TEST(PathHelpers, KatalogExeEndsWithASeparatorAndFollowsTheOverride) {
    std::string own = KatalogExe();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), '/');
    EXPECT_EQ(own, TestBinDir() + "/");
    SetProgramFolder("/opt/quorvan");
    EXPECT_STREQ(KatalogExe(), "/opt/quorvan/");
    SetProgramFolder("");
    EXPECT_EQ(std::string(KatalogExe()), own);
}

TEST(PathHelpers, FileTestsCreateNothingAndReportAccess) {
    TempDir dir;
    std::string file = dir.file("exists.txt");
    EXPECT_EQ(IsFileExist(file.c_str()), 0);
    WriteFile(file, "x");
    EXPECT_EQ(IsFileExist(file.c_str()), 1);
    std::string probe = dir.file("probe");
    EXPECT_EQ(TestCreationFile(probe.c_str()), 1);
    EXPECT_EQ(IsFileExist(probe.c_str()), 0) << "the probe file must be deleted again";
    EXPECT_EQ(TestCreationFile((dir.path() + "/missing/dir/f").c_str()), 0);

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(TestWriteCurrentDirectory(), 1);
    EXPECT_EQ(IsFileExist("test.test"), 0);
    ASSERT_EQ(chdir(cwd), 0);
}

TEST(PathHelpers, TheWritableTestLeavesFilesAndPlantedLinksAlone) {
    TempDir dir;
    std::string victim = dir.file("victim");
    WriteFile(victim, "precious");
    ASSERT_EQ(symlink(victim.c_str(), dir.file("test.test").c_str()), 0);
    WriteFile(dir.file("movie.avi.TEST"), "the user's own file");
    EXPECT_EQ(TestCreationFile(dir.file("test.test").c_str()), 1);
    EXPECT_EQ(TestCreationFile(dir.file("movie.avi.TEST").c_str()), 1);
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_EQ(ReadFile(dir.file("movie.avi.TEST")), "the user's own file");
    struct stat st {};
    EXPECT_EQ(lstat(dir.file("test.test").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 3u) << "no probe is left behind";
}

TEST(PathHelpers, TempDirectoryEndsWithSeparatorAndHonoursTmpdir) {
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(GetTempDirectory(), "/var/tmp/");
    setenv("TMPDIR", std::string(3000, 'a').c_str(), 1);
    EXPECT_LE(GetTempDirectory().size(), 1595u);
    EXPECT_EQ(GetTempDirectory().back(), '/');
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempDirectory(), "/tmp/");
}

TEST(TextHelpers, CmpznakWalksOnlyTheTextsLength) {
    EXPECT_EQ(cmpznak(".r07", ".r??"), 1);
    EXPECT_EQ(cmpznak(".rar", ".r??"), 0) << "? matches digits only";
    EXPECT_EQ(cmpznak(".r0", ".r??"), 1) << "a longer pattern agreeing on the text matches";
    EXPECT_EQ(cmpznak(".r07x", ".r??"), 0) << "a shorter pattern fails at its end";
    EXPECT_EQ(cmpznak("", "abc"), 1);
    EXPECT_EQ(cmpznak(".R07", ".r??"), 0) << "case-sensitive";
}

TEST(TextHelpers, RepleaceallReplacesEveryOccurrence) {
    std::string s = "a\\b\\c";
    repleaceall(s, "\\", "/");
    EXPECT_EQ(s, "a/b/c");
    std::string t = "x<nowid>y<nowid>";
    repleaceall(t, "<nowid>", " ");
    EXPECT_EQ(t, "x y ");
    std::string u = "aaa";
    repleaceall(u, "aa", "a"); // searched again from the start: aaa -> aa -> a
    EXPECT_EQ(u, "a");
    std::string v = "ab";
    repleaceall(v, "a", "aa"); // would never end when searched from the start
    EXPECT_EQ(v, "aab");
    std::string w = "abc";
    repleaceall(w, "", "x");
    EXPECT_EQ(w, "abc");
}

TEST(TextHelpers, TohexdigsPrintsLowercaseInDigestOrder) {
    unsigned char digest[16];
    for (int i = 0; i < 16; ++i)
        digest[i] = static_cast<unsigned char>(i * 17);
    char out[33];
    tohexdigs(digest, out);
    EXPECT_STREQ(out, "00112233445566778899aabbccddeeff");
}
