// The Napiprojekt download against a local server that checks every byte of the request
// and answers as the service does today: a 7z made now by 7zz, gzip, plain text, "NPc0",
// answers around the 899-byte rule, a dead and a stalling server.
#include "online/httptransfer.h"
#include "online/moviehash.h"
#include "online/napiprojekt.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "tests/online/fakeservices.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class Napiprojekt : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QUORVAN_NAPIPROJEKT_URL", server_.url().c_str(), 1);
        movie_ = dir_.file("Film z łódki.avi");
        WriteLooseFile(movie_, 3u << 20, {{0, RandomBytes(3u << 20, 7)}});
        md5_ = MovieHash(movie_).hashNapiprojekt;
    }
    void TearDown() override {
        unsetenv("QUORVAN_NAPIPROJEKT_URL");
        EXPECT_EQ(server_.Complaints(), "");
    }
    std::string Subtitle(size_t size = 5000) { return SampleSubtitle(size, "napi"); }

    TempDir dir_;
    FakeNapiprojekt server_;
    std::string movie_, md5_;
};

TEST_F(Napiprojekt, ArchiveWithEitherPasswordLandsBesideTheMovie) {
    std::string text = Subtitle();
    std::string archive = Make7z(md5_ + ".txt", text, kNapiprojektPassword);
    ASSERT_FALSE(archive.empty()) << "7zz is needed";
    ASSERT_GT(archive.size(), 899u);
    server_.Answer(md5_, archive);
    NapiResult r = DownloadNapiprojekt(movie_, "PL");
    std::string target = dir_.file("Film z łódki.txt");
    ASSERT_TRUE(r.downloaded) << r.reason;
    EXPECT_EQ(r.subtitle, target);
    EXPECT_EQ(ReadFile(target), text);
    EXPECT_EQ(r.subComend, " -sub \"" + target + "\" ");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].caption, "OK");
    EXPECT_EQ(r.messages[0].text, "Subtitles downloaded ? " + target);

    // A second download finds the target present: the fresh file from the private
    // folder is loaded instead, and the one beside the movie stays as it was.
    std::string newer = Subtitle(6000);
    server_.Answer(md5_, Make7z(md5_ + ".txt", newer, kNapiprojektCurrentPassword));
    NapiResult again = DownloadNapiprojekt(movie_, "ENG");
    ASSERT_TRUE(again.downloaded) << again.reason;
    EXPECT_NE(again.subtitle, target);
    EXPECT_EQ(FileNameFromPath(again.subtitle), md5_ + ".txt");
    EXPECT_EQ(ReadFile(again.subtitle), newer);
    EXPECT_EQ(ReadFile(target), text);
    EXPECT_EQ(again.subComend, " -sub \"" + again.subtitle + "\" ");
    EXPECT_EQ(server_.Requests().back().target.substr(0, 25), "/unit_napisy/dl.php?l=ENG");
}

TEST_F(Napiprojekt, TheSameSubtitleComesForTheSameMovieInAFiveVolumeSet) {
    std::string bytes = RandomBytes(3u << 20, 7);
    std::vector<std::string> volumes = {dir_.file("set.part1.rar"), dir_.file("set.part2.rar"),
                                        dir_.file("set.part3.rar"), dir_.file("set.part4.rar"),
                                        dir_.file("set.part5.rar")};
    StoredSetOptions options;
    options.share = int32_t((bytes.size() + 4) / 5);
    ASSERT_TRUE(WriteStoredSet(volumes, bytes.size(), {{0, bytes}}, options));
    ASSERT_EQ(MovieHash(volumes[0]).hashNapiprojekt, md5_);
    std::string text = Subtitle();
    server_.Answer(md5_, Make7z(md5_ + ".txt", text, kNapiprojektPassword));
    NapiResult r = DownloadNapiprojekt(volumes[0], "PL");
    ASSERT_TRUE(r.downloaded) << r.reason;
    EXPECT_EQ(r.subtitle, dir_.file("set.part1.txt"));
    EXPECT_EQ(ReadFile(r.subtitle), text);
}

