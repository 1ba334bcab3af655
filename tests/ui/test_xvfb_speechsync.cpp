// Subtitles > "Synchronise to speech" in a real X server with the real player: a subtitle 3.2 s
// late is synchronised to the movie's speech on the worker, the synced file is written beside
// it and loaded into the running player, and the title tells the offset.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "subtitles/subtitleparse.h"
#include "tests/support/speechmovie.h"
#include "tests/support/testenv.h"
#include "ui/mainwindow.h"
#include "ui/speechsynccommand.h"
#include "ui/startup.h"
#include "ui/uihooks.h"
#include "xvfbapp.h"

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(SpeechSyncUnderXvfb, TheMenuSynchronisesLoadsAndTitlesTheSubtitle) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    App();
    SpeechMovieSpec spec;
    spec.seconds = 240;
    spec.seed = 27;
    SpeechMovie spoken = MakeSpeechMovie(spec);
    ASSERT_NE(spoken.path, "") << spoken.error;

    TempDir dir;
    std::string movie = dir.file("film.mkv");
    fs::copy_file(spoken.path, movie);
    std::string subtitle = dir.file("film.srt");
    WriteFile(subtitle, SubRipOf(spoken.lines, 1, 3200));
    fs::create_directory_symlink(StageDir() + "/binary", dir.file("binary"));
    fs::create_directory_symlink(StageDir() + "/locale", dir.file("locale"));
    WriteFile(dir.file("QuorvanPlayer.ini"), "[quorvan]\nSafe_get_timer_anticrash_gui=0\n");
    SetProgramFolder(dir.path());
    std::vector<std::string> messages;
    Hooks().messageBox = [&](const std::string& text, const std::string& caption, int) {
        messages.push_back(caption + "|" + text);
        return 1;
    };
    Hooks().endProcess = [](int) {};
    Hooks().openFile = [&](const std::vector<FileFilter>&) { return subtitle; };
    StartedProgram program = WinMainStartup("QuorvanPlayer \"" + movie + "\"");
    ASSERT_TRUE(program.window);
    MainWindow& window = *program.window;
    ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->value() >= 1; }, 30000))
        << Mp1.ConsoleTextSnapshot();

    window.Command(kCommandSynchroniseToSpeech);
    std::string synced = dir.file("film.synced.srt");
    ASSERT_TRUE(WaitProcessing(
        [&] {
            return window.windowTitle().toStdString().find(" s") != std::string::npos &&
                   window.windowTitle().contains(" | -3.");
        },
        30000))
        << window.windowTitle().toStdString() << "\n"
        << (messages.empty() ? "" : messages[0]);
    std::string title = window.windowTitle().toStdString();
    size_t at = title.find("film.mkv | ");
    ASSERT_NE(at, std::string::npos) << title;
    EXPECT_NEAR(std::stod(title.substr(at + 11)), -3.2, 0.15) << title;
    EXPECT_EQ(title.substr(title.size() - 2), " s") << title; // no rate, no split
    ASSERT_TRUE(fs::exists(synced));
    // The player names the file it loaded in its output.
    EXPECT_TRUE(WaitProcessing(
        [&] { return Mp1.ConsoleTextSnapshot().find("film.synced.srt") != std::string::npos; },
        10000))
        << Mp1.ConsoleTextSnapshot();

    std::vector<SubtitleCue> cues = ParseSubtitleFile(ReadFile(synced)).cues;
    ASSERT_EQ(cues.size(), spoken.lines.size());
    std::vector<double> errors;
    for (size_t i = 0; i < cues.size(); ++i)
        errors.push_back(std::fabs(static_cast<double>(cues[i].start - spoken.lines[i].startMs)));
    std::nth_element(errors.begin(), errors.begin() + static_cast<long>(errors.size() / 2),
                     errors.end());
    EXPECT_LE(errors[errors.size() / 2], 100);
    EXPECT_TRUE(messages.empty()) << messages[0];

    // Another movie's subtitle is refused with a message and nothing is loaded.
    std::string other = dir.file("other.srt");
    std::vector<SpokenLine> lines;
    for (int64_t t = 2000, k = 0; t < 230000; ++k) {
        int64_t len = 1300 + (k * 7919) % 2100;
        lines.push_back({t, t + len, "other"});
        t += len + 500 + (k * 104729) % 2400;
    }
    WriteFile(other, SubRipOf(lines, 1, 0));
    subtitle = other;
    window.Command(kCommandSynchroniseToSpeech);
    ASSERT_TRUE(WaitProcessing([&] { return !messages.empty(); }, 30000));
    EXPECT_NE(messages[0].find("does not match the speech of this movie"), std::string::npos)
        << messages[0];
    EXPECT_FALSE(fs::exists(dir.file("other.synced.srt")));

    ClosePlayer(3000);
    program.window.reset();
    SetWindowPort(nullptr);
    program.port.reset();
    ResetHooks();
    SetProgramFolder("");
}
