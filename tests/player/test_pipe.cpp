// The player process end to end over real pipes, with the fake player as binary/QUORVAN.
#include "platform/paths.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "tests/player/playerstate.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>

namespace {
class PlayerPipe : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        StageFakePlayerFolder(dir_.path());
        SetWindowPort(&port_);
        Mp1.videoWindow = 0;
        Mp1.init();
        Mp1.movieFile = dir_.file("movie.avi");
    }
    void TearDown() override {
        ClosePlayer(2000);
        SetWindowPort(nullptr);
        SetProgramFolder("");
    }
    void Script(const std::string& text) { WriteFile(dir_.file("fake.script"), text); }
    std::vector<std::string> Logged(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& line : ReadLines(dir_.file("fake.log")))
            if (line.rfind(prefix, 0) == 0)
                out.push_back(line.substr(prefix.size()));
        return out;
    }
    TempDir dir_;
    RecorderPort port_;
};
} // namespace

TEST_F(PlayerPipe, LaunchReaderAndInterpreterWorkTogether) {
    Script("print Quorvan fake\nprint ID_VIDEO_WIDTH=320\nprint ID_VIDEO_HEIGHT=240\r\n"
           "on get_time_length|ANS_LENGTH=42.50\n");
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("range:106:0:42", 5000));
    EXPECT_EQ(Mp1.videoWidth, 320);
    EXPECT_EQ(Mp1.videoHeight, 240);
    EXPECT_FLOAT_EQ(Mp1.movieLength, 42.5f);
    EXPECT_TRUE(PlayerRunning());
    EXPECT_TRUE(SendCommand("pause"));
    ClosePlayer(2000);
    EXPECT_FALSE(PlayerRunning());
    EXPECT_EQ(Logged("stdin: "),
              (std::vector<std::string>{"osd 0", "get_time_length", "osd 1", "pause", "quit"}));
}

TEST_F(PlayerPipe, PathsWithBlanksQuotesAndPolishLettersArriveIntact) {
    const std::string movie = dir_.file("zażółć \"gęślą\" jaźń (2).avi");
    Mp1.movieFile = movie;
    Mp1.LanchMovie();
    ClosePlayer(2000);
    auto argv = Logged("argv: ");
    ASSERT_FALSE(argv.empty());
    EXPECT_EQ(argv.front(), PlayerWrapperPath());
    EXPECT_NE(std::find(argv.begin(), argv.end(), movie), argv.end());
    EXPECT_EQ(std::find(argv.begin(), argv.end(), "-sub-fuzziness") - argv.begin(),
              std::find(argv.begin(), argv.end(), movie) - argv.begin() + 1);
}

TEST_F(PlayerPipe, ManyQuickRelaunchesNeverOverlapReadersAndLeakNothing) {
    Script("print Quorvan fake\non get_time_length|ANS_LENGTH=100.00\n");
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("range:106:0:100", 5000));
    ClosePlayer(2000);
    const int before = CountOpenDescriptors();
    for (int i = 0; i < 200; ++i) {
        Mp1.timePosition = i;
        Mp1.LanchRefresh();
    }
    ASSERT_TRUE(SendCommand("get_time_pos"));
    ClosePlayer(5000);
    ASSERT_TRUE(WaitForReaders(10000));
    EXPECT_EQ(MaxConcurrentReaders(), 1);
    EXPECT_EQ(CountOpenDescriptors(), before);
    EXPECT_EQ(Logged("pid: ").size(), 201u);
    EXPECT_EQ(Logged("exit").size(), 201u) << "every replaced player was told to go";
}

TEST_F(PlayerPipe, CommandsToAnEndedPlayerFailAtOnce) {
    Script("print Quorvan fake\nexit 0\n");
    Mp1.LanchMovie();
    ASSERT_TRUE(WaitUntil([] { return !PlayerRunning(); }, 5000));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendCommand("pause"));
    EXPECT_FALSE(SendCommand("seek 10 2"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

// A screenshot series' player has no reader: once it has gone it is reaped all the same, by
// the window's regular question or at the next launch, and never stays a <defunct> child.
TEST_F(PlayerPipe, APlayerWithoutAReaderIsReapedWhenItExits) {
    Script("print Quorvan fake\nexit 0\n");
    auto zombie = [](pid_t pid) {
        std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
        size_t close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
    };
    auto gone = [](pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; };
    for (bool relaunch : {false, true}) {
        const size_t before = Logged("pid: ").size();
        ASSERT_TRUE(Launch2(("\"" + PlayerWrapperPath() + "\" -slave movie.avi").c_str()));
        ASSERT_TRUE(WaitUntil([&] { return Logged("pid: ").size() == before + 1; }, 5000));
        const pid_t pid = std::stoi(Logged("pid: ").back());
        ASSERT_TRUE(WaitUntil([&] { return zombie(pid); }, 5000)) << "it exited";
        if (relaunch) {
            Mp1.LanchMovie(); // replaces it
        } else {
            EXPECT_FALSE(PlayerRunning());
        }
        EXPECT_TRUE(gone(pid)) << (relaunch ? "replaced" : "asked") << " and still <defunct>";
    }
}

TEST_F(PlayerPipe, APlayerThatStopsReadingNeverHoldsTheCallerForLong) {
    // The player hangs without reading its input: once the pipe is full, commands fail after a
    // bounded wait instead of blocking the user interface.
    Script("print Quorvan fake\nsleep 30000\n");
    Mp1.LanchMovie();
    ASSERT_TRUE(PlayerRunning());
    const std::string big(7000, 'v');
    bool refused = false;
    for (int i = 0; i < 40 && !refused; ++i) {
        auto start = std::chrono::steady_clock::now();
        refused = !SendCommand(big);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500)) << i;
    }
    EXPECT_TRUE(refused) << "40 commands of 7000 bytes cannot all fit a pipe nobody reads";
    auto start = std::chrono::steady_clock::now();
    ClosePlayer(100);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_FALSE(PlayerRunning());
}

