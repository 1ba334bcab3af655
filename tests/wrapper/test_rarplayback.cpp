// Movies played straight out of stored RAR sets by the real mplayer, through the launch the
// program uses, with seeking.
#include "online/moviehash.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "rar/nextpart.h"
#include "rar/rarreader.h"
#include "tests/support/testenv.h"
#include "tests/wrapper/realplayerfixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
class RarPlayback : public RealPlayerTest {
  protected:
    void SetUp() override {
        RealPlayerTest::SetUp();
        ListenForTheNextMovie(); // as the program does at start-up
    }
    // Splits `movie` into `volumes` stored volumes in dir; returns the first volume.
    std::string Split(const std::string& movie, int volumes) {
        auto size = std::filesystem::file_size(movie);
        auto kib = size / static_cast<uintmax_t>(volumes) / 1024 + 1;
        std::string out;
        EXPECT_EQ(
            RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+",
                        "-v" + std::to_string(kib) + "k", "-vn", dir_.file("movie.rar"), movie},
                       &out),
            0)
            << out;
        return dir_.file("movie.rar");
    }
    // The length the player reports for `movie` played loose.
    float LooseLength(const std::string& movie) {
        Mp1.movieFile = movie;
        Mp1.LanchMovie();
        EXPECT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty());
        float length = Mp1.movieLength;
        ClosePlayer(3000);
        port_.Clear();
        return length;
    }
    TempDir dir_;
};
} // namespace

TEST_F(RarPlayback, PlaysSeeksAndEndsLikeTheLooseMovie) {
    std::string movie = GeneratedMovie(60);
    ASSERT_FALSE(movie.empty());
    float loose = LooseLength(movie);
    ASSERT_GT(loose, 59.0f);
    Split(movie, 5);
    ASSERT_TRUE(std::filesystem::exists(dir_.file("movie.r03")));
    ASSERT_FALSE(std::filesystem::exists(dir_.file("movie.r04"))) << "five volumes expected";

    Mp1.movieFile = dir_.file("movie.r01"); // the third volume
    Mp1.LanchMovie();
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("movie.rar"));
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_FLOAT_EQ(Mp1.movieLength, loose);

    SeekAndExpectPosition(45);
    ASSERT_FALSE(HasFatalFailure());

    SendCommand("seek 58 2");
    std::string end = port_.WaitForPrefix(
        "title:" + std::string(ProgramTitle) + "Exiting... (End of file)", 30000);
    ASSERT_FALSE(end.empty()) << Mp1.ConsoleTextSnapshot();
    ExpectNoPlayerComplaints();
}

TEST_F(RarPlayback, ACompressedSetTakesThePlayersErrorPath) {
    // Compressed data looks like noise to the player.
    std::string movie = dir_.file("noise.avi");
    std::string noise(300 * 1024, 0);
    unsigned state = 1;
    for (auto& c : noise)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    WriteFile(movie, noise);
    std::string first = Split(movie, 3);
    std::string bytes = ReadFile(first);
    size_t header = bytes.find(FileNameFromPath(movie)) - 32;
    ASSERT_EQ(bytes[header + 25], '0');
    bytes[header + 25] = '5'; // as a compressing archiver marks it
    WriteFile(first, bytes);

    Mp1.movieFile = first;
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("show:2302:1", 20000)) << Mp1.ConsoleTextSnapshot();
    std::string title = port_.WaitForPrefix("title:Exiting... (Fatal error)", 1000);
    EXPECT_NE(title.find("Bad compression method!"), std::string::npos) << title;
    ASSERT_TRUE(WaitUntil([] { return !PlayerRunning(); }, 10000)) << "the player must not hang";
}

TEST_F(RarPlayback, TheSecondCdFollowsTheFirstThroughTheEndOfMovie) {
    std::string movie = GeneratedMovie(3);
    ASSERT_FALSE(movie.empty());
    std::filesystem::create_directories(dir_.file("Film/CD1"));
    std::filesystem::create_directories(dir_.file("Film/CD2"));
    std::string one = dir_.file("Film/CD1/film.avi");
    std::string two = dir_.file("Film/CD2/film.avi");
    std::filesystem::copy_file(movie, one);
    std::filesystem::copy_file(movie, two);

    Mp1.movieFile = one;
    Mp1.LanchMovie();
    const std::string endTitle = "title:" + std::string(ProgramTitle) + "Exiting... (End of file)";
    ASSERT_TRUE(port_.WaitFor(endTitle + one, 30000)) << Mp1.ConsoleTextSnapshot();
    // The next part is started on the user-interface side; this test is that side.
    ASSERT_TRUE(WaitUntil([&] { return port_.PostedCount() > 0; }, 5000));
    EXPECT_EQ(port_.RunPosted(), 1);
    EXPECT_EQ(Mp1.MovieFileSnapshot(), two);
    ASSERT_TRUE(port_.WaitFor(endTitle + two, 30000)) << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(WaitUntil([&] { return port_.PostedCount() == 0; }, 100)) << "CD2 ends the chain";
}

