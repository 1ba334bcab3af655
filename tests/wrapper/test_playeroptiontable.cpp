// Learning from the installed mplayer which options take a value, and finding the movie with it.
#include "tools/wrapper/playeroptiontable.h"
#include "tools/wrapper/wrapperoptions.h"

#include "tests/support/testenv.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using Args = std::vector<std::string>;

namespace {
std::string RealListOptions() {
    std::string output;
    RunCommand({"mplayer", "-list-options"}, &output);
    return output;
}

// A stand-in player: a shell script that notes each run in `dir`/runs and answers as `body`.
std::string WriteStandIn(const TempDir& dir, const std::string& body) {
    std::string path = dir.file("player.sh");
    WriteFile(path, "#!/bin/sh\necho run >> '" + dir.file("runs") + "'\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

struct TableScope {
    ~TableScope() { SetPlayerOptionTable(PlayerOptionTable::Fallback()); }
};
} // namespace

TEST(PlayerOptionTable, TheRealPlayersListSaysWhichOptionsTakeAValue) {
    auto table = PlayerOptionTable::FromListOptions(RealListOptions());
    ASSERT_TRUE(table) << "mplayer -list-options gave no table";
    EXPECT_TRUE(table->Learned());
    for (const char* flag : {"-framedrop", "-nocache", "-noautosub", "-fs", "-nofs", "-slave",
                             "-zoom", "-noallow-dangerous-playlist-parsing", "-v", "-help"})
        EXPECT_FALSE(table->TakesValue(flag)) << flag;
    for (const char* valued : {"-vf-add", "-vf", "-ss", "-wid", "-ao", "-input", "-lavdopts",
                               "-sub", "-xy", "-sws", "-colorkey", "-chapter", "-include"})
        EXPECT_TRUE(table->TakesValue(valued)) << valued;

    EXPECT_FALSE(PlayerOptionTable::FromListOptions("MPlayer: unknown option\n"));
    EXPECT_FALSE(PlayerOptionTable::FromListOptions(""));
}

TEST(PlayerOptionTable, AFlagPresetNoLongerHidesTheMovie) {
    TableScope scope;
    const Args args = {"-slave", "-framedrop", "-nocache", "-noautosub", "-wid",
                       "4711",   "/m/a b.avi", "-ss",      "8"};
    const Args rare = {"-nograbpointer", "-nocorrect-pts", "m.avi"};
    // A flag the hand-written list lacks takes the next word for its value.
    EXPECT_EQ(FindMovieArguments(rare), std::vector<size_t>{});
    SetPlayerOptionTable(*PlayerOptionTable::FromListOptions(RealListOptions()));
    EXPECT_EQ(FindMovieArguments(rare), std::vector<size_t>{2});
    EXPECT_EQ(FindMovieArguments(args), std::vector<size_t>{6});
    EXPECT_EQ(FindMovieArguments({"-hardframedrop", "-nobps", "-"}), std::vector<size_t>{2});
}

TEST(PlayerOptionTable, LearnedOncePerBinaryAndAskedAgainWhenItChanges) {
    TempDir dir;
    std::string player = WriteStandIn(dir, "exec mplayer \"$@\"");
    std::string cache = dir.file("options.cache");
    EXPECT_TRUE(LearnPlayerOptions(player, cache, 10000).Learned());
    EXPECT_TRUE(LearnPlayerOptions(player, cache, 10000).Learned());
    EXPECT_EQ(ReadLines(dir.file("runs")).size(), 1u) << "the second start reads the cache";

    // A new binary (another modification time) is asked again.
    struct timespec times[2] = {{0, UTIME_NOW}, {1000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, player.c_str(), times, 0), 0);
    EXPECT_TRUE(LearnPlayerOptions(player, cache, 10000).Learned());
    EXPECT_EQ(ReadLines(dir.file("runs")).size(), 2u);
}

TEST(PlayerOptionTable, APlayerThatCannotTellGivesTheHandWrittenList) {
    TempDir dir;
    std::string cache = dir.file("options.cache");
    EXPECT_FALSE(LearnPlayerOptions(dir.file("no such player"), cache, 1000).Learned());
    EXPECT_FALSE(LearnPlayerOptions(WriteStandIn(dir, "echo 'Unknown option'; exit 1"), cache, 1000)
                     .Learned());

    // One that hangs (with a child holding its output) is given up after the limit.
    std::string hanging =
        WriteStandIn(dir, "sleep 60 & echo $! > '" + dir.file("child") + "'\nsleep 60");
    auto start = std::chrono::steady_clock::now();
    PlayerOptionTable table = LearnPlayerOptions(hanging, cache, 500);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(table.Learned());
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_TRUE(table.TakesValue("-ss"));
    EXPECT_FALSE(table.TakesValue("-framedrop"));
    pid_t child = std::atoi(ReadFile(dir.file("child")).c_str());
    ASSERT_GT(child, 0);
    EXPECT_TRUE(WaitUntil([&] { return kill(child, 0) != 0; }, 5000)) << "its child was left";
    EXPECT_EQ(ReadFile(cache), "") << "nothing is cached from a player that did not answer";
}