TEST_F(PlayerPipe, CommandsBeforeAnyPlayerFailButReachTheTranscript) {
    EXPECT_FALSE(SendCommand("volume 50 1"));
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("\r\n> volume 50 1"), std::string::npos);
}

TEST_F(PlayerPipe, AMissingMovieShowsThePlayersErrorInTheTitle) {
    Script("print Quorvan fake\nprint File not found: 'nothing.avi'\nprint Failed to open "
           "nothing.avi.\n"
           "print Exiting... (Fatal error)\nexit 1\n");
    Mp1.movieFile = dir_.file("nothing.avi");
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("show:2302:1", 5000));
    EXPECT_TRUE(port_.Has("title:Exiting... (Fatal error)"));
}

// mplayer drops a line it cannot hold, with what follows it in its buffer: such a line is not
// sent (a cut one could end in the middle of a quoted name), and the user is told.
TEST_F(PlayerPipe, CommandsLongerThanThePlayerReadsAreNotSent) {
    Script("print Quorvan fake\n");
    Mp1.LanchMovie();
    std::string huge(10000, 'k');
    EXPECT_FALSE(SendCommand(huge));
    EXPECT_TRUE(SendCommand(std::string(4094, 'f')));
    EXPECT_FALSE(SendCommand(std::string(4095, 'g')));
    ClosePlayer(2000);
    auto lines = Logged("stdin: ");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[3], std::string(4094, 'f'));
    for (const std::string& line : lines)
        EXPECT_TRUE(line.find("kkk") == std::string::npos && line.find("ggg") == std::string::npos);
    EXPECT_FALSE(port_.WaitForPrefix("message:Error:The player was not sent", 100).empty());
}

TEST_F(PlayerPipe, PositionPollsStayOutOfTheTranscript) {
    Script("print Quorvan fake\non pausing_keep get_time_pos|ANS_TIME_POSITION=12.5\n"
           "on get_time_pos|ANS_TIME_POSITION=13.5\n");
    Mp1.LanchMovie();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(SendPositionPoll());
    ASSERT_TRUE(WaitUntil([] { return Mp1.timePosition == 12; }, 5000));
    ASSERT_TRUE(SendCommand("get_time_pos")); // one the user typed: echoed, and so is its answer
    ASSERT_TRUE(WaitUntil([] { return Mp1.timePosition == 13; }, 5000));
    std::string console = Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(console.find("pausing_keep get_time_pos"), std::string::npos);
    EXPECT_EQ(console.find("ANS_TIME_POSITION=12.5"), std::string::npos) << console;
    EXPECT_NE(console.find("> get_time_pos"), std::string::npos);
    EXPECT_NE(console.find("< ANS_TIME_POSITION=13.5"), std::string::npos);
}

TEST(OtherPrograms, MySystemReturnsAtOnceAndRunprocessWaits) {
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped(&port);
    const std::string started = dir.file("started");
    auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(MySystem(("/bin/sh -c \"sleep 0.5; touch '" + started + "'\"").c_str()));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(400))
        << "MySystem must not wait";
    EXPECT_TRUE(WaitUntil([&] { return IsFileExist(started.c_str()) == 1; }, 5000));

    const std::string waited = dir.file("waited");
    ASSERT_TRUE(runprocess(("/bin/sh -c \"sleep 0.2; touch '" + waited + "'\"").c_str()));
    EXPECT_EQ(IsFileExist(waited.c_str()), 1) << "runprocess returns when the program has ended";
    EXPECT_TRUE(port.Events().empty());

    EXPECT_FALSE(MySystem("/nonexistent/program --flag"));
    EXPECT_FALSE(runprocess("/nonexistent/program --flag"));
    EXPECT_EQ(port.Events(), (std::vector<std::string>{
                                 "message:Error:CreateProcess\n/nonexistent/program --flag\n"}));
}
