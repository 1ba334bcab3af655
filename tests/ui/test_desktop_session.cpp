// The program on the desktops users have, with the real player and a 1024 x 768 screen: a
// virtual X server (Xvfb) under openbox, and a Wayland compositor (headless weston) with
// XWayland, where the session asks Qt for its wayland platform and the program must run on
// xcb through XWayland to embed the picture; and weston without any X server, where the player
// gets no window of ours and the title says why. QUORVAN_TEST_SESSION names the desktop
// (xvfb, weston, weston-no-x); CTest runs this program once under each. What the user sees is
// read back from the screen: under weston from the compositor's own screenshot.
#include "platform/paths.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/ui/xsession.h"
#include "ui/displaychoice.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/videowindow.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace fs = std::filesystem;

namespace {
std::string Session() {
    const char* session = std::getenv("QUORVAN_TEST_SESSION");
    return session != nullptr ? session : "xvfb";
}

DisplayChoice g_choice;

// The program's own choice of platform, made as its main() makes it, then the application.
QApplication& DesktopApp() {
    static QApplication* app = [] {
        g_choice = ChooseDisplayForThisProcess();
        if (!g_choice.platform.empty())
            qputenv("QT_QPA_PLATFORM", g_choice.platform.c_str());
        static int argc = 1;
        static char name[] = "test_ui_desktop";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

bool Wait(const std::function<bool()>& condition, int timeoutMs) {
    return WaitUntil(
        [&] {
            QApplication::processEvents();
            return condition();
        },
        timeoutMs);
}

// The window as the X server has it, absolute (empty when it is gone).
QRect XGeometry(WId window) {
    std::string info = RunTool({"xwininfo", "-id", std::to_string(window)});
    std::smatch size, x, y;
    if (!std::regex_search(info, size, std::regex(R"(-geometry (\d+)x(\d+)[+-]\d+[+-]\d+)")) ||
        !std::regex_search(info, x, std::regex(R"(Absolute upper-left X:\s+(-?\d+))")) ||
        !std::regex_search(info, y, std::regex(R"(Absolute upper-left Y:\s+(-?\d+))")))
        return {};
    return QRect(std::stoi(x[1]), std::stoi(y[1]), std::stoi(size[1]), std::stoi(size[2]));
}

// The whole screen as the user sees it: the compositor's screenshot under weston (its output
// and XWayland's root share their coordinates), the X server's root window under Xvfb.
QImage ScreenImage() {
    if (Session() == "xvfb")
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    TempDir shots;
    RunCommand({"sh", "-c", "cd '" + shots.path() + "' && timeout 10 weston-screenshooter"},
               nullptr);
    for (const auto& entry : fs::directory_iterator(shots.path()))
        if (entry.path().extension() == ".png")
            return QImage(QString::fromStdString(entry.path().string()));
    return {};
}

// Share of the pixels of `area` (screen coordinates) in clear colours: the generated movie's
// bars, not the key colour, the greys of the window or the desktop.
double ColourShare(const QImage& screen, const QRect& area) {
    const QRect inside = area.intersected(screen.rect());
    if (inside.isEmpty())
        return 0;
    long coloured = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = screen.pixelColor(x, y);
            const int high = std::max({c.red(), c.green(), c.blue()});
            const int low = std::min({c.red(), c.green(), c.blue()});
            coloured += high - low > 80;
        }
    return static_cast<double>(coloured) / (inside.width() * inside.height());
}

// The share of the video window's area on the screen that shows the movie, waited for.
double PictureShare(QWidget* video, int timeoutMs = 15000) {
    double share = 0;
    Wait(
        [&] {
            share = ColourShare(ScreenImage(), XGeometry(video->winId()));
            return share > 0.3;
        },
        timeoutMs);
    return share;
}

// Openbox manages the windows of the virtual X server; weston's own window manager those of
// XWayland.
const auto* const kWindowManager =
    ::testing::AddGlobalTestEnvironment(new OpenboxEnvironment(Session() == "xvfb"));
} // namespace

class DesktopSession : public ::testing::Test {
  protected:
    void Start(const std::string& commandLine) {
        DesktopApp();
        fs::create_directory_symlink(StageDir() + "/binary", dir_.file("binary"));
        fs::create_directory_symlink(StageDir() + "/locale", dir_.file("locale"));
        WriteFile(dir_.file("QuorvanPlayer.ini"), "[quorvan]\nSafe_get_timer_anticrash_gui=0\n");
        SetProgramFolder(dir_.path());
        Hooks().messageBox = [this](const std::string& text, const std::string& caption, int) {
            messages_.push_back(caption + "|" + text);
            return 1;
        };
        program_ = WinMainStartup(commandLine);
        ASSERT_TRUE(program_.window);
    }
    // A movie alone in a folder of its own (nothing follows it as its next part).
    std::string Movie(int seconds) {
        std::string generated = GeneratedMovie(seconds);
        fs::create_directory(dir_.file("movie"));
        std::string movie = dir_.file("movie/movie.avi");
        fs::copy_file(generated, movie);
        return movie;
    }
    void TearDown() override {
        ClosePlayer(3000);
        program_.window.reset();
        SetWindowPort(nullptr);
        program_.port.reset();
        ResetHooks();
        ResetUiState();
        SetProgramFolder("");
    }
    // The main window with its frame lies inside the screen's usable area, as Qt and as the
    // X server have it.
    ::testing::AssertionResult InsideTheScreen() {
        MainWindow& window = *program_.window;
        const QRect available = window.screen()->availableGeometry();
        const QRect x = XGeometry(window.winId());
        if (available.contains(window.frameGeometry()) && available.contains(x))
            return ::testing::AssertionSuccess();
        auto text = [](const QRect& r) {
            return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
                   std::to_string(r.x()) + "+" + std::to_string(r.y());
        };
        return ::testing::AssertionFailure()
               << "frame " << text(window.frameGeometry()) << ", X window " << text(x)
               << ", screen " << text(available);
    }
    TempDir dir_;
    StartedProgram program_;
    std::vector<std::string> messages_;
};

TEST_F(DesktopSession, TheWindowFitsTheScreenShowsThePictureAndAClickAtHalfWidthSeeksToHalf) {
    if (Session() == "weston-no-x")
        GTEST_SKIP() << "needs an X server";
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    DesktopApp();
    EXPECT_EQ(QGuiApplication::platformName().toStdString(), "xcb");
    if (Session() == "weston") {
        EXPECT_NE(g_choice.consoleNote.find("XWayland"), std::string::npos) << g_choice.consoleNote;
        EXPECT_NE(g_choice.consoleNote.find("QT_QPA_PLATFORM=wayland is not followed"),
                  std::string::npos)
            << g_choice.consoleNote;
    }
    Start("QuorvanPlayer");
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    EXPECT_EQ(window.screen()->geometry().size(), QSize(1024, 768));
    ASSERT_TRUE(
        Wait([&] { return window.isVisible() && !XGeometry(window.winId()).isEmpty(); }, 10000));
    EXPECT_TRUE(Wait([&] { return bool(InsideTheScreen()); }, 5000)) << InsideTheScreen();

    window.DroppedFile(Movie(40));
    QSlider* time = window.TimeSlider();
    ASSERT_TRUE(Wait([&] { return time->maximum() == 40 && time->value() >= 1; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("-wid "), std::string::npos);
    QWidget* video = window.Video();
    EXPECT_GT(PictureShare(video), 0.3) << "the movie's picture is not on the screen\n"
                                        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(Wait([&] { return bool(InsideTheScreen()); }, 5000)) << InsideTheScreen();

    // A click at the middle of the video's bottom edge goes to the middle of the movie.
    QTest::mouseClick(video, Qt::LeftButton, {}, QPoint(video->width() / 2, video->height() - 10));
    ASSERT_TRUE(
        Wait([] { return Mp1.ConsoleTextSnapshot().find("\r\n> seek 20 2") != std::string::npos; },
             5000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(Wait([] { return Mp1.timePosition >= 19 && Mp1.timePosition <= 23; }, 10000))
        << "the player went to " << Mp1.timePosition;
    EXPECT_GT(PictureShare(video), 0.3) << "the picture after the seek";
    // (mplayer's probes before playback may meet X errors it gets over.)
    std::string console = Mp1.ConsoleTextSnapshot();
    console = console.substr(console.find("Starting playback"));
    EXPECT_EQ(console.find("X11 error"), std::string::npos) << console;
    EXPECT_EQ(console.find("crashed"), std::string::npos) << console;
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DesktopSession, WithoutAnyXServerThePlayerOpensItsOwnWindowAndTheTitleSaysWhy) {
    if (Session() != "weston-no-x")
        GTEST_SKIP() << "only on a Wayland desktop without XWayland";
    ASSERT_EQ(std::getenv("DISPLAY"), nullptr);
    DesktopApp();
    EXPECT_TRUE(g_choice.platform.empty());
    EXPECT_NE(g_choice.consoleNote.find("without an X server"), std::string::npos);
    EXPECT_EQ(QGuiApplication::platformName().toStdString(), "wayland");
    Start("QuorvanPlayer \"" + Movie(5) + "\"");
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    EXPECT_EQ(Mp1.videoWindow.load(), 0u);
    ASSERT_TRUE(Wait(
        [] { return Mp1.ConsoleTextSnapshot().find("< Quorvan") != std::string::npos; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().find("-wid"), std::string::npos)
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(Wait([&] { return window.windowTitle().endsWith(kOwnPlayerWindowNote); }, 5000))
        << window.windowTitle().toStdString();
}