TEST_F(RarPlayback, AMissingVolumePlaysUpToTheGapAndEnds) {
    std::string movie = GeneratedMovie(10);
    ASSERT_FALSE(movie.empty());
    Split(movie, 5);
    ASSERT_EQ(std::remove(dir_.file("movie.r01").c_str()), 0);
    Mp1.movieFile = dir_.file("movie.rar");
    Mp1.LanchMovie();
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    ASSERT_TRUE(WaitUntil([] { return !PlayerRunning(); }, 40000))
        << "the player and the wrapper end at the gap\n"
        << Mp1.ConsoleTextSnapshot();
    std::string console = Mp1.ConsoleTextSnapshot();
    EXPECT_NE(console.find("Starting playback..."), std::string::npos) << console;
    EXPECT_NE(console.find("Exiting..."), std::string::npos) << console;
}

TEST_F(RarPlayback, AStoredRar5SetPlaysSeeksAndFingerprintsLikeTheLooseMovie) {
    // 12 s of noise: about 18 MB, so 5 MB volumes make a set of four.
    std::string movie = dir_.file("noise.avi");
    ASSERT_EQ(RunCommand({"ffmpeg",    "-v",
                          "error",     "-y",
                          "-f",        "lavfi",
                          "-i",        "nullsrc=s=320x240:r=25:d=12,geq=random(1)*255:128:128",
                          "-f",        "lavfi",
                          "-i",        "sine=frequency=440:duration=12",
                          "-c:v",      "mpeg4",
                          "-q:v",      "5",
                          "-c:a",      "libmp3lame",
                          "-b:a",      "64k",
                          "-shortest", movie},
                         nullptr),
              0);
    const std::string bytes = ReadFile(movie);
    ASSERT_GT(bytes.size(), 15u << 20);
    float loose = LooseLength(movie);
    ASSERT_GT(loose, 11.0f);

    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-ma5", "-v5M",
                          dir_.file("film"), movie},
                         &out),
              0)
        << out;
    for (int k = 1; k <= 4; ++k)
        ASSERT_TRUE(std::filesystem::exists(dir_.file("film.part" + std::to_string(k) + ".rar")))
            << out;
    ASSERT_FALSE(std::filesystem::exists(dir_.file("film.part5.rar")));
    const std::string first = dir_.file("film.part1.rar");
    EXPECT_EQ(ReadFile(first).substr(0, 8), std::string("Rar!\x1a\x07\x01\x00", 8));
    EXPECT_EQ(std::filesystem::file_size(dir_.file("film.part2.rar")), 5000000u);

    // An independent reader gives the movie back byte for byte.
    std::string unpacked = dir_.file("unpacked");
    ASSERT_EQ(RunCommand({"unar", "-q", "-f", "-D", "-o", unpacked, first}, &out), 0) << out;
    EXPECT_TRUE(ReadFile(unpacked + "/noise.avi") == bytes) << "unar reads the set back exactly";

    // The fingerprints, rar-info and cat see the stored movie.
    MovieHash set(first);
    MovieHash alone(movie);
    EXPECT_EQ(set.hashOpenSubtitles, alone.hashOpenSubtitles);
    EXPECT_EQ(set.hashNapiprojekt, alone.hashNapiprojekt);
    EXPECT_EQ(set.hashNapisyInfo, alone.hashNapisyInfo);
    EXPECT_EQ(set.fileSize, alone.fileSize);
    ASSERT_EQ(RunCommand({StageDir() + "/quorvan", "rar-info", dir_.file("film.part3.rar")}, &out),
              0)
        << out;
    EXPECT_NE(out.find("format: RAR5\n"), std::string::npos) << out;
    EXPECT_NE(out.find("method: store\n"), std::string::npos) << out;
    EXPECT_NE(out.find("volumes: 4\n"), std::string::npos) << out;
    EXPECT_NE(out.find("stored size: " + std::to_string(bytes.size()) + "\n"), std::string::npos)
        << out;
    std::string catOut = dir_.file("cat.avi");
    ASSERT_EQ(
        RunCommandToFiles({StageDir() + "/quorvan", "cat", first}, catOut, dir_.file("cat.err")), 0)
        << ReadFile(dir_.file("cat.err"));
    EXPECT_TRUE(ReadFile(catOut) == bytes);

    // The player reads it through the bridge, from any volume's name, and seeks.
    Mp1.movieFile = dir_.file("film.part3.rar");
    Mp1.LanchMovie();
    EXPECT_EQ(Mp1.MovieFileSnapshot(), first);
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_FLOAT_EQ(Mp1.movieLength, loose);
    port_.Clear();
    SendCommand("seek 8 2");
    SendCommand("get_time_pos");
    ASSERT_FALSE(port_.WaitForPrefix("pos:106:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_GE(Mp1.timePosition, 7);
    EXPECT_LE(Mp1.timePosition, 9);
    SendCommand("seek 11 2");
    std::string end = port_.WaitForPrefix(
        "title:" + std::string(ProgramTitle) + "Exiting... (End of file)", 30000);
    ASSERT_FALSE(end.empty()) << Mp1.ConsoleTextSnapshot();
    ExpectNoPlayerComplaints();
}

namespace {
// Splits `movie` with binary/rar into `volumes` volumes named `base`.part1.rar, .part2.rar ...
void SplitAsParts(const std::string& movie, int volumes, const std::string& base) {
    auto kib = std::filesystem::file_size(movie) / uintmax_t(volumes) / 1024 + 1;
    std::string folder = std::filesystem::path(base).parent_path();
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+",
                          "-v" + std::to_string(kib) + "k", "-vn", folder + "/tmp.rar", movie},
                         &out),
              0)
        << out;
    std::filesystem::rename(folder + "/tmp.rar", base + ".part1.rar");
    for (int k = 0; k + 1 < volumes; ++k)
        std::filesystem::rename(folder + "/tmp.r0" + std::to_string(k),
                                base + ".part" + std::to_string(k + 2) + ".rar");
    ASSERT_FALSE(std::filesystem::exists(folder + "/tmp.r0" + std::to_string(volumes - 1)));
}
} // namespace