TEST_F(Napiprojekt, AnswersAreToldByTheirFirstBytes) {
    struct Case {
        std::string body;
        bool downloaded;
        std::string message;
        std::string subtitle; // what lands, when one does
    };
    std::string text = Subtitle(2000);
    std::string bom = "\xEF\xBB\xBF" + Subtitle(1500);
    const Case cases[] = {
        {"NPc0", false, "napiprojekt.pl has no subtitles for this movie. ?", ""},
        {"NPc3" + std::string(2000, 'x'), false,
         "napiprojekt.pl has no subtitles for this movie. ?", ""},
        {std::string(899, 'a'), false, "napiprojekt.pl has no subtitles for this movie. ?", ""},
        {std::string(900, 'a'), true, "Subtitles downloaded ? ", std::string(900, 'a')},
        {Gzip(text), true, "Subtitles downloaded ? ", text},
        {bom, true, "Subtitles downloaded ? ", bom},
        {"<html><body>" + std::string(2000, ' ') + "</body></html>", false,
         "napiprojekt.pl has no subtitles for this movie. ?", ""},
        {"\x1F\x8B\x08" + std::string(1000, 'z'), false, "Eror unpacking subtitles ?", ""},
        {"\x37\x7A\xBC\xAF\x27\x1C" + std::string(1000, 'z'), false, "Eror unpacking subtitles ?",
         ""},
    };
    std::string target = dir_.file("Film z łódki.txt");
    for (const Case& c : cases) {
        std::remove(target.c_str());
        server_.Answer(md5_, c.body);
        NapiResult r = DownloadNapiprojekt(movie_, "PL");
        EXPECT_EQ(r.downloaded, c.downloaded) << c.body.substr(0, 8);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].text.substr(0, c.message.size()), c.message);
        EXPECT_EQ(r.messages[0].caption, c.downloaded ? "OK" : "Error");
        if (c.downloaded)
            EXPECT_EQ(ReadFile(target), c.subtitle);
        else
            EXPECT_EQ(r.subComend, "");
    }
}

TEST_F(Napiprojekt, ShortNamesUnreadableMoviesAndDeadServersSayWhy) {
    // A name of four characters or fewer is its own target: the move fails, the private
    // copy is loaded.
    std::string shortName = "abcd";
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    WriteLooseFile(shortName, 1u << 20, {{0, RandomBytes(1u << 20, 9)}});
    std::string md5 = MovieHash(shortName).hashNapiprojekt;
    server_.Answer(md5, Subtitle());
    {
        // Relative four-character paths, as the description's edge case has them.
        NapiResult r = DownloadNapiprojekt(shortName, "PL");
        ASSERT_TRUE(r.downloaded);
        EXPECT_EQ(FileNameFromPath(r.subtitle), md5 + ".txt");
        EXPECT_EQ(ReadFile(shortName).size(), 1u << 20);
    }
    ASSERT_EQ(chdir(here), 0);
    NapiResult missing = DownloadNapiprojekt(dir_.file("none.avi"), "PL");
    EXPECT_FALSE(missing.downloaded);
    EXPECT_EQ(missing.messages.at(0).caption, "Error");
    size_t asked = server_.Requests().size();
    EXPECT_EQ(asked, 1u); // nothing is asked for a movie without a fingerprint

    SilentServer closing(SilentServer::Close);
    setenv("QUORVAN_NAPIPROJEKT_URL", closing.url().c_str(), 1);
    NapiResult dead = DownloadNapiprojekt(movie_, "PL");
    EXPECT_FALSE(dead.downloaded);
    EXPECT_EQ(dead.messages.at(0).text, "I can not download subtitles. Connection error. ?");

    HttpTimeouts quick{500, 1000};
    OverrideHttpTimeouts(&quick);
    SilentServer stall(SilentServer::Stall);
    setenv("QUORVAN_NAPIPROJEKT_URL", stall.url().c_str(), 1);
    NapiResult stalled = DownloadNapiprojekt(movie_, "PL");
    OverrideHttpTimeouts(nullptr);
    EXPECT_FALSE(stalled.downloaded);
    EXPECT_NE(stalled.reason.find("connection error"), std::string::npos) << stalled.reason;
}

