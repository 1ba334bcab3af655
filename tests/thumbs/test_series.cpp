// The series of the program's player against the fake player over real pipes: the launch it
// asks for, the slave commands in order, the frames it records, and every way it ends.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"
#include "tests/thumbs/cwd.h"
#include "thumbs/capture.h"
#include "thumbs/screenshots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {
const char* kScript = "print Quorvan fake\n"
                      "print VIDEO:  [XVID]  320x240  24bpp  25.000 fps\n"
                      "print Starting playback...\n"
                      "on pausing screenshot|*** screenshot 'shot0001.png' ***\n"
                      "on pausing_keep_force get_time_pos|ANS_TIME_POSITION=12.0\n";

class FakeSeries : public ::testing::Test {
  protected:
    void SetUp() override {
        StageFakePlayerFolder(program_.path());
        SetWindowPort(&port_);
        Mp1.videoWindow = 0;
        Mp1.embeddedVideoWindow = 77;
        Mp1.timePosition = 33;
        Mp1.extraOptions = " ";
        Mp1.init();
    }
    void TearDown() override {
        ClosePlayer(2000);
        SetWindowPort(nullptr);
        SetProgramFolder("");
        Mp1.movieFile.clear();
        Mp1.movieLength = 0;
        Mp1.embeddedVideoWindow = 0;
        Mp1.videoWindow = 0;
    }
    void Movie(const std::string& name, float length, const std::string& script) {
        WriteFile(program_.file("fake.script"), script);
        WriteFile(program_.file(name), "movie");
        Mp1.movieFile = program_.file(name);
        Mp1.movieLength = length;
    }
    // stdin lines of the capture launch (the second player of the log).
    std::vector<std::string> CaptureStdin(std::string* argv) {
        std::vector<std::string> stdinLines;
        int players = 0;
        for (const std::string& line : ReadLines(program_.file("fake.log"))) {
            if (line.rfind("pid: ", 0) == 0)
                ++players;
            if (players != 1)
                continue;
            if (line.rfind("argv: ", 0) == 0)
                *argv += line.substr(6) + " ";
            else if (line.rfind("stdin: ", 0) == 0)
                stdinLines.push_back(line.substr(7));
        }
        return stdinLines;
    }
    TempDir program_, work_;
    RecorderPort port_;
};
} // namespace

TEST_F(FakeSeries, SixtyFourFramesOfTwoHundredPixelsInTheDescribedOrder) {
    Movie("film.avi", 5000, kScript);
    Cwd cwd(work_.path());
    WriteFile(work_.file("shot0007.png"), "old frame");
    ASSERT_EQ(GenerateMultiScreenshots(1600, 8, 8), 1);

    std::string argv;
    std::vector<std::string> in = CaptureStdin(&argv);
    EXPECT_NE(argv.find(" -xy 200 -nosound "), std::string::npos) << argv;
    EXPECT_NE(argv.find(" -ss 33 "), std::string::npos);
    EXPECT_NE(argv.find(" -vf-pre scale=200:-3,format=bgr24 "), std::string::npos);
    EXPECT_EQ(argv.find(" -wid "), std::string::npos); // its own window
    std::vector<std::string> series, seeks;
    for (const std::string& line : in) {
        if (line.rfind("pausing", 0) == 0)
            series.push_back(line);
        if (line.rfind("pausing seek ", 0) == 0)
            seeks.push_back(line);
    }
    // Each seek is asked where it landed before its screenshot, each frame its own time after.
    ASSERT_GE(series.size(), 4u);
    EXPECT_EQ(series[0], "pausing seek 10 2");
    EXPECT_EQ(series[1], "pausing_keep_force get_time_pos");
    EXPECT_EQ(series[2], "pausing screenshot");
    EXPECT_EQ(series[3], "pausing_keep_force get_time_pos");
    ASSERT_EQ(seeks.size(), 64u);
    EXPECT_EQ(seeks[1], "pausing seek 87 2"); // 10 + 4940 / 64, truncated
    EXPECT_EQ(std::count(in.begin(), in.end(), "pausing screenshot"), 64);

    ASSERT_EQ(graphicthumbmenu.size(), 64u);
    EXPECT_EQ(graphicthumbmenu[63].seekPos, 10 + 63 * 4940 / 64);
    EXPECT_EQ(graphicthumbmenu[63].videoTime, 12);
    EXPECT_FALSE(Mp1.screenshotSeries);
    EXPECT_EQ(Mp1.extraOptions, " ");
    EXPECT_EQ(Mp1.videoWindow.load(), 77u);
    EXPECT_FALSE(IsFileExist(work_.file("shot0007.png").c_str()));
    EXPECT_TRUE(port_.Events().empty());
}

