// The program in a real X server (Xvfb) with the real player: the picture appears in the video
// area, the time slider follows the movie, Space pauses, a double click asks the player for
// full screen, and compact mode floats the video window with the picture in it and back.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/videowindow.h"
#include "xvfbapp.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
// Share of the pixels of `image` that are not the key colour.
double ShareNotKeyColour(const QImage& image) {
    if (image.isNull() || image.width() == 0 || image.height() == 0)
        return 0;
    long differ = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0x101010)
                ++differ;
    return static_cast<double>(differ) / (image.width() * image.height());
}
} // namespace

// Starts the program on a generated movie in a program folder of its own whose binary/ and
// locale/ are the staged ones. Without the quiet option the player reports its pauses and
// positions itself.
class ProgramUnderXvfb : public ::testing::Test {
  protected:
    void Start(int movieSeconds) {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
        App();
        std::string generated = GeneratedMovie(movieSeconds);
        ASSERT_FALSE(generated.empty());
        // Alone in its folder, so that no other movie follows it as its next part.
        std::string movie = dir_.file("movie.avi");
        fs::copy_file(generated, movie);
        fs::create_directory_symlink(StageDir() + "/binary", dir_.file("binary"));
        fs::create_directory_symlink(StageDir() + "/locale", dir_.file("locale"));
        WriteFile(dir_.file("QuorvanPlayer.ini"), "[quorvan]\nSafe_get_timer_anticrash_gui=0\n");
        SetProgramFolder(dir_.path());
        Hooks().messageBox = [this](const std::string& text, const std::string& caption, int) {
            messages_.push_back(caption + "|" + text);
            return 1;
        };
        Hooks().endProcess = [](int) {};
        program_ = WinMainStartup("QuorvanPlayer \"" + movie + "\"");
        ASSERT_TRUE(program_.window);
    }
    void TearDown() override {
        ClosePlayer(3000);
        program_.window.reset();
        SetWindowPort(nullptr);
        program_.port.reset();
        ResetHooks();
        SetProgramFolder("");
    }
    TempDir dir_;
    StartedProgram program_;
    std::vector<std::string> messages_;
};

TEST_F(ProgramUnderXvfb, ThePictureAppearsTheSliderFollowsAndSpacePauses) {
    Start(10);
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->maximum() == 10; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->value() >= 2; }, 20000))
        << "the time slider follows the movie\n"
        << Mp1.ConsoleTextSnapshot();

    QImage picture =
        QGuiApplication::primaryScreen()->grabWindow(window.Video()->winId()).toImage();
    EXPECT_GT(ShareNotKeyColour(picture), 0.2) << "the video area shows only the key colour";

    isPaused = false;
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_TRUE(WaitProcessing([] { return isPaused.load(); }, 10000)) << Mp1.ConsoleTextSnapshot();
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("  =====  PAUSE  ====="), std::string::npos);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ProgramUnderXvfb, FullScreenIsAnsweredAndCompactModeFloatsThePicture) {
    Start(30);
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    QWidget* video = window.Video();
    ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->value() >= 1; }, 20000))
        << Mp1.ConsoleTextSnapshot();

    // A double click switches the player's window to full screen; the player answers with
    // its state, and a second double click switches back.
    Mp1.fullScreen = false;
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(video->width() / 2, 20));
    EXPECT_TRUE(WaitProcessing([] { return Mp1.fullScreen.load(); }, 10000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("< VO_FULLSCREEN=1"), std::string::npos);
    EXPECT_EQ(coursorvisable, 0);
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(video->width() / 2, 20));
    EXPECT_TRUE(WaitProcessing([] { return !Mp1.fullScreen.load(); }, 10000))
        << Mp1.ConsoleTextSnapshot();
    ShowCursorAgain();

    const WId id = video->winId();
    window.Command(1053);
    ASSERT_TRUE(WaitProcessing([&] { return video->isWindow() && video->isVisible(); }, 5000));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(video->winId(), id);
    double share = 0;
    WaitProcessing(
        [&] {
            QImage picture = QGuiApplication::primaryScreen()->grabWindow(video->winId()).toImage();
            share = ShareNotKeyColour(picture);
            return share > 0.2;
        },
        10000);
    EXPECT_GT(share, 0.2) << "the floating video window shows the picture";

    window.Command(1053);
    ASSERT_TRUE(WaitProcessing([&] { return window.isVisible() && !video->isWindow(); }, 5000));
    EXPECT_EQ(video->parentWidget(), window.VideoParent());
    EXPECT_EQ(video->winId(), id);
    WaitProcessing(
        [&] {
            QImage picture = QGuiApplication::primaryScreen()->grabWindow(video->winId()).toImage();
            share = ShareNotKeyColour(picture);
            return share > 0.2;
        },
        10000);
    EXPECT_GT(share, 0.2) << "the picture is back in the main window";
}