TEST_F(RarPlayback, TheVolumesOfTheSetNeverReplayAndTheNextCdSetFollows) {
    std::string movie = GeneratedMovie(12);
    ASSERT_FALSE(movie.empty());
    std::filesystem::create_directories(dir_.file("Film/cd1"));
    std::filesystem::create_directories(dir_.file("Film/cd2"));
    SplitAsParts(movie, 4, dir_.file("Film/cd1/film"));
    SplitAsParts(movie, 4, dir_.file("Film/cd2/film"));
    const std::string endTitle = "title:" + std::string(ProgramTitle) + "Exiting... (End of file)";

    // Any volume chosen plays the set from its first volume.
    Mp1.movieFile = dir_.file("Film/cd1/film.part3.rar");
    Mp1.LanchMovie();
    const std::string one = dir_.file("Film/cd1/film.part1.rar");
    ASSERT_EQ(Mp1.MovieFileSnapshot(), one);
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    SendCommand("seek 10 2");
    ASSERT_TRUE(port_.WaitFor(endTitle + one, 30000)) << Mp1.ConsoleTextSnapshot();
    // The next part is started on the user-interface side; this test is that side.
    ASSERT_TRUE(WaitUntil([&] { return port_.PostedCount() > 0; }, 5000));
    EXPECT_EQ(port_.RunPosted(), 1);
    const std::string two = dir_.file("Film/cd2/film.part1.rar");
    ASSERT_EQ(Mp1.MovieFileSnapshot(), two);

    // The last set's own volumes follow it in its folder: nothing is launched after it.
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    SendCommand("seek 10 2");
    ASSERT_TRUE(port_.WaitFor(endTitle + two, 30000)) << Mp1.ConsoleTextSnapshot();
    EXPECT_FALSE(WaitUntil([&] { return port_.PostedCount() > 0; }, 1000)) << "no second launch";
}

TEST_F(RarPlayback, ACapitalisedSetPlaysAndSeeks) {
    std::string movie = GeneratedMovie(12);
    ASSERT_FALSE(movie.empty());
    SplitAsParts(movie, 3, dir_.file("FILM"));
    for (int k = 1; k <= 3; ++k)
        std::filesystem::rename(dir_.file("FILM.part" + std::to_string(k) + ".rar"),
                                dir_.file("FILM.PART" + std::to_string(k) + ".RAR"));
    Mp1.movieFile = dir_.file("FILM.PART2.RAR");
    Mp1.LanchMovie();
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("FILM.PART1.RAR"));
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_GT(Mp1.movieLength, 11.0f);
    port_.Clear();
    SendCommand("seek 9 2");
    SendCommand("get_time_pos");
    ASSERT_FALSE(port_.WaitForPrefix("pos:106:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_GE(Mp1.timePosition, 8);
    EXPECT_LE(Mp1.timePosition, 10);
}

TEST_F(RarPlayback, ABrokenFileShowsItsErrorAndStartsNothingAfterIt) {
    std::string good = GeneratedMovie(3);
    ASSERT_FALSE(good.empty());
    std::filesystem::create_directories(dir_.file("F"));
    WriteFile(dir_.file("F/a broken.avi"), std::string(100000, '\x5a'));
    std::filesystem::copy_file(good, dir_.file("F/b good.avi"));
    Mp1.movieFile = dir_.file("F/a broken.avi");
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("show:2302:1", 20000)) << Mp1.ConsoleTextSnapshot();
    EXPECT_FALSE(port_.WaitForPrefix("title:Exiting...", 1000).empty())
        << Mp1.ConsoleTextSnapshot();
    ASSERT_TRUE(WaitUntil([] { return !PlayerRunning(); }, 10000));
    EXPECT_FALSE(WaitUntil([&] { return port_.PostedCount() > 0; }, 500)) << "nothing follows";
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("F/a broken.avi"));
}
