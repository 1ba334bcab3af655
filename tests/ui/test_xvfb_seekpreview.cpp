// The time slider's preview in a real X server (Xvfb) under openbox with the real player, on a
// movie of ten solid-coloured 10-second segments (keyframes only at their starts): the pointer,
// moved by xdotool, rests at 55 % of the slider while the video shows segment 0, and within a
// second a picture of segment 5 with its time shows above the pointer on the screen; at 15 %
// segment 1; leaving the slider hides it; the frame server's player ends after its idle limit
// and with the exit command. The same from a stored RAR set.
#include "platform/paths.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"
#include "tests/ui/xsession.h"
#include "ui/mainwindow.h"
#include "ui/seekpreview.h"
#include "ui/startup.h"
#include "ui/timeslider.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "xvfbapp.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QStyleOptionSlider>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
using Clock = std::chrono::steady_clock;

// The segment a colour is, -1 when it is none.
int SegmentOf(QRgb pixel) {
    double distance = 0;
    int k = NearestSegment(pixel & 0xffffff, &distance);
    return distance < 60 ? k : -1;
}

// The segment the screen shows at the centre of a widget.
int SegmentOnScreen(QWidget* widget) {
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    QImage grab =
        QGuiApplication::primaryScreen()->grabWindow(0, centre.x(), centre.y(), 1, 1).toImage();
    return grab.isNull() ? -1 : SegmentOf(grab.pixel(0, 0));
}

// The segment the screen shows in a widget at a point outside `covered` (global).
int SegmentOnScreenBeside(QWidget* widget, const QRect& covered) {
    const QRect r = widget->rect().adjusted(10, 10, -10, -10);
    for (QPoint p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight(), r.center()}) {
        const QPoint global = widget->mapToGlobal(p);
        if (covered.contains(global))
            continue;
        QImage grab =
            QGuiApplication::primaryScreen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage();
        return grab.isNull() ? -1 : SegmentOf(grab.pixel(0, 0));
    }
    return -1;
}

const auto* const kOpenbox = ::testing::AddGlobalTestEnvironment(new OpenboxEnvironment);
} // namespace

class SeekPreviewUnderXvfb : public ::testing::Test {
  protected:
    // Starts the program on `movie` (a file of dir_) in a program folder of its own.
    void Start(const std::string& movie) {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
        ASSERT_TRUE(OpenboxEnvironment::Running()) << "openbox did not start";
        App();
        fs::create_directory_symlink(StageDir() + "/binary", dir_.file("binary"));
        fs::create_directory_symlink(StageDir() + "/locale", dir_.file("locale"));
        WriteFile(dir_.file("QuorvanPlayer.ini"), "[quorvan]\nRememberMoviesPosytion=0\n");
        SetProgramFolder(dir_.path());
        Hooks().messageBox = [this](const std::string& text, const std::string& caption, int) {
            messages_.push_back(caption + "|" + text);
            return 1;
        };
        Hooks().endProcess = [](int) {};
        program_ = WinMainStartup("QuorvanPlayer \"" + movie + "\"");
        ASSERT_TRUE(program_.window);
        MainWindow& window = *program_.window;
        ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->maximum() >= 99; }, 20000))
            << Mp1.ConsoleTextSnapshot();
        // The video stands in segment 0 while the previews are asked for (a movie without sound
        // has no status lines: the window asks for the position).
        ASSERT_TRUE(WaitProcessing([&] { return window.TimeSlider()->value() >= 1; }, 20000))
            << Mp1.ConsoleTextSnapshot();
        window.Command(2018);
        ASSERT_TRUE(isPaused.load());
        pausedAt_ = window.TimeSlider()->value();
        ASSERT_LT(pausedAt_, 10) << "paused in segment 0";
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
    // Moves the X pointer to `fraction` of the time slider's groove.
    void PointAt(double fraction) {
        QSlider* slider = program_.window->TimeSlider();
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                       QStyle::SC_SliderGroove, slider);
        // The value under the pointer is the slider's own rule: find the x that gives it.
        const int wanted = static_cast<int>(slider->maximum() * fraction);
        int x = groove.x();
        auto* time = static_cast<TimeSlider*>(slider);
        while (x < groove.right() && time->ValueAt(x) < wanted)
            ++x;
        pointer_ = slider->mapToGlobal(QPoint(x, groove.center().y()));
        MovePointer(pointer_);
    }
    void MovePointer(QPoint global) {
        RunTool({"xdotool", "mousemove", std::to_string(global.x()), std::to_string(global.y())});
    }
    // Waits until the preview shows `segment` on the screen; the milliseconds it took, -1.
    int WaitForSegment(int segment, int timeoutMs = 5000) {
        SeekPreview* preview = program_.window->Preview();
        const auto start = Clock::now();
        auto* picture = preview->Popup()->findChild<QLabel*>("seekpreview.picture");
        bool shown = WaitProcessing(
            [&] { return preview->Popup()->isVisible() && SegmentOnScreen(picture) == segment; },
            timeoutMs);
        if (!shown)
            return -1;
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }
    // Checks the preview of 55 % and 15 %, leaving, and the idle end of the frame server.
    void HoverAndLeave() {
        MainWindow& window = *program_.window;
        SeekPreview* preview = window.Preview();
        EXPECT_EQ(preview->IdleLimit(), 30000) << "30 s after the last hover by default";
        ASSERT_EQ(SegmentOnScreen(window.Video()), 0) << "the video shows segment 0";

        PointAt(0.55);
        const int took = WaitForSegment(5);
        ASSERT_GE(took, 0) << "no picture of segment 5\n" << Mp1.ConsoleTextSnapshot();
        // The first hover also starts the frame server's player (0.85 s on an idle machine).
        EXPECT_LT(took, 2000) << "the first picture, player start included";
        QWidget* popup = preview->Popup();
        auto* time = popup->findChild<QLabel*>("seekpreview.time");
        ASSERT_NE(time, nullptr);
        EXPECT_EQ(time->text().toStdString(), "0:00:55");
        const QRect slider(window.TimeSlider()->mapToGlobal(QPoint(0, 0)),
                           window.TimeSlider()->size());
        EXPECT_LE(popup->frameGeometry().bottom(), slider.top()) << "above the slider";
        EXPECT_NEAR(popup->frameGeometry().center().x(), pointer_.x(), 3) << "above the pointer";
        EXPECT_EQ(SegmentOnScreenBeside(window.Video(), popup->frameGeometry()), 0)
            << "the video still shows segment 0";

        PointAt(0.15);
        const int again = WaitForSegment(1);
        ASSERT_GE(again, 0) << "no picture of segment 1";
        EXPECT_LT(again, 1000) << "the rested picture within a second";
        EXPECT_EQ(time->text().toStdString(), "0:00:15");

        const pid_t wrapper = preview->ServerPid();
        ASSERT_GT(wrapper, 0);
        const std::vector<pid_t> children = ProcessChildren(wrapper);
        ASSERT_EQ(children.size(), 1u) << "the wrapper and its mplayer";
        // Short from here on: while the pictures came (slowly on a loaded machine) the pointer
        // rested, and a short limit would have ended the player under it.
        preview->SetIdleLimit(2000);
        MovePointer(window.Video()->mapToGlobal(window.Video()->rect().center()));
        EXPECT_TRUE(WaitProcessing([&] { return !popup->isVisible(); }, 3000))
            << "leaving the slider hides the preview";
        EXPECT_TRUE(WaitProcessing([&] { return preview->ServerPid() == 0; }, 6000))
            << "ended after the idle limit";
        EXPECT_TRUE(
            WaitProcessing([&] { return ProcessGone(wrapper) && ProcessGone(children[0]); }, 3000));
    }
    TempDir dir_;
    StartedProgram program_;
    std::vector<std::string> messages_;
    QPoint pointer_;
    int pausedAt_ = 0;
};

