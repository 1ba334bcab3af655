// The video window against the fake player: seek clicks near the bottom edge, the drawn seek
// bar, the wheel, the double click, placement of the picture, compact mode and the subtitle
// size dialog.
#include "uifixture.h"

#include "platform/statefolder.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "ui/mainwindow.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/videoholder.h"
#include "ui/videorules.h"
#include "ui/videowindow.h"

#include <QImage>
#include <QTest>

namespace {

class VideoWindowTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        Mp1.pseudoSlider = 0;
        Mp1.displayWidth = 0;
        Mp1.displayHeight = 0;
        Mp1.stretchVideo = 0;
        Mp1.osdLevel = 1;
    }
    void TearDown() override {
        Mp1.movieLength = 0;
        Mp1.pseudoSlider = 0;
        Mp1.displayWidth = 0;
        Mp1.displayHeight = 0;
        UiTest::TearDown();
    }
    QWidget* V() { return W().Video(); }
    // An x where the click is at 50 % of the width.
    int Half() { return (V()->width() + 1) / 2; }
    int Bottom() { return V()->height() - 5; }
    // The lines sent up to a marker command, which shows that nothing else is on its way.
    std::vector<std::string> LinesUpToMarker() {
        SendCommand("marker");
        std::vector<std::string> lines;
        WaitUntil(
            [&] {
                ProcessEvents();
                for (const std::string& line : NewLines())
                    lines.push_back(line);
                return !lines.empty() && lines.back() == "marker";
            },
            3000);
        if (!lines.empty() && lines.back() == "marker")
            lines.pop_back();
        return lines;
    }
    void Playing(float length) {
        Start();
        PlayMovie();
        W().TimeSlider()->setRange(0, 300);
        W().TimeSlider()->setValue(0);
        Mp1.movieLength = length;
        ASSERT_GT(V()->width(), 100);
    }
};

TEST_F(VideoWindowTest, AClickNearTheBottomOfALongMovieSeeksToItsSecondAndMovesTheSlider) {
    Playing(100);
    QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
    EXPECT_EQ(LinesUpToMarker(), (std::vector<std::string>{"osd 0", "seek 50 2", "osd 1"}));
    EXPECT_EQ(W().TimeSlider()->value(), 50);
    EXPECT_FALSE(isPaused);
}

TEST_F(VideoWindowTest, ShortOrUnknownLengthsSeekByPercent) {
    Playing(0);
    for (float length : {0.0f, 10.0f}) {
        SCOPED_TRACE(length);
        Mp1.movieLength = length;
        QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
        QTest::mouseRelease(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
        EXPECT_EQ(LinesUpToMarker(), (std::vector<std::string>{"osd 0", "seek 50 1", "osd 1"}));
        EXPECT_EQ(W().TimeSlider()->value(), 0);
    }
}

TEST_F(VideoWindowTest, AReleaseAtThePressPositionDoesNotSeekAgainElsewhereItDoes) {
    Playing(100);
    QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
    QTest::mouseRelease(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
    EXPECT_EQ(LinesUpToMarker(), (std::vector<std::string>{"osd 0", "seek 50 2", "osd 1"}));
    QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
    QTest::mouseRelease(V(), Qt::LeftButton, {}, QPoint(0, Bottom()));
    EXPECT_EQ(LinesUpToMarker(), (std::vector<std::string>{"osd 0", "seek 50 2", "osd 1", "osd 0",
                                                           "seek 0 2", "osd 1"}));
    EXPECT_EQ(W().TimeSlider()->value(), 0);
}

TEST_F(VideoWindowTest, AClickExactlyTwentyFivePixelsAboveTheBottomIsNoSeek) {
    Playing(100);
    const int y = V()->height() - 25;
    QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), y));
    QTest::mouseRelease(V(), Qt::LeftButton, {}, QPoint(Half(), y));
    EXPECT_TRUE(LinesUpToMarker().empty());
}

// A mouse move over the (not shown) video window.
void Move(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// True when every pixel of the grabbed window is the key colour.
bool OnlyKeyColour(QWidget* widget) {
    QImage image = widget->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != kKeyColour)
                return false;
    return !image.isNull();
}

TEST_F(VideoWindowTest, WithoutThePseudoSliderOnlyTheKeyColourIsEverPainted) {
    Playing(100);
    for (int y : {Bottom(), V()->height() - 12, V()->height() - 40}) {
        Move(V(), QPoint(Half(), y));
        QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), y));
        QTest::mouseRelease(V(), Qt::LeftButton, {}, QPoint(Half() + 7, y));
        EXPECT_TRUE(OnlyKeyColour(V())) << y;
    }
    // The same moves with the pseudo slider draw the white bar, and leaving the zone clears it.
    Mp1.pseudoSlider = 1;
    Move(V(), QPoint(Half(), V()->height() - 12));
    EXPECT_TRUE(static_cast<VideoWindow*>(V())->PseudoSliderDrawn());
    EXPECT_FALSE(OnlyKeyColour(V()));
    Move(V(), QPoint(Half(), V()->height() / 2));
    EXPECT_FALSE(static_cast<VideoWindow*>(V())->PseudoSliderDrawn());
    EXPECT_TRUE(OnlyKeyColour(V()));
}

