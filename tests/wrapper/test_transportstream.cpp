// MPEG-TS recordings played by the real mplayer through binary/QUORVAN as the program plays
// them, loose and straight out of stored RAR sets: the length the player answers is the
// recording's, absolute, relative and percent seeks land on the asked time, and the clock counts
// from the movie's start although the stream's own clock starts elsewhere (600 s for the H.264
// one).
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"
#include "tests/wrapper/realplayerfixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
class TsPlayback : public RealPlayerTest {
  protected:
    // The position the player answers after `command`.
    int PositionAfter(const std::string& command) {
        port_.Clear();
        SendCommand(command);
        SendCommand("get_time_pos");
        EXPECT_FALSE(port_.WaitForPrefix("pos:106:", 20000).empty()) << command << "\n"
                                                                     << Mp1.ConsoleTextSnapshot();
        return Mp1.timePosition;
    }
    // Plays `movie` (a file or a set's volume) and checks its length and seeks.
    void PlayAndSeek(const std::string& movie, const std::string& what) {
        SCOPED_TRACE(what);
        port_.Clear();
        Mp1.movieFile = movie;
        Mp1.LanchMovie();
        ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty())
            << Mp1.ConsoleTextSnapshot();
        EXPECT_NEAR(Mp1.movieLength.load(), 90.0, 1.0) << Mp1.ConsoleTextSnapshot();
        EXPECT_NEAR(PositionAfter("seek 30 2"), 30, 2);
        EXPECT_NEAR(PositionAfter("seek 50 2"), 50, 2);
        EXPECT_NEAR(PositionAfter("seek -20"), 30, 2);
        EXPECT_NEAR(PositionAfter("seek 50 1"), 45, 2); // of the time, not of the bytes
        EXPECT_NEAR(PositionAfter("seek 0 2"), 0, 2);
        std::string console = Mp1.ConsoleTextSnapshot();
        EXPECT_NE(console.find("ID_LENGTH=90.0"), std::string::npos) << console;
        ClosePlayer(3000);
    }
    // Stores `movie` in a set of five volumes; returns the third.
    std::string StoredSet(const std::string& movie) {
        auto kib = std::filesystem::file_size(movie) / 5 / 1024 + 1;
        std::string out;
        EXPECT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+",
                              "-v" + std::to_string(kib) + "k", "-vn", dir_.file("rec.rar"), movie},
                             &out),
                  0)
            << out;
        return dir_.file("rec.r01");
    }
    TempDir dir_;
};
} // namespace

TEST_F(TsPlayback, RecordingsTellTheirLengthAndSeekToTheAskedTimeLooseAndStored) {
    for (TestMovie kind : {TestMovie::H264Ts, TestMovie::Mpeg2Ts}) {
        std::string movie = MadeMovie(kind);
        ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
        PlayAndSeek(movie, movie);
        std::filesystem::remove_all(dir_.path());
        std::filesystem::create_directories(dir_.path());
        PlayAndSeek(StoredSet(movie), movie + " stored");
        EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("rec.rar"));
    }
}

TEST_F(TsPlayback, APlayerStartedAtARememberedPositionStartsThere) {
    std::string movie = MadeMovie(TestMovie::H264Ts);
    ASSERT_FALSE(movie.empty());
    Mp1.movieFile = movie;
    Mp1.LanchMovie(" -ss 40 ");
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    ASSERT_TRUE(WaitUntil(
        [] { return Mp1.ConsoleTextSnapshot().find("Starting playback...") != std::string::npos; },
        20000));
    EXPECT_NEAR(PositionAfter("pausing_keep get_time_pos"), 40, 2);
}
