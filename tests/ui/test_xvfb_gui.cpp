// The program in a real X server (Xvfb, 1280 x 800) under a real window manager (openbox) with
// the real player: the picture appears in the video area, the time slider follows the movie
// and seeks where it is clicked, the volume follows the keys, Space pauses, a large picture
// keeps the window on the screen; full screen covers the screen and comes back, On Top and
// compact mode keep the picture, Escape leaves full screen first. What the window manager did
// is read back from the X server (xwininfo, xprop) and the picture from screenshots.
#include "platform/paths.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "tests/support/testenv.h"
#include "tests/ui/xsession.h"
#include "ui/equaliser.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/videoholder.h"
#include "ui/videowindow.h"
#include "xvfbapp.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolTip>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

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

// The share of the X window's pixels that show the picture, waited for (a moved window gets
// its next frame a moment later).
double PictureShare(WId window, int timeoutMs = 10000) {
    double share = 0;
    WaitProcessing(
        [&] {
            share =
                ShareNotKeyColour(QGuiApplication::primaryScreen()->grabWindow(window).toImage());
            return share > 0.2;
        },
        timeoutMs);
    return share;
}

// The window as the X server has it: absolute position and size (empty when it is gone).
QRect XGeometry(WId window) {
    std::string info = RunTool({"xwininfo", "-id", std::to_string(window)});
    std::smatch m;
    if (!std::regex_search(info, m, std::regex(R"(-geometry (\d+)x(\d+)[+-]\d+[+-]\d+)")))
        return {};
    std::smatch x, y;
    std::regex_search(info, x, std::regex(R"(Absolute upper-left X:\s+(-?\d+))"));
    std::regex_search(info, y, std::regex(R"(Absolute upper-left Y:\s+(-?\d+))"));
    return QRect(std::stoi(x[1]), std::stoi(y[1]), std::stoi(m[1]), std::stoi(m[2]));
}

// The X parent of a window, or 0.
unsigned long XParent(WId window) {
    std::string tree = RunTool({"xwininfo", "-tree", "-id", std::to_string(window)});
    std::smatch m;
    if (!std::regex_search(tree, m, std::regex(R"(Parent window id: (0x[0-9a-f]+))")))
        return 0;
    return std::stoul(m[1], nullptr, 16);
}

// A press at `from` (screen coordinates), a drag by `by` and a release, as a hand on the
// mouse does it (XTest through xdotool). The program must see the press before the pointer
// moves, and the window manager must have taken the drag over before the release: neither
// can be observed from here, so each step is given a moment of the program's event loop.
void DragWithTheMouse(QPoint from, QPoint by) {
    auto tool = [](const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        RunTool(argv);
    };
    auto settle = [] { QTest::qWait(250); };
    tool({"mousemove", std::to_string(from.x()), std::to_string(from.y())});
    settle();
    tool({"mousedown", "1"});
    settle();
    for (int step = 1; step <= 5; ++step) {
        QPoint at = from + by * step / 5;
        tool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
        settle();
    }
    tool({"mouseup", "1"});
    settle();
}

std::string NetWmState(WId window) {
    return RunTool({"xprop", "-id", std::to_string(window), "_NET_WM_STATE"});
}

const auto* const kOpenbox = ::testing::AddGlobalTestEnvironment(new OpenboxEnvironment);
} // namespace