// Files under `root` larger than the subtitle limit.
std::vector<std::string> LargeFiles(const std::string& root) {
    std::vector<std::string> large;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root, ec))
        if (e.is_regular_file(ec) && e.file_size(ec) > 50u * 1024 * 1024)
            large.push_back(e.path().string());
    return large;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

// A 7z archive made by 7zz from `size` zero bytes read from a pipe: a few KB that unpack to
// `size` bytes.
std::string ZeroBomb(const std::string& name, size_t size, const std::string& password) {
    TempDir dir;
    std::string out;
    std::string command = "head -c " + std::to_string(size) + " /dev/zero | 7zz a -bd -p" +
                          password + " '-si" + name + "' '" + dir.file("b.7z") + "'";
    return RunCommand({"/bin/sh", "-c", command}, &out) == 0 ? ReadFile(dir.file("b.7z")) : "";
}

TEST_F(Napiprojekt, ArchivesAreListedAndCappedAndLeaveNothingBehind) {
    // Temporary folders go into a folder of the test's own, so what is left there shows.
    TempDir tmp, linkSource, tool, soundSource;
    const char* oldTmp = std::getenv("TMPDIR");
    std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    setenv("TMPDIR", tmp.path().c_str(), 1);
    std::string target = dir_.file("Film z łódki.txt");
    auto refused = [&](const std::string& what, const std::string& why) {
        SCOPED_TRACE(what);
        NapiResult r = DownloadNapiprojekt(movie_, "PL");
        EXPECT_FALSE(r.downloaded);
        EXPECT_EQ(r.subComend, "");
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].text, "Eror unpacking subtitles ?");
        EXPECT_NE(r.reason.find(why), std::string::npos) << r.reason;
        struct stat st {};
        EXPECT_NE(lstat(target.c_str(), &st), 0) << "something was placed beside the movie";
        EXPECT_EQ(Entries(tmp.path()), std::vector<std::string>()) << "a temporary folder stayed";
        EXPECT_EQ(LargeFiles(dir_.path()), std::vector<std::string>());
        EXPECT_EQ(LargeFiles(tmp.path()), std::vector<std::string>());
    };

    // 64 MiB of zeros in an archive of a few KB.
    std::string bomb = ZeroBomb(md5_ + ".txt", 64u << 20, kNapiprojektCurrentPassword);
    ASSERT_GT(bomb.size(), 899u);
    ASSERT_LT(bomb.size(), 100000u);
    server_.Answer(md5_, bomb);
    refused("7z bomb", "would unpack to more than 52428800 bytes");

    // The expected member as a link to another file of the user's.
    {
        const TempDir& src = linkSource;
        WriteFile(src.file("secret"), SampleSubtitle(3000, "secret"));
        ASSERT_EQ(symlink(src.file("secret").c_str(), src.file(md5_ + ".txt").c_str()), 0);
        std::string out;
        ASSERT_EQ(RunCommand({"7zz", "a", "-bd", "-snl", std::string("-p") + kNapiprojektPassword,
                              src.file("l.7z"), src.file(md5_ + ".txt"), src.file("secret")},
                             &out),
                  0)
            << out;
        server_.Answer(md5_, ReadFile(src.file("l.7z")));
    }
    refused("link", "holds a link");

    // A header may lie about the size: the unpacking itself stops. A stand-in 7zz lists a
    // small member and then pours out zeros.
    {
        WriteFile(tool.file("7zz"), "#!/bin/sh\ncase \"$1\" in\nl) printf '%s\\n' '' -- "
                                    "'Path = a' 'Type = 7z' '' ---------- 'Path = " +
                                        md5_ +
                                        ".txt' 'Size = 2000' 'Attributes = A -rw-r--r--' '';;\n"
                                        "e) exec head -c 300000000 /dev/zero;;\nesac\n");
        chmod(tool.file("7zz").c_str(), 0755);
        setenv("QUORVAN_7ZZ", tool.file("7zz").c_str(), 1);
        server_.Answer(md5_, Make7z(md5_ + ".txt", Subtitle(), kNapiprojektPassword));
        refused("lying header", "unpacks to more than it lists");
        unsetenv("QUORVAN_7ZZ");
    }

    // gzip is inflated in memory and stopped at the limit.
    server_.Answer(md5_, Gzip(std::string(60u << 20, '\0')));
    refused("gzip bomb", "past the subtitle limit");

    // A sound archive with more members gives its one subtitle, and nothing else lands.
    {
        const TempDir& src = soundSource;
        std::string text = Subtitle(4000);
        WriteFile(src.file(md5_ + ".txt"), text);
        std::filesystem::create_directories(src.file("extra"));
        WriteFile(src.file("extra/other.txt"), "other");
        std::string out;
        ASSERT_EQ(RunCommand({"7zz", "a", "-bd", std::string("-p") + kNapiprojektCurrentPassword,
                              src.file("s.7z"), src.file(md5_ + ".txt"), src.file("extra")},
                             &out),
                  0)
            << out;
        server_.Answer(md5_, ReadFile(src.file("s.7z")));
        NapiResult r = DownloadNapiprojekt(movie_, "PL");
        ASSERT_TRUE(r.downloaded) << r.reason;
        EXPECT_EQ(r.subtitle, target);
        EXPECT_EQ(ReadFile(target), text);
        EXPECT_EQ(Entries(tmp.path()), std::vector<std::string>());
        EXPECT_FALSE(std::filesystem::exists(dir_.file("other.txt")));
    }
    if (oldTmp != nullptr)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST_F(Napiprojekt, PobierzNapisShowsTheMessagesAndSetsTheOption) {
    RecorderPort port;
    ScopedPort scope(&port);
    SubComend = " -sub old.txt ";
    PobierzNapis(movie_.c_str(), "PL");
    EXPECT_EQ(SubComend, "");
    EXPECT_FALSE(port.Events().empty());
    server_.Answer(md5_, Subtitle());
    PobierzNapis(movie_.c_str(), "PL");
    EXPECT_EQ(SubComend, " -sub \"" + dir_.file("Film z łódki.txt") + "\" ");
}
} // namespace

