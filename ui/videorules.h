#pragma once
// The arithmetic of the video window and the equaliser, kept apart from the widgets so that it
// can be checked without a display: where the picture goes in the main window, what a click
// near the bottom edge seeks to, and the commands the equaliser's sliders make.
#include <string>

struct VideoRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const VideoRect&) const = default;
};

// The video rectangle inside the main window, computed when the main window is sized.
extern VideoRect myrect1;

// Height of the control strip under the video.
constexpr int kControlStripHeight = 60;

struct VideoPlacement {
    VideoRect rect;   // where the video window goes
    bool keepsAspect; // true: `rect` is also the new myrect1
};

// The video window in a main window whose client area is `width` x `height`: the picture's
// aspect kept and centred when the display size is known (both sides above 16) and the video
// is not stretched, else the whole area above the control strip. Never divides by zero.
VideoPlacement PlaceVideo(int width, int height, int displayWidth, int displayHeight,
                          int stretchVideo);

// The size the main window takes for a player's picture request (`width` x `height`, the
// window's whole size) on a screen whose usable area is `availWidth` x `availHeight` once
// the frame is counted: the request itself when it fits, else the largest size that fits and
// keeps the picture's share of the window (2 pixels wide, 100 high go to everything else).
struct WindowSize {
    int width;
    int height;
    bool operator==(const WindowSize&) const = default;
};
WindowSize FitMainWindow(int width, int height, int availWidth, int availHeight);

// True when a click at `y` in a window `cy` high is a seek click (below cy - 25).
bool IsSeekClick(int y, int cy);
// True when the pointer at `y` is over the zone where the seek preview bar is drawn.
bool IsPseudoSliderZone(int y, int cy);

struct SeekClick {
    std::string command; // "seek 50 2" or "seek 50 1"
    int sliderValue;     // the time slider's new position, or -1 when it stays
};

// The seek a click at `x` of a window `cx` wide makes in a movie `movieLength` seconds long:
// absolute seconds for movies longer than 10 seconds, else percent.
SeekClick SeekClickCommand(int x, int cx, float movieLength);

// The equaliser: a property slider's command, trackbar 90's aspect ratio command, and the
// filter texts of "Sharpen Now" and "gamma".
std::string EqualiserPropertyCommand(const std::string& property, int position);
double EqualiserRatio(int position);
std::string EqualiserRatioCommand(int position);
std::string SharpenFilter(int position);
std::string GammaFilter(int position);

// The floating video window of compact mode has a sizing frame: a press within this many
// pixels of its edges sizes the window from there (a band in the window itself, because a
// window manager may give a window without a caption no frame to hold). Elsewhere a press
// moves the window, or seeks in the bottom zone.
constexpr int kCompactFrame = 6;
enum CompactEdge { kEdgeLeft = 1, kEdgeTop = 2, kEdgeRight = 4, kEdgeBottom = 8 };
// The edges (CompactEdge bits) a press at `x`, `y` of a `width` x `height` window sizes, 0
// when it is inside the frame.
int CompactFrameEdges(int x, int y, int width, int height);
