// No player outlives the program: the engine, the staged wrapper and a stand-in player that
// ignores "quit" and SIGTERM (and leaves a child of its own), at exit and over quick relaunches;
// also one that never answers the wrapper's question for its options.
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/wrapper/realplayerfixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace {

class PlayerExit : public RealPlayerTest {
  protected:
    void SetUp() override {
        RealPlayerTest::SetUp();
        WriteFile(dir_.file("stubborn.script"), "print stubborn player\nstubborn\n");
        setenv("QUORVAN_MPLAYER", (TestBinDir() + "/fakeplayer").c_str(), 1);
        setenv("FAKEPLAYER_SCRIPT", dir_.file("stubborn.script").c_str(), 1);
        setenv("FAKEPLAYER_LOG", dir_.file("fake.log").c_str(), 1);
        Mp1.movieFile = dir_.file("movie.avi");
    }
    void TearDown() override {
        unsetenv("FAKEPLAYER_SCRIPT");
        unsetenv("FAKEPLAYER_LOG");
        RealPlayerTest::TearDown();
    }
    // Every player and player's child that has been started so far.
    std::set<pid_t> StartedProcesses() {
        std::set<pid_t> pids;
        for (const auto& line : ReadLines(dir_.file("fake.log")))
            for (const char* prefix : {"pid: ", "child: ", "probe: ", "probe child: "})
                if (line.rfind(prefix, 0) == 0)
                    pids.insert(std::stoi(line.substr(std::string(prefix).size())));
        return pids;
    }
    size_t CountLogged(const std::string& prefix) {
        size_t n = 0;
        for (const auto& line : ReadLines(dir_.file("fake.log")))
            n += line.rfind(prefix, 0) == 0;
        return n;
    }
    void ExpectNoneLeft() {
        for (pid_t pid : StartedProcesses())
            EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pid); }, 3000))
                << "process " << pid << " outlived the program";
    }
    TempDir dir_;
};
} // namespace

TEST_F(PlayerExit, NothingIsLeftAfterExit) {
    Mp1.LanchMovie();
    ASSERT_TRUE(WaitUntil([&] { return CountLogged("child: ") == 1; }, 10000));
    ClosePlayer();
    EXPECT_FALSE(PlayerRunning());
    EXPECT_EQ(StartedProcesses().size(), 2u);
    ExpectNoneLeft();
}

TEST_F(PlayerExit, NothingIsLeftAfterQuickRelaunches) {
    // Each launch replaces a player that has just made its child: the relaunch comes as soon
    // as that stubborn pair exists (a player killed before its child was made proves nothing).
    for (size_t i = 1; i <= 20; ++i) {
        Mp1.LanchMovie();
        ASSERT_TRUE(WaitUntil([&] { return CountLogged("child: ") == i; }, 20000)) << i;
    }
    ClosePlayer();
    EXPECT_EQ(StartedProcesses().size(), 40u);
    ExpectNoneLeft();
}

TEST_F(PlayerExit, APlayerThatNeverTellsItsOptionsIsEndedAtExit) {
    // A binary of its own (a path no options cache knows), whose answer to -list-options never
    // comes: it ignores SIGTERM, and so does the child it waits for.
    const std::string player = dir_.file("silent player");
    WriteFile(player, "#!/bin/sh\n"
                      "if [ \"$1\" = -list-options ]; then\n"
                      "  trap '' TERM\n"
                      "  echo \"probe: $$\" >> '" +
                          dir_.file("fake.log") +
                          "'\n"
                          "  sleep 600 &\n"
                          "  echo \"probe child: $!\" >> '" +
                          dir_.file("fake.log") +
                          "'\n"
                          "  wait\n"
                          "fi\n"
                          "exec '" +
                          TestBinDir() + "/fakeplayer' \"$@\"\n");
    ASSERT_EQ(chmod(player.c_str(), 0755), 0);
    setenv("QUORVAN_MPLAYER", player.c_str(), 1);
    Mp1.LanchMovie();
    ASSERT_TRUE(WaitUntil([&] { return CountLogged("probe child: ") == 1; }, 10000));
    // Closed while it still asks: the wrapper's SIGTERM must take the question's group along.
    ClosePlayer(300);
    EXPECT_FALSE(PlayerRunning());
    EXPECT_EQ(CountLogged("pid: "), 0u) << "the player itself was never started";
    EXPECT_EQ(StartedProcesses().size(), 2u);
    ExpectNoneLeft();
}
