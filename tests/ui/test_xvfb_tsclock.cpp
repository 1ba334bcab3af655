// The program in a real X server (Xvfb) with the real player on a broadcast recording (H.264 in
// MPEG-TS, its stream clock starting at 600 s): the window's clock tells the recording's length
// and moves with it, and a seek puts it at the asked time.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/uihooks.h"
#include "xvfbapp.h"

#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace fs = std::filesystem;

namespace {
// The seconds of the clock's "H:MM:SS / H:MM:SS": the position and the length.
bool ReadClock(const QLabel* clock, int* position, int* length) {
    std::smatch m;
    std::string text = clock->text().toStdString();
    if (!std::regex_match(text, m, std::regex(R"((\d+):(\d\d):(\d\d) / (\d+):(\d\d):(\d\d))")))
        return false;
    *position = std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]);
    *length = std::stoi(m[4]) * 3600 + std::stoi(m[5]) * 60 + std::stoi(m[6]);
    return true;
}
} // namespace

TEST(TsClockUnderXvfb, TheClockTellsTheRecordingsLengthAndFollowsItsSeeks) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    App();
    std::string made = MadeMovie(TestMovie::H264Ts);
    ASSERT_FALSE(made.empty()) << "ffmpeg could not make the test movie";
    TempDir dir;
    // Alone in its folder, so that no other movie follows it as its next part.
    std::string movie = dir.file("recording.ts");
    fs::copy_file(made, movie);
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
    StartedProgram program = WinMainStartup("QuorvanPlayer \"" + movie + "\"");
    ASSERT_TRUE(program.window);
    MainWindow& window = *program.window;
    auto* clock = window.findChild<QLabel*>("time");
    ASSERT_NE(clock, nullptr);

    int position = -1, length = -1;
    auto clockIs = [&](int low, int high) {
        return ReadClock(clock, &position, &length) && std::abs(length - 90) <= 1 &&
               position >= low && position <= high;
    };
    // The length is the recording's, and the clock moves from its start.
    ASSERT_TRUE(WaitProcessing([&] { return clockIs(2, 20); }, 30000))
        << clock->text().toStdString() << "\n"
        << Mp1.ConsoleTextSnapshot();
    EXPECT_NEAR(window.TimeSlider()->maximum(), 90, 1);

    SendCommand("seek 30 2");
    EXPECT_TRUE(WaitProcessing([&] { return clockIs(28, 34); }, 20000))
        << clock->text().toStdString() << "\n"
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(messages.empty());

    ClosePlayer(3000);
    program.window.reset();
    SetWindowPort(nullptr);
    program.port.reset();
    ResetHooks();
    SetProgramFolder("");
}
