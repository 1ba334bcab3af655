// The arithmetic of the video window and the equaliser: placement of the picture, the seek a
// click near the bottom edge makes, and the equaliser's commands.
#include "ui/displaychoice.h"
#include "ui/videorules.h"

#include <map>

#include <gtest/gtest.h>

namespace {

struct PlacementCase {
    const char* what;
    int width, height, displayWidth, displayHeight, stretch;
    VideoRect expected;
    bool keepsAspect;
};

const PlacementCase kPlacements[] = {
    {"PAL picture centred across", 800, 500, 720, 576, 0, {125, 0, 550, 440}, true},
    {"wide picture centred down", 800, 500, 1920, 800, 0, {0, 53, 800, 333}, true},
    {"display exactly the area's shape", 550, 500, 720, 576, 0, {0, 0, 550, 440}, true},
    {"display 16 wide fills the area", 800, 500, 16, 576, 0, {0, 0, 800, 440}, false},
    {"display 16 high fills the area", 800, 500, 720, 16, 0, {0, 0, 800, 440}, false},
    {"display not known yet", 800, 500, 0, 0, 0, {0, 0, 800, 440}, false},
    {"stretched video fills the area", 800, 500, 720, 576, 1, {0, 0, 800, 440}, false},
    {"no room above the control strip", 800, 60, 720, 576, 0, {0, 0, 800, 0}, false},
    {"zero-height window", 800, 0, 720, 576, 0, {0, 0, 800, 0}, false},
    {"zero-width window", 0, 500, 720, 576, 0, {0, 0, 0, 440}, false},
    {"huge display sizes do not overflow",
     800,
     500,
     2000000000,
     1000000000,
     0,
     {0, 20, 800, 400},
     true},
};

TEST(VideoPlacement, KeepsTheAspectOrFillsTheAreaAsTheTableSays) {
    for (const PlacementCase& c : kPlacements) {
        SCOPED_TRACE(c.what);
        VideoPlacement placement =
            PlaceVideo(c.width, c.height, c.displayWidth, c.displayHeight, c.stretch);
        EXPECT_EQ(placement.rect, c.expected)
            << placement.rect.x << "," << placement.rect.y << " " << placement.rect.width << "x"
            << placement.rect.height;
        EXPECT_EQ(placement.keepsAspect, c.keepsAspect);
    }
}

TEST(SeekClick, OnlyClicksBelowTwentyFivePixelsAboveTheBottomSeek) {
    EXPECT_FALSE(IsSeekClick(375, 400));
    EXPECT_TRUE(IsSeekClick(376, 400));
    EXPECT_TRUE(IsSeekClick(399, 400));
    EXPECT_FALSE(IsPseudoSliderZone(375, 400));
    EXPECT_TRUE(IsPseudoSliderZone(376, 400));
    EXPECT_TRUE(IsPseudoSliderZone(389, 400));
    EXPECT_FALSE(IsPseudoSliderZone(390, 400));
}

struct SeekCase {
    int x, cx;
    float length;
    const char* command;
    int slider;
};

const SeekCase kSeeks[] = {
    {400, 800, 100, "seek 50 2", 50},      // seconds of a long movie
    {400, 800, 0, "seek 50 1", -1},        // length not known: percent
    {400, 800, 10, "seek 50 1", -1},       // ten seconds is short
    {400, 800, 10.5f, "seek 5 2", 5},      // just longer: seconds, cut toward zero
    {799, 800, 5400, "seek 5346 2", 5346}, // 99 %
    {0, 800, 5400, "seek 0 2", 0},
    {200, 0, 100, "seek 0 2", 0}, // no width yet: no division by zero
};

TEST(SeekClick, SeeksBySecondsInLongMoviesAndByPercentOtherwise) {
    for (const SeekCase& c : kSeeks) {
        SCOPED_TRACE(c.command);
        SeekClick seek = SeekClickCommand(c.x, c.cx, c.length);
        EXPECT_EQ(seek.command, c.command);
        EXPECT_EQ(seek.sliderValue, c.slider);
    }
}

TEST(Equaliser, CommandsOfTheSlidersAndButtons) {
    EXPECT_EQ(EqualiserPropertyCommand("brightness", 30), "brightness 30 1");
    EXPECT_EQ(EqualiserPropertyCommand("sub_pos", 100), "sub_pos 100 1");
    EXPECT_EQ(EqualiserPropertyCommand("change_rectangle", -200), "change_rectangle -200 1");
    EXPECT_NEAR(EqualiserRatio(0), 4.0 / 3, 1e-6);
    EXPECT_NEAR(EqualiserRatio(50), 2.1666667, 1e-6);
    EXPECT_NEAR(EqualiserRatio(100), 3.0, 1e-6);
    EXPECT_EQ(EqualiserRatioCommand(50), "switch_ratio 2.166667");
    EXPECT_EQ(SharpenFilter(-200), "-vf-add unsharp=l4x4:-2.000000");
    EXPECT_EQ(SharpenFilter(150), "-vf-add unsharp=l4x4:1.500000");
    EXPECT_EQ(GammaFilter(-35), "-vf-add eq2=-0.350000");
}

} // namespace