TEST_F(VideoWindowTest, TheWheelSeeksTenSecondsAndTheDoubleClickTogglesFullScreen) {
    Playing(100);
    QWheelEvent up(QPointF(10, 10), V()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(V(), &up);
    QWheelEvent down(QPointF(10, 10), V()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(V(), &down);
    QTest::mouseDClick(V(), Qt::LeftButton, {}, QPoint(Half(), 20));
    EXPECT_EQ(LinesUpToMarker(),
              (std::vector<std::string>{"pausing_keep seek +10", "pausing_keep seek -10",
                                        "pausing_keep vo_fullscreen"}));
    EXPECT_EQ(coursorvisable, 0);
    Move(V(), QPoint(Half(), 30));
    EXPECT_EQ(coursorvisable, 1);
}

TEST_F(VideoWindowTest, ClicksAndWheelTurnsWithNoPlayerDoNothingHarmful) {
    Start();
    Mp1.movieLength = 100;
    QTest::mousePress(V(), Qt::LeftButton, {}, QPoint(Half(), Bottom()));
    QTest::mouseRelease(V(), Qt::LeftButton, {}, QPoint(3, Bottom()));
    QTest::mouseDClick(V(), Qt::LeftButton, {}, QPoint(Half(), 20));
    QWheelEvent up(QPointF(10, 10), V()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(V(), &up);
    EXPECT_EQ(Launches(), 0);
    EXPECT_TRUE(messages_.empty());
    ShowCursorAgain();
}

TEST_F(VideoWindowTest, ThePictureKeepsItsAspectCentredUnlessStretched) {
    Start();
    Mp1.displayWidth = 720;
    Mp1.displayHeight = 576;
    W().resize(700, 600);
    ProcessEvents();
    QWidget* area = W().VideoParent();
    const int a = area->height() - 60;
    EXPECT_EQ(V()->height(), a);
    EXPECT_NEAR(static_cast<double>(V()->width()) / V()->height(), 720.0 / 576, 0.01);
    EXPECT_EQ(V()->x(), (area->width() - V()->width()) / 2);
    EXPECT_EQ(myrect1, (VideoRect{V()->x(), V()->y(), V()->width(), V()->height()}));
    Mp1.stretchVideo = 1;
    W().resize(720, 600);
    ProcessEvents();
    EXPECT_EQ(V()->geometry(), QRect(0, 0, area->width(), area->height() - 60));
}

TEST_F(VideoWindowTest, CompactModeFloatsTheVideoWindowAndComesBack) {
    Start();
    W().show();
    const WId id = V()->winId();
    W().Command(1053);
    ProcessEvents();
    EXPECT_EQ(stan_oncompact, 0);
    EXPECT_FALSE(W().isVisible());
    // The video window floats inside a window of its own, at 20, 20 and 60 x 60.
    EXPECT_EQ(V()->window(), W().Holder(VideoHolder::Kind::Compact));
    EXPECT_TRUE(V()->window()->isVisible());
    EXPECT_EQ(V()->window()->geometry(), QRect(20, 20, 60, 60));
    EXPECT_EQ(V()->geometry(), QRect(0, 0, 60, 60));
    EXPECT_EQ(V()->winId(), id) << "the player keeps drawing into the same window";
    W().Command(1053);
    ProcessEvents();
    EXPECT_EQ(stan_oncompact, 1);
    EXPECT_TRUE(W().isVisible());
    EXPECT_FALSE(W().Holder(VideoHolder::Kind::Compact)->isVisible());
    EXPECT_EQ(V()->parentWidget(), W().VideoParent());
    EXPECT_EQ(W().size(), QSize(400, 200));
    EXPECT_EQ(V()->winId(), id);
}

TEST_F(VideoWindowTest, TheSubtitleSizeChangesOnlyTheScaleAndIsWrittenAtOnce) {
    Start();
    PlayMovie();
    const int launches = Launches();
    fontsize = 160;
    Hooks().chooseFontSize = [](float&) { return false; };
    W().Command(1004);
    EXPECT_EQ(fontsize, 160);
    EXPECT_EQ(ReadFile(SettingsFilePath()).find("fontsize"), std::string::npos);
    Hooks().chooseFontSize = [](float& size) {
        EXPECT_EQ(size, 160);
        size = 120;
        return true;
    };
    W().Command(1004);
    EXPECT_EQ(fontsize, 120);
    EXPECT_NE(ReadFile(SettingsFilePath()).find("fontsize=120"), std::string::npos);
    EXPECT_TRUE(WaitLaunchWith("2.24"));
    EXPECT_NE(LastLaunchCommandLine().find(" -subfont-text-scale 2.24 "), std::string::npos);
    EXPECT_EQ(Launches(), launches + 1);
    fontsize = 160;
}

} // namespace
