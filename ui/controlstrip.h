#pragma once
// Where the controls of the 60-pixel strip under the video go: one row of buttons along the
// bottom edge, each as wide as its text needs but never narrower than its classic width, the
// mute button and the volume slider at the right, the time slider above the row, the error
// button at its right end, and the clock (time and length) between the buttons and the mute
// button when there is room for it.
#include "ui/videorules.h"

#include <array>
#include <string>

// The five buttons of the row, from the left.
enum StripButton { kPlayButton, kOpenButton, kSubButton, kEqButton, kPlaylistButton };

struct ControlStripLayout {
    std::array<VideoRect, 5> buttons;
    VideoRect mute;
    VideoRect volume;
    VideoRect time;
    VideoRect error;
    VideoRect clock; // width 0 when it does not fit
    // The narrowest client area in which the row's controls do not overlap.
    int minimumWidth = 0;
};

// `needed` holds the width each button's text takes; `clockWidth` that of the clock's text.
ControlStripLayout LayOutControlStrip(int width, int height, const std::array<int, 5>& needed,
                                      int clockWidth);

// Seconds as h:mm:ss ("0:00:45", "1:02:03"); negative values show as 0:00:00.
std::string FormatClock(int seconds);