TEST_F(FakeSeries, ThePlayerWritesIntoItsFolderWhileTheProgramStaysWhereItIs) {
    Movie("film.avi", 180, kScript);
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    SetPlayerFolder(work_.path());
    WriteFile(work_.file("shot0003.png"), "old frame");
    GenerateMultiScreenshots(400, 2, 2);
    SetPlayerFolder("");
    std::string log = ReadFile(program_.file("fake.log"));
    EXPECT_NE(log.find("cwd: " + work_.path() + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("cwd: " + std::string(here) + "\n"), std::string::npos);
    EXPECT_FALSE(IsFileExist(work_.file("shot0003.png").c_str()));
    char after[4096];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_EQ(std::string(after), std::string(here));
}

TEST_F(FakeSeries, RmvbMoviesPauseAfterEverySeek) {
    Movie("film.rmvb", 180, kScript);
    Cwd cwd(work_.path());
    GenerateMultiScreenshots(400, 2, 2);
    std::string argv;
    std::vector<std::string> in = CaptureStdin(&argv);
    std::vector<std::string> series;
    for (const std::string& line : in)
        if (line.rfind("pausing", 0) == 0 || line == "pause")
            series.push_back(line);
    ASSERT_EQ(series.size(), 16u);
    EXPECT_EQ(series[0], "pausing seek 10 2");
    EXPECT_EQ(series[1], "pause");
    EXPECT_EQ(series[2], "pausing screenshot");
}

TEST_F(FakeSeries, APlayerThatEndsStopsTheSeriesAndNoSheetIsMade) {
    Movie("film.avi", 660, std::string(kScript) + "on pausing seek 30 |Exiting... (End of file)\n");
    Cwd cwd(work_.path());
    EXPECT_EQ(multiscreenshots_nojava(1200, 6, 10), 0);
    ASSERT_EQ(graphicthumbmenu.size(), 3u);
    EXPECT_EQ(graphicthumbmenu[2].seekPos, 30);
    EXPECT_TRUE(port_.Has("message:exiting!!:exiting!! before end"));
    EXPECT_TRUE(port_.Has("message:Cannot load DIB file:" + work_.path() + "/shot0001.bmp"));
    EXPECT_EQ(Mp1.extraOptions, " ");

    // No movie; a sheet the marks could not describe.
    port_.Clear();
    Mp1.movieFile.clear();
    EXPECT_EQ(multiscreenshots_nojava(800, 7, 7), 0);
    Mp1.movieFile = "x.avi";
    EXPECT_EQ(multiscreenshots_nojava(800, 0, 7), 0);
    EXPECT_EQ(multiscreenshots_nojava(800, 7, 35), 0);
    EXPECT_EQ(port_.Events().size(), 3u);
}

TEST(SeriesLimits, ASilentPlayerEndsTheSeriesAfterTheLimit) {
    RecorderPort port;
    ScopedPort scoped(&port);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    std::vector<std::string> sent;
    FdChannel channel(fds[0], [&](const std::string& c) {
        sent.push_back(c);
        return true;
    });
    EXPECT_FALSE(WaitForPlaybackStart(channel, 100).started);
    // One frame confirmed, its time answer never comes; the second frame never comes.
    const char lines[] = "Starting playback...\r\n*** screenshot 'shot0001.png' ***\n";
    ASSERT_EQ(write(fds[1], lines, sizeof(lines) - 1), static_cast<ssize_t>(sizeof(lines) - 1));
    EXPECT_TRUE(WaitForPlaybackStart(channel, 1000).started);
    SeriesPlan plan;
    plan.positions = {10, 20, 30};
    plan.frameLimitMs = 200;
    plan.decodeForward = false;
    SeriesResult result = TakeScreenshots(channel, plan);
    EXPECT_TRUE(result.endedEarly);
    EXPECT_EQ(result.shots, 1);
    EXPECT_EQ(result.frames.size(), 2u);
    // Once the answers stayed away, the second frame was not asked for its time.
    EXPECT_EQ(sent.size(), 3u + 2u);
    EXPECT_TRUE(port.Has("message:exiting!!:exiting!! before end"));
    close(fds[0]);
    close(fds[1]);
}
