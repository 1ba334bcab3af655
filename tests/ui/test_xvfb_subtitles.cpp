// The program in a real X server (Xvfb) with the real player and a Windows-1250 SubRip file
// beside the movie: the wrapper tells mplayer the file's encoding and the subtitle is drawn in
// the lower third of the picture.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "subtitles/encoding.h"
#include "tests/support/testenv.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/uihooks.h"
#include "xvfbapp.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
// Pixels of the subtitle's white in the lower third (the movie itself is black).
int WhiteInLowerThird(const QImage& image) {
    int count = 0;
    for (int y = image.height() * 2 / 3; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb p = image.pixel(x, y);
            count += qRed(p) > 0xC0 && qGreen(p) > 0xC0 && qBlue(p) > 0xC0;
        }
    return count;
}
} // namespace

TEST(SubtitlesUnderXvfb, ACp1250SubRipIsDrawnWithTheEncodingTheWrapperChose) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    App();
    TempDir dir;
    std::string movie = dir.file("film.avi");
    ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                          "color=c=black:size=320x240:rate=25:duration=12", "-f", "lavfi", "-i",
                          "anullsrc=r=44100:cl=mono", "-t", "12", "-c:v", "mpeg4", "-c:a",
                          "libmp3lame", movie},
                         nullptr),
              0);
    WriteFile(dir.file("film.srt"),
              Utf8ToEncoding("1\r\n00:00:00,500 --> 00:00:11,000\r\nZażółć gęślą jaźń ŁÓDŹ\r\n",
                             "CP1250"));
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

    ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->value() >= 2; }, 30000))
        << Mp1.ConsoleTextSnapshot();
    std::string console = Mp1.ConsoleTextSnapshot();
    EXPECT_NE(console.find("Subtitle encoding: -subcp cp1250 for "), std::string::npos) << console;
    int white = 0;
    // The picture is redrawn a few times a second; one with the subtitle is enough.
    WaitProcessing(
        [&] {
            QImage picture =
                QGuiApplication::primaryScreen()->grabWindow(window.Video()->winId()).toImage();
            white = WhiteInLowerThird(picture);
            return white > 100;
        },
        10000);
    EXPECT_GT(white, 100) << "no subtitle in the lower third\n" << console;
    EXPECT_TRUE(messages.empty());

    ClosePlayer(3000);
    program.window.reset();
    SetWindowPort(nullptr);
    program.port.reset();
    ResetHooks();
    SetProgramFolder("");
}