TEST_F(SeekPreviewUnderXvfb, ThePictureOfThePointedTimeShowsAboveTheSliderAndGoesWithTheExit) {
    const std::string made = ColourSegmentsMovie();
    ASSERT_FALSE(made.empty());
    // Alone in its folder, so that no other movie follows it as its next part.
    fs::copy_file(made, dir_.file("colours.mkv"));
    Start(dir_.file("colours.mkv"));
    if (HasFatalFailure())
        return;
    // The Movie menu's check item turns the previews off and back on at their width.
    MainWindow& window = *program_.window;
    EXPECT_TRUE(window.Menus().IsChecked(kCommandSeekPreviews));
    EXPECT_EQ(window.Preview()->Width(), 160);
    window.Command(kCommandSeekPreviews);
    EXPECT_FALSE(window.Menus().IsChecked(kCommandSeekPreviews));
    EXPECT_EQ(window.Preview()->Width(), 0);
    window.Command(kCommandSeekPreviews);
    EXPECT_TRUE(window.Menus().IsChecked(kCommandSeekPreviews));
    EXPECT_EQ(window.Preview()->Width(), 160);
    HoverAndLeave();
    if (HasFatalFailure())
        return;

    // Hovered again at a time no sweep passed (nothing of it is cached), the player starts
    // again; the exit command ends it.
    program_.window->Preview()->SetIdleLimit(30000);
    PointAt(0.85);
    ASSERT_GE(WaitForSegment(8), 0);
    pid_t wrapper = 0;
    ASSERT_TRUE(WaitProcessing(
        [&] { return (wrapper = program_.window->Preview()->ServerPid()) > 0; }, 5000));
    program_.window->Command(2);
    EXPECT_TRUE(WaitProcessing([&] { return ProcessGone(wrapper); }, 5000)) << "gone with the exit";
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SeekPreviewUnderXvfb, AMovieStoredInARarSetIsPreviewedToo) {
    const std::string made = ColourSegmentsMovie();
    ASSERT_FALSE(made.empty());
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v8k", "-vn",
                          dir_.file("colours.rar"), made},
                         &out),
              0)
        << out;
    ASSERT_TRUE(fs::exists(dir_.file("colours.r01"))) << "a set of several volumes";
    Start(dir_.file("colours.rar"));
    if (HasFatalFailure())
        return;
    HoverAndLeave();
    EXPECT_TRUE(messages_.empty());
}
