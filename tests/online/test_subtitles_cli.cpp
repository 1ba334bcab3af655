// `quorvan subtitles`: the staged program against local service servers, over loose movies,
// volumes of stored sets, a FIFO and a folder.
#include "online/moviehash.h"
#include "tests/online/fakeservices.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {
// A plain path as a JSON string (no characters that need escaping).
std::string JsonQuote(const std::string& text) {
    return "\"" + text + "\"";
}

struct CliRun {
    int status = -1;
    std::string out;
};

// The staged quorvan with its standard output kept apart from its diagnostics.
CliRun Quorvan(const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> argv = {StageDir() + "/quorvan", "subtitles"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string outPath = dir.file("stdout");
    CliRun run;
    run.status = RunCommandToFiles(argv, outPath, dir.file("stderr"));
    run.out = ReadFile(outPath);
    return run;
}

class SubtitlesCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QUORVAN_NAPIPROJEKT_URL", napi_.url().c_str(), 1);
        setenv("QUORVAN_OPENSUBTITLES_URL", os_.url().c_str(), 1);
        bytes_ = RandomBytes(2u << 20, 21);
        loose_ = dir_.file("loose.avi");
        WriteLooseFile(loose_, bytes_.size(), {{0, bytes_}});
        for (int k = 1; k <= 5; ++k)
            volumes_.push_back(dir_.file("set.part" + std::to_string(k) + ".rar"));
        StoredSetOptions options;
        options.share = int32_t((bytes_.size() + 4) / 5);
        WriteStoredSet(volumes_, bytes_.size(), {{0, bytes_}}, options);
        other_ = dir_.file("other.mkv");
        WriteLooseFile(other_, 1u << 20, {{0, RandomBytes(1u << 20, 22)}});
    }
    void TearDown() override {
        unsetenv("QUORVAN_NAPIPROJEKT_URL");
        unsetenv("QUORVAN_OPENSUBTITLES_URL");
        EXPECT_EQ(napi_.Complaints(), "");
        EXPECT_EQ(os_.Complaints(), "");
    }
    TempDir dir_, work_;
    FakeNapiprojekt napi_;
    FakeOpenSubtitles os_;
    std::string bytes_, loose_, other_;
    std::vector<std::string> volumes_;
};

TEST_F(SubtitlesCommand, NapiprojektPlacesOneBesideEachMovieAndSaysWhyNoneCame) {
    std::string md5 = MovieHash(loose_).hashNapiprojekt;
    std::string text = SampleSubtitle(4000, "cli");
    napi_.Answer(md5, Make7z(md5 + ".txt", text, "iBlm8NTigvru0Jr0"));
    // A middle volume names its set; the set's movie has the loose movie's fingerprint.
    CliRun run = Quorvan({loose_, volumes_[2], other_}, work_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, loose_ + ": " + dir_.file("loose.txt") + "\n" + volumes_[2] + ": " +
                           dir_.file("set.part1.txt") + "\n" + other_ +
                           ": no subtitle (napiprojekt.pl has no subtitles for this movie)\n");
    EXPECT_EQ(ReadFile(dir_.file("loose.txt")), text);
    EXPECT_EQ(ReadFile(dir_.file("set.part1.txt")), text);

    std::remove(dir_.file("loose.txt").c_str());
    CliRun json = Quorvan({"--json", "--lang", "en", loose_}, work_);
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, "{\"movie\":" + JsonQuote(loose_) +
                            ",\"service\":\"napiprojekt\",\"ok\":true,\"subtitle\":" +
                            JsonQuote(dir_.file("loose.txt")) + "}\n");
    EXPECT_EQ(napi_.Requests().back().target.substr(0, 25), "/unit_napisy/dl.php?l=ENG");
}

TEST_F(SubtitlesCommand, OpenSubtitlesFetchesAndListsByTheMovieHash) {
    std::string hash = GenerateHashOpenSubtitles(loose_);
    os_.Results(hash, {{"pl", "pol", "a.pl.srt", "one\r\n"},
                       {"en", "eng", "a.en.srt", "two\r\n"},
                       {"de", "ger", "a.de.srt", "three\r\n"}});
    CliRun run = Quorvan({"--service", "opensubtitles", "--lang", "pl", loose_}, work_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, loose_ + ": " + dir_.file("subtitle.txt") + "\n" + loose_ + ": copied to " +
                           dir_.file("loose.srt") + "\n");
    EXPECT_EQ(ReadFile(dir_.file("loose.srt")), "one\r\n");

    CliRun list = Quorvan({"--service", "opensubtitles", "--list", volumes_[0]}, work_);
    EXPECT_EQ(list.status, 0);
    std::string prefix = volumes_[0] + ": ";
    EXPECT_EQ(list.out, prefix + "[pl] a.pl.srt " + os_.LinkOf(hash, 0) + "\n" + prefix +
                            "[en] a.en.srt " + os_.LinkOf(hash, 1) + "\n" + prefix +
                            "[de] a.de.srt " + os_.LinkOf(hash, 2) + "\n");

    CliRun none = Quorvan({"--service", "opensubtitles", other_}, work_);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("no subtitle (OpenSubtitles has no subtitles"), std::string::npos);
}