// Starts the program on a generated movie in a program folder of its own whose binary/ and
// locale/ are the staged ones. Without the quiet option the player reports its pauses and
// positions itself.
class ProgramUnderXvfb : public ::testing::Test {
  protected:
    void Start(int movieSeconds) {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
        ASSERT_TRUE(OpenboxEnvironment::Running()) << "openbox did not start";
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
        // Screenshots go where the player works: the test's own folder.
        SetPlayerFolder(dir_.path());
        Hooks().messageBox = [this](const std::string& text, const std::string& caption, int) {
            messages_.push_back(caption + "|" + text);
            return 1;
        };
        Hooks().endProcess = [this](int code) { exits_.push_back(code); };
        program_ = WinMainStartup("QuorvanPlayer \"" + movie + "\"");
        ASSERT_TRUE(program_.window);
    }
    void TearDown() override {
        ClosePlayer(3000);
        program_.window.reset();
        SetWindowPort(nullptr);
        program_.port.reset();
        ResetHooks();
        ResetUiState();
        SetProgramFolder("");
        SetPlayerFolder("");
    }
    // The point at `fraction` of the time slider's groove.
    QPoint GroovePoint(double fraction) {
        QSlider* slider = program_.window->TimeSlider();
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                       QStyle::SC_SliderGroove, slider);
        return QPoint(groove.x() + static_cast<int>(groove.width() * fraction),
                      groove.center().y());
    }
    TempDir dir_;
    StartedProgram program_;
    std::vector<std::string> messages_;
    std::vector<int> exits_;
};