// A movie folder named to add options: the subtitle option stays one value of "-sub" in the
// player's command line, and no option comes out of the name.
TEST_F(Napiprojekt, AFolderNameCannotAddPlayerOptions) {
    std::string folder =
        dir_.file("x\" -dumpstream -dumpfile \"" + dir_.file("bashrc") + "\" \"b \\\" $(id)");
    // Slashes in it make a few nested folders, as unpacking such an archive does.
    std::filesystem::create_directories(folder);
    std::string movie = folder + "/movie.avi";
    ASSERT_EQ(rename(movie_.c_str(), movie.c_str()), 0);
    server_.Answer(md5_, Subtitle(2000));
    NapiResult r = DownloadNapiprojekt(movie, "PL");
    ASSERT_TRUE(r.downloaded) << r.reason;
    EXPECT_EQ(r.subtitle, folder + "/movie.txt");

    const std::string kept = Mp1.extraOptions;
    Mp1.extraOptions = " " + r.subComend;
    Mp1.init();
    std::vector<std::string> options = SplitCommandLineWindows(Mp1.builtOptions);
    Mp1.extraOptions = kept;
    Mp1.init();
    auto sub = std::find(options.begin(), options.end(), "-sub");
    ASSERT_NE(sub, options.end());
    ASSERT_NE(sub + 1, options.end());
    EXPECT_EQ(sub[1], r.subtitle);
    EXPECT_EQ(std::count(options.begin(), options.end(), "-dumpfile"), 0);
    EXPECT_EQ(std::count(options.begin(), options.end(), "-dumpstream"), 0);
}
