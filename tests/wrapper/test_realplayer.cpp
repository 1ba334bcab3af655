// The real mplayer of this system through binary/QUORVAN, driven by the engine as the program
// drives it, on movies made by ffmpeg at test time.
#include "persist/filters.h"
#include "persist/history.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/wrapper/realplayerfixture.h"

#include <cmath>
#include <gtest/gtest.h>

using RealPlayer = RealPlayerTest;

TEST_F(RealPlayer, LearnsTheMovieAndRunsTheEndOfMovie) {
    std::string movie = GeneratedMovie(10);
    ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
    history1.add(movie, 4); // at most 10 s remembered: starts from the beginning
    Mp1.movieFile = movie;
    Mp1.LanchMovie();

    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_NEAR(Mp1.movieLength.load(), 10.0, 0.1);
    EXPECT_EQ(Mp1.videoWidth, 160);
    EXPECT_EQ(Mp1.videoHeight, 120);
    ASSERT_TRUE(WaitUntil(
        [] { return Mp1.ConsoleTextSnapshot().find("Starting playback...") != std::string::npos; },
        20000));

    // Skip to the end rather than waiting ten seconds.
    EXPECT_TRUE(SendCommand("seek 9 2"));
    std::string end = port_.WaitForPrefix(
        "title:" + std::string(ProgramTitle) + "Exiting... (End of file)", 30000);
    ASSERT_FALSE(end.empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(end, "title:" + std::string(ProgramTitle) + "Exiting... (End of file)" + movie);
    // The title comes first; the position is forgotten right after it.
    EXPECT_TRUE(WaitUntil([&] { return history1.get(movie) == 0; }, 5000));
    EXPECT_TRUE(WaitUntil([] { return Mp1.timePosition == 0; }, 5000));
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().find("Error parsing option"), std::string::npos);
    ASSERT_TRUE(WaitUntil([] { return !PlayerRunning(); }, 10000));
}

TEST_F(RealPlayer, PositionQueriesAreAnswered) {
    std::string movie = GeneratedMovie(10);
    ASSERT_FALSE(movie.empty());
    Mp1.movieFile = movie;
    Mp1.LanchMovie();
    ASSERT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty());
    SendCommand("pausing_keep seek 6 2");
    SendCommand("pausing_keep get_time_pos");
    std::string pos = port_.WaitForPrefix("pos:106:", 20000);
    ASSERT_FALSE(pos.empty()) << Mp1.ConsoleTextSnapshot();
    EXPECT_GE(Mp1.timePosition, 5);
}

TEST_F(RealPlayer, AMissingMovieReachesTheTitleAndTheErrorButton) {
    Mp1.movieFile = "/nonexistent/movie that is not there.avi";
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("show:2302:1", 20000)) << Mp1.ConsoleTextSnapshot();
    std::string title = port_.WaitForPrefix("title:Exiting...", 1000);
    EXPECT_FALSE(title.empty());
}

TEST_F(RealPlayer, ACrashingPlayerIsReportedThroughTheWrapper) {
    TempDir dir;
    WriteFile(
        dir.file("crash.script"),
        "print MPlayer stand-in\nprint X11 error: BadWindow (invalid Window parameter)\ncrash\n");
    setenv("QUORVAN_MPLAYER", (TestBinDir() + "/fakeplayer").c_str(), 1);
    setenv("FAKEPLAYER_SCRIPT", dir.file("crash.script").c_str(), 1);
    Mp1.movieFile = dir.file("movie.avi");
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("title:- Pelnix crashed: mplayer ended by signal 11 (Segmentation "
                              "fault); last error: X11 error: BadWindow (invalid Window parameter)",
                              10000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(port_.WaitFor("show:2302:1", 5000));
    unsetenv("FAKEPLAYER_SCRIPT");
}

// The wrapper learns the player's own flags, so no preset can make an option value of the
// movie: every shipped preset, and one of flags alone, chosen as the user's preset (it stands
// just before the window id) opens the movie with the real player.
TEST_F(RealPlayer, EveryPresetOpensTheMovie) {
    std::string movie = GeneratedMovie(10);
    ASSERT_FALSE(movie.empty());
    std::vector<filtr_item> presets = {{"flags", "-framedrop -nocache -noautosub -nocorrect-pts"}};
    for (const char* file : {"filtres.txt", "user_filtres.txt"})
        for (const auto& preset :
             ParsePresetFile(ReadFile(SourceDir() + "/resources/" + file), kMaxUserFiltres))
            if (preset.name != kSeparatorPreset)
                presets.push_back(preset);
    ASSERT_GT(presets.size(), 10u);
    const std::vector<filtr_item> kept = user_filtrs;
    user_filtrs = presets;
    Mp1.videoWindow = 4711;        // no such window: the null output ignores it
    Mp1.extraOptions = "-vo null"; // the wrapper chooses the audio output
    for (size_t i = 0; i < presets.size(); ++i) {
        port_.Clear();
        Mp1.userFilterNum = static_cast<int>(i);
        Mp1.init();
        Mp1.movieFile = movie;
        Mp1.LanchMovie();
        EXPECT_FALSE(port_.WaitForPrefix("range:106:0:", 20000).empty())
            << presets[i].name << ":\n"
            << Mp1.ConsoleTextSnapshot();
        std::string console = Mp1.ConsoleTextSnapshot();
        EXPECT_EQ(console.find("Error parsing option"), std::string::npos) << presets[i].name;
        EXPECT_EQ(console.find("Fatal error"), std::string::npos) << presets[i].name;
        ClosePlayer(3000);
    }
    user_filtrs = kept;
    Mp1.userFilterNum = 0;
}

TEST_F(RealPlayer, AMissingMplayerIsShownInTheTitleAndTheErrorButton) {
    TempDir dir;
    setenv("QUORVAN_MPLAYER", dir.file("mplayer").c_str(), 1);
    Mp1.movieFile = dir.file("movie.avi");
    Mp1.LanchMovie();
    ASSERT_TRUE(port_.WaitFor("show:2302:1", 10000)) << Mp1.ConsoleTextSnapshot();
    EXPECT_FALSE(port_
                     .WaitForPrefix("title:Exiting... (Fatal error) cannot start mplayer: " +
                                        dir.file("mplayer") + ": No such file or directory",
                                    1000)
                     .empty())
        << Mp1.ConsoleTextSnapshot();
}
