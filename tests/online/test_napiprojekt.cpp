// The Napiprojekt download against a local server that checks every byte of the request
// and answers as the service does today: a 7z made now by 7zz, gzip, plain text, "NPc0",
// answers around the 899-byte rule, a dead and a stalling server.
#include "online/httptransfer.h"
#include "online/moviehash.h"
#include "online/napiprojekt.h"
#include "platform/paths.h"
#include "player/subtitletracks.h"
#include "tests/online/fakeservices.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
