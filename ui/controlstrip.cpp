#include "ui/controlstrip.h"

#include <algorithm>
#include <cstdio>

namespace {
// The classic widths of play/pause, open, subtitles, equaliser and playlist.
constexpr std::array<int, 5> kClassicWidths = {50, 50, 50, 20, 20};
constexpr int kGap = 5;
constexpr int kRowHeight = 20;
} // namespace

ControlStripLayout LayOutControlStrip(int width, int height, const std::array<int, 5>& needed,
                                      int clockWidth) {
    ControlStripLayout layout;
    const int row = height - kRowHeight;
    int x = 0;
    for (size_t i = 0; i < kClassicWidths.size(); ++i) {
        const int w = std::max(kClassicWidths[i], needed[i]);
        layout.buttons[i] = {x, row, w, kRowHeight};
        x += w + kGap;
    }
    layout.mute = {width - 100, row, 20, kRowHeight};
    layout.volume = {width - 80, row, 80, kRowHeight};
    layout.time = {0, height - 55, std::max(0, width - 55), 30};
    layout.error = {width - 50, height - 55, 45, 30};
    layout.minimumWidth = x + 100;
    const int room = layout.mute.x - kGap - x;
    if (clockWidth > 0 && room >= clockWidth)
        layout.clock = {x, row, room, kRowHeight};
    else
        layout.clock = {x, row, 0, kRowHeight};
    return layout;
}

std::string FormatClock(int seconds) {
    seconds = std::max(0, seconds);
    char text[32];
    std::snprintf(text, sizeof(text), "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}