TEST_F(SubtitlesCommand, TheVipNoticeIsNoSubtitleAndTheUsersSrtIsKept) {
    std::string hash = GenerateHashOpenSubtitles(loose_);
    std::string srt = dir_.file("loose.srt"), bak = dir_.file("loose.srt.bak");
    std::string own = "1\r\n00:00:01,000 --> 00:00:02,000\r\nmy own\r\n";
    WriteFile(srt, own);
    // What the service sends non-VIP users of this interface since 2024.
    os_.Results(hash, {{"pl", "pol", "a.pl.srt",
                        "1\r\n00:00:01,000 --> 00:00:10,000\r\nDownloading subtitles through "
                        "this interface is for VIP members only.\r\nPlease become VIP at "
                        "www.opensubtitles.org/vip\r\n"}});
    CliRun notice = Quorvan({"--service", "opensubtitles", "--lang", "pl", loose_}, work_);
    EXPECT_EQ(notice.status, 1);
    EXPECT_EQ(notice.out,
              loose_ + ": no subtitle (the link gave a notice instead of the subtitle)\n");
    EXPECT_EQ(ReadFile(srt), own);
    for (const char* left : {"subtitle.txt", "subtitle.txt.gz", "loose.srt.bak"})
        EXPECT_FALSE(std::filesystem::exists(dir_.file(left))) << left;

    // A real subtitle replaces the user's file only once it is kept as .bak.
    std::string first, second;
    for (int i = 1; i <= 30; ++i) {
        first += std::to_string(i) + "\r\n00:00:" + std::to_string(10 + i) +
                 ",000 --> 00:00:" + std::to_string(11 + i) + ",000\r\nVIP " + std::to_string(i) +
                 "\r\n\r\n";
        second += "{" + std::to_string(i * 100) + "}{" + std::to_string(i * 100 + 50) + "}two\r\n";
    }
    os_.Results(hash, {{"pl", "pol", "a.pl.srt", first}});
    CliRun real = Quorvan({"--service", "opensubtitles", "--lang", "pl", loose_}, work_);
    EXPECT_EQ(real.status, 0);
    EXPECT_EQ(real.out, loose_ + ": " + dir_.file("subtitle.txt") + "\n" + loose_ + ": copied to " +
                            srt + "\n");
    EXPECT_EQ(ReadFile(srt), first);
    EXPECT_EQ(ReadFile(bak), own);

    // With the user's file kept there, a third subtitle leaves both as they are.
    os_.Results(hash, {{"pl", "pol", "a.pl.srt", second}});
    CliRun third = Quorvan({"--service", "opensubtitles", "--lang", "pl", loose_}, work_);
    EXPECT_EQ(third.status, 0);
    EXPECT_EQ(third.out, loose_ + ": " + dir_.file("subtitle.txt") + "\n");
    EXPECT_EQ(ReadFile(dir_.file("subtitle.txt")), second);
    EXPECT_EQ(ReadFile(srt), first);
    EXPECT_EQ(ReadFile(bak), own);
}

TEST_F(SubtitlesCommand, BadInputIsRefusedWithoutWaiting) {
    std::string fifo = dir_.file("pipe.avi");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CliRun run = Quorvan({fifo, dir_.path()}, work_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, fifo + ": no subtitle (cannot read the movie)\n" + dir_.path() +
                           ": no subtitle (cannot read the movie)\n");
    EXPECT_EQ(Quorvan({"--list", loose_}, work_).status, 2);
    EXPECT_EQ(Quorvan({"--lang", "de", loose_}, work_).status, 2);
    EXPECT_EQ(Quorvan({"--service", "nowhere", loose_}, work_).status, 2);
    EXPECT_TRUE(napi_.Requests().empty());
}
} // namespace