// The platform the program asks Qt for, by session: xcb wherever an X server answers on a
// Wayland session (also against QT_QPA_PLATFORM=wayland), Qt's own choice elsewhere, and a
// platform named on purpose (the tests' offscreen, xcb) is kept.
TEST(DisplayChoice, WaylandSessionsRunOnXcbWhereverAnXServerAnswers) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> env;
        bool xAnswers;
        std::string platform;
        std::string noteHas;
    };
    const Case cases[] = {
        {"X11 session", {{"DISPLAY", ":0"}}, true, "", ""},
        {"GNOME on Wayland",
         {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}},
         true,
         "xcb",
         "XWayland"},
        {"wayland asked for",
         {{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "w"}, {"QT_QPA_PLATFORM", "wayland"}},
         true,
         "xcb",
         "QT_QPA_PLATFORM=wayland is not followed"},
        {"wayland-egl with a fallback",
         {{"DISPLAY", ":1"},
          {"XDG_SESSION_TYPE", "wayland"},
          {"QT_QPA_PLATFORM", "wayland-egl;xcb"}},
         true,
         "xcb",
         "wayland-egl;xcb"},
        {"offscreen kept",
         {{"WAYLAND_DISPLAY", "w"}, {"QT_QPA_PLATFORM", "offscreen"}},
         true,
         "",
         ""},
        {"no X server", {{"WAYLAND_DISPLAY", "w"}}, true, "", "without an X server"},
        {"DISPLAY that does not answer",
         {{"DISPLAY", ":9"}, {"WAYLAND_DISPLAY", "w"}},
         false,
         "",
         "without an X server"},
    };
    for (const Case& c : cases) {
        auto env = [&](const char* name) {
            auto found = c.env.find(name);
            return found != c.env.end() ? found->second : std::string();
        };
        DisplayChoice choice = ChooseDisplay(env, [&] { return c.xAnswers; });
        EXPECT_EQ(choice.platform, c.platform) << c.what;
        if (c.noteHas.empty())
            EXPECT_EQ(choice.consoleNote, "") << c.what;
        else
            EXPECT_NE(choice.consoleNote.find(c.noteHas), std::string::npos)
                << c.what << ": " << choice.consoleNote;
    }
    EXPECT_FALSE(PictureCanBeEmbedded("wayland"));
    EXPECT_FALSE(PictureCanBeEmbedded("wayland-egl"));
    EXPECT_TRUE(PictureCanBeEmbedded("xcb"));
}

TEST(CompactFrame, PressesWithinSixPixelsOfAnEdgeSizeFromThatEdge) {
    // The 60 x 60 window of compact mode.
    EXPECT_EQ(CompactFrameEdges(30, 30, 60, 60), 0);
    EXPECT_EQ(CompactFrameEdges(6, 6, 60, 60), 0);
    EXPECT_EQ(CompactFrameEdges(53, 53, 60, 60), 0);
    EXPECT_EQ(CompactFrameEdges(5, 30, 60, 60), kEdgeLeft);
    EXPECT_EQ(CompactFrameEdges(54, 30, 60, 60), kEdgeRight);
    EXPECT_EQ(CompactFrameEdges(30, 0, 60, 60), kEdgeTop);
    EXPECT_EQ(CompactFrameEdges(30, 59, 60, 60), kEdgeBottom);
    EXPECT_EQ(CompactFrameEdges(0, 0, 60, 60), kEdgeLeft | kEdgeTop);
    EXPECT_EQ(CompactFrameEdges(58, 58, 60, 60), kEdgeRight | kEdgeBottom);
    EXPECT_EQ(CompactFrameEdges(59, 0, 60, 60), kEdgeRight | kEdgeTop);
    // A window narrower than two bands: the left band wins.
    EXPECT_EQ(CompactFrameEdges(3, 30, 8, 60), kEdgeLeft);
}