TEST_F(ProgramUnderXvfb, ThePictureAppearsTheSlidersFollowTheUserAndALargePictureFits) {
    Start(60);
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    QSlider* time = window.TimeSlider();
    ASSERT_TRUE(WaitProcessing([&] { return time->maximum() == 60; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    ASSERT_TRUE(WaitProcessing([&] { return time->value() >= 2; }, 20000))
        << "the time slider follows the movie\n"
        << Mp1.ConsoleTextSnapshot();
    EXPECT_GT(PictureShare(window.Video()->winId()), 0.2)
        << "the video area shows only the key colour";
    auto* clock = window.findChild<QLabel*>("time");
    ASSERT_NE(clock, nullptr);
    EXPECT_NE(clock->text().indexOf("/ 0:01:00"), -1) << clock->text().toStdString();
    EXPECT_LE(clock->y(), window.VideoParent()->height());
    EXPECT_GE(clock->y(), window.VideoParent()->height() - 60) << "the clock is in the strip";

    // The time under the pointer, and a click on the groove that seeks there.
    const QPoint at = GroovePoint(0.75);
    QHelpEvent help(QEvent::ToolTip, at, time->mapToGlobal(at));
    QApplication::sendEvent(time, &help);
    std::smatch m;
    std::string tip = QToolTip::text().toStdString();
    ASSERT_TRUE(std::regex_match(tip, m, std::regex(R"(0:00:(\d\d))"))) << tip;
    EXPECT_NEAR(std::stoi(m[1]), 45, 1);
    QTest::mouseClick(time, Qt::LeftButton, {}, at);
    EXPECT_NEAR(time->value(), 45, 1) << "the thumb goes where the groove was clicked";
    ASSERT_TRUE(WaitProcessing(
        [] {
            std::string console = Mp1.ConsoleTextSnapshot();
            return std::regex_search(console, std::regex(R"(> seek \d+ 2)"));
        },
        5000));
    EXPECT_TRUE(
        WaitProcessing([] { return Mp1.timePosition >= 44 && Mp1.timePosition <= 47; }, 10000))
        << "the player went to " << Mp1.timePosition << "\n"
        << Mp1.ConsoleTextSnapshot();

    // The volume keys move the volume slider and the equaliser's volume to the player's own
    // volume.
    window.Command(114);
    ASSERT_NE(EqualiserDialog(), nullptr);
    const int before = window.VolumeSlider()->value();
    QTest::keyClick(&window, Qt::Key_Minus);
    EXPECT_TRUE(WaitProcessing([&] { return window.VolumeSlider()->value() < before; }, 5000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("< ANS_volume="), std::string::npos);
    EXPECT_EQ(EqualiserDialog()->Trackbar(6)->value(), window.VolumeSlider()->value());
    EXPECT_EQ(Mp1.volume, window.VolumeSlider()->value());
    window.Command(114);

    isPaused = false;
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_TRUE(WaitProcessing([] { return isPaused.load(); }, 10000)) << Mp1.ConsoleTextSnapshot();
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("  =====  PAUSE  ====="), std::string::npos);

    // A picture larger than the screen: the window shrinks to fit and stays on the screen.
    std::string big = GeneratedMovie(2, 1920, 1080, 5);
    ASSERT_FALSE(big.empty());
    // Each in a folder of its own, so that no other movie follows it as its next part.
    fs::create_directory(dir_.file("big"));
    fs::copy_file(big, dir_.file("big/big.avi"));
    window.DroppedFile(dir_.file("big/big.avi"));
    ASSERT_TRUE(WaitProcessing([] { return Mp1.displayWidth == 1920; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_TRUE(WaitProcessing(
        [&] {
            return window.width() > 400 && screen.contains(XGeometry(window.winId())) &&
                   screen.contains(window.frameGeometry());
        },
        5000))
        << "window " << window.frameGeometry().width() << "x" << window.frameGeometry().height()
        << "+" << window.frameGeometry().x() << "+" << window.frameGeometry().y();

    // The 2 s movie ends: its last frame gives way to the key colour.
    ASSERT_TRUE(WaitProcessing([] { return !PlayerRunning(); }, 20000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(WaitProcessing(
        [&] {
            QImage shown =
                QGuiApplication::primaryScreen()->grabWindow(window.Video()->winId()).toImage();
            return ShareNotKeyColour(shown) < 0.01;
        },
        5000))
        << "the stopped player's picture stays on the screen";

    // A file the player cannot play: the title and the error button say so, the picture area
    // stays in the key colour.
    fs::create_directory(dir_.file("broken"));
    WriteFile(dir_.file("broken/broken.avi"), std::string(4096, 'x'));
    window.DroppedFile(dir_.file("broken/broken.avi"));
    EXPECT_TRUE(WaitProcessing([&] { return window.Control(2302)->isVisible(); }, 20000))
        << Mp1.ConsoleTextSnapshot();
    // The player's reason, and no clock left over from the movie before.
    EXPECT_NE(window.windowTitle().indexOf("Exiting... (Fatal error) LAVF_header: "
                                           "av_open_input_stream() failed"),
              -1)
        << window.windowTitle().toStdString();
    EXPECT_TRUE(WaitProcessing([&] { return clock->text() == "0:00:00 / 0:00:00"; }, 5000))
        << clock->text().toStdString();
    EXPECT_LT(ShareNotKeyColour(
                  QGuiApplication::primaryScreen()->grabWindow(window.Video()->winId()).toImage()),
              0.01);
    EXPECT_TRUE(messages_.empty());
}

// The next file of the folder follows the movie that ends: the title names the movie that now
// plays, and its picture is in the window.
TEST_F(ProgramUnderXvfb, TheTitleNamesTheNextMovieOfTheFolder) {
    std::string next = GeneratedMovie(20);
    ASSERT_FALSE(next.empty());
    fs::copy_file(next, dir_.file("next.avi"));
    Start(4);
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    EXPECT_TRUE(WaitProcessing([&] { return window.windowTitle().endsWith("| movie.avi"); }, 3000))
        << window.windowTitle().toStdString();
    ASSERT_TRUE(WaitProcessing(
        [] { return Mp1.MovieFileSnapshot().find("next.avi") != std::string::npos; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(WaitProcessing([&] { return window.windowTitle().endsWith("| next.avi"); }, 5000))
        << window.windowTitle().toStdString();
    ASSERT_TRUE(WaitProcessing(
        [&] { return window.TimeSlider()->maximum() == 20 && window.TimeSlider()->value() >= 2; },
        20000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(window.windowTitle().indexOf("movie.avi"), -1) << window.windowTitle().toStdString();
    EXPECT_GT(PictureShare(window.Video()->winId()), 0.2);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ProgramUnderXvfb, FullScreenOnTopAndCompactModeKeepThePicture) {
    Start(20);
    if (HasFatalFailure())
        return;
    MainWindow& window = *program_.window;
    QWidget* video = window.Video();
    ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->value() >= 1; }, 20000))
        << Mp1.ConsoleTextSnapshot();
    const WId id = video->winId();
    const QRect screen = window.screen()->geometry();

    // S: the player writes a screenshot, and the picture tells where it went.
    QTest::keyClick(&window, Qt::Key_S);
    const std::string shot = dir_.file("shot0001.png");
    EXPECT_TRUE(WaitProcessing(
        [&] {
            return Mp1.ConsoleTextSnapshot().find(
                       "> pausing_keep osd_show_text \"Screenshot saved: " + shot + "\" 4000") !=
                   std::string::npos;
        },
        10000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(fs::exists(shot));

    // F: the player answers and the picture covers the screen; the cursor hides after 2 s.
    QTest::keyClick(&window, Qt::Key_F);
    ASSERT_TRUE(WaitProcessing([&] { return XGeometry(id) == screen; }, 10000))
        << "video at " << XGeometry(id).width() << "x" << XGeometry(id).height() << "\n"
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(Mp1.fullScreen);
    EXPECT_NE(NetWmState(video->window()->winId()).find("_NET_WM_STATE_FULLSCREEN"),
              std::string::npos);
    EXPECT_GT(PictureShare(id), 0.2) << "the full-screen picture shows the movie";
    EXPECT_TRUE(WaitProcessing([] { return coursorvisable == 0; }, 5000));
    QTest::mouseMove(video, QPoint(30, 30));
    EXPECT_TRUE(WaitProcessing([] { return coursorvisable == 1; }, 2000));

    // F again: back inside the main window, at its place.
    QTest::keyClick(video->window(), Qt::Key_F);
    // The main window's client area, whose native window holds the video window.
    const WId home = window.VideoParent()->winId();
    ASSERT_TRUE(WaitProcessing([&] { return XParent(id) == home; }, 10000));
    EXPECT_EQ(video->parentWidget(), window.VideoParent());
    EXPECT_FALSE(Mp1.fullScreen);
    EXPECT_TRUE(window.VideoParent()->rect().contains(video->geometry()));
    EXPECT_GT(PictureShare(id), 0.2);

    // Escape in full screen leaves full screen; the program runs on.
    QTest::keyClick(&window, Qt::Key_F);
    ASSERT_TRUE(WaitProcessing([&] { return XGeometry(id) == screen; }, 10000));
    QTest::keyClick(video->window(), Qt::Key_Escape);
    EXPECT_TRUE(WaitProcessing([&] { return XParent(id) == home; }, 10000));
    EXPECT_TRUE(WaitProcessing([] { return !Mp1.fullScreen; }, 5000));
    EXPECT_TRUE(exits_.empty()) << "Escape in full screen ended the program";
    EXPECT_TRUE(PlayerRunning());

    // Shift+T twice: the window manager's above state comes and goes on the same window, and
    // a relaunch (an aspect change) still draws into it.
    const WId main = window.winId();
    QTest::keyClick(&window, Qt::Key_T, Qt::ShiftModifier);
    EXPECT_TRUE(WaitProcessing(
        [&] { return NetWmState(main).find("_NET_WM_STATE_ABOVE") != std::string::npos; }, 5000));
    QTest::keyClick(&window, Qt::Key_T, Qt::ShiftModifier);
    EXPECT_TRUE(WaitProcessing(
        [&] { return NetWmState(main).find("_NET_WM_STATE_ABOVE") == std::string::npos; }, 5000));
    EXPECT_EQ(window.winId(), main);
    EXPECT_EQ(XParent(id), home);
    window.Command(1044);
    ASSERT_TRUE(WaitProcessing(
        [] {
            std::string console = Mp1.ConsoleTextSnapshot();
            return console.find("-aspect 16:9") != std::string::npos &&
                   console.find("Starting playback") != std::string::npos;
        },
        20000))
        << Mp1.ConsoleTextSnapshot();
    EXPECT_GT(PictureShare(id), 0.2) << "the relaunched player draws into the window";
    std::string console = Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(console.find("X11 error"), std::string::npos) << console;
    EXPECT_EQ(console.find("crashed"), std::string::npos) << console;
    EXPECT_TRUE(PlayerRunning());

    // Compact mode floats the picture in a 60 x 60 window and brings it back.
    window.Command(1053);
    ASSERT_TRUE(WaitProcessing([&] { return XGeometry(id).size() == QSize(60, 60); }, 5000));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(video->winId(), id);
    EXPECT_GT(PictureShare(id), 0.2) << "the floating window shows the picture";

    // The mouse sizes it by its frame (the bottom right corner) and moves it from inside,
    // through the window manager; the picture follows.
    const QRect small = XGeometry(id);
    auto grown = [&] {
        QRect now = XGeometry(id);
        return now.width() >= 150 && now.height() >= 130;
    };
    DragWithTheMouse(small.topLeft() + QPoint(58, 58), QPoint(100, 80));
    EXPECT_TRUE(WaitProcessing(grown, 5000))
        << "floating window " << XGeometry(id).width() << "x" << XGeometry(id).height();
    EXPECT_EQ(XGeometry(id).topLeft(), small.topLeft()) << "sizing by the corner keeps the place";
    EXPECT_GT(PictureShare(id), 0.2) << "the resized window shows the picture";
    const QRect sized = XGeometry(id);
    DragWithTheMouse(sized.topLeft() + QPoint(30, 30), QPoint(70, 50));
    EXPECT_TRUE(WaitProcessing(
        [&] { return XGeometry(id).topLeft() == sized.topLeft() + QPoint(70, 50); }, 5000))
        << "floating window at " << XGeometry(id).x() << "," << XGeometry(id).y();
    EXPECT_EQ(XGeometry(id).size(), sized.size());

    // On Top applies to the floating window, and goes with the picture back to the main one.
    const WId floating = window.Holder(VideoHolder::Kind::Compact)->winId();
    QTest::keyClick(video->window(), Qt::Key_T, Qt::ShiftModifier);
    EXPECT_TRUE(WaitProcessing(
        [&] { return NetWmState(floating).find("_NET_WM_STATE_ABOVE") != std::string::npos; },
        5000))
        << NetWmState(floating);
    window.Command(1053);
    ASSERT_TRUE(WaitProcessing([&] { return XParent(id) == home; }, 5000));
    EXPECT_TRUE(WaitProcessing(
        [&] { return NetWmState(main).find("_NET_WM_STATE_ABOVE") != std::string::npos; }, 5000))
        << NetWmState(main);
    QTest::keyClick(&window, Qt::Key_T, Qt::ShiftModifier);
    EXPECT_TRUE(WaitProcessing(
        [&] { return NetWmState(main).find("_NET_WM_STATE_ABOVE") == std::string::npos; }, 5000));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.size(), QSize(400, 200));
    EXPECT_GT(PictureShare(id), 0.2) << "the picture is back in the main window";
    // The control strip on the screen is what the window paints: nothing left over.
    QWidget* client = window.VideoParent();
    const QRect strip(0, client->height() - 60, client->width(), 60);
    double same = 0;
    WaitProcessing(
        [&] {
            QImage painted = client->grab(strip).toImage().convertToFormat(QImage::Format_RGB32);
            QPoint origin = client->mapToGlobal(strip.topLeft());
            QImage shown =
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, origin.x(), origin.y(), strip.width(), strip.height())
                    .toImage()
                    .convertToFormat(QImage::Format_RGB32);
            long equal = 0;
            for (int y = 0; y < strip.height(); ++y)
                for (int x = 0; x < strip.width(); ++x)
                    equal += painted.pixel(x, y) == shown.pixel(x, y);
            same = static_cast<double>(equal) / (strip.width() * strip.height());
            return same > 0.98;
        },
        10000); // a loaded X server may take a while to unmap the floating window
    EXPECT_GT(same, 0.98);
    EXPECT_TRUE(messages_.empty());
}
