// Movies played straight out of stored RAR sets by the real mplayer, through the launch the
// program uses, with seeking.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/wrapper/realplayerfixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
class RarPlayback : public RealPlayerTest {
  protected:
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

    port_.Clear();
    SendCommand("seek 45 2");
    SendCommand("get_time_pos");
    ASSERT_FALSE(port_.WaitForPrefix("pos:106:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_GE(Mp1.timePosition, 44);
    EXPECT_LE(Mp1.timePosition, 46);

    SendCommand("seek 58 2");
    std::string end = port_.WaitForPrefix(
        "title:" + std::string(ProgramTitle) + "Exiting... (End of file)", 30000);
    ASSERT_FALSE(end.empty()) << Mp1.ConsoleTextSnapshot();
    std::string console = Mp1.ConsoleTextSnapshot();
    for (const char* bad : {"rror", "Failed", "annot", "EOF code", "Seek failed"})
        EXPECT_EQ(console.find(bad), std::string::npos) << bad << "\n" << console;
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
