#include "thumbs/thumbmenu.h"

#include "thumbs/capturerules.h"
#include "thumbs/dibfile.h"

SheetMarks ReadLayoutMarks(const DibImage* sheet) {
    SheetMarks marks;
    for (int x = 1; x <= 34; ++x) {
        int blue = DibTopRowBlue(sheet, x);
        if (blue >= 0 && blue <= 29) {
            marks.down = x;
            break;
        }
    }
    for (int x = 41; x <= 119; ++x) {
        int blue = DibTopRowBlue(sheet, x);
        if (blue >= 0 && blue <= 29) {
            marks.across = x - 40;
            break;
        }
    }
    return marks;
}

std::vector<thumbitem> RebuildFrameList(int width, int height, SheetMarks marks,
                                        float movieLength) {
    int down = 8, across = 8;
    if (marks.down > 0 && marks.across > 0) {
        down = marks.down;
        across = marks.across;
    }
    const int cellWidth = width / across;
    const int cellHeight = (height - 100) / down;
    std::vector<int> positions = SeriesPositions(movieLength, down * across);
    std::vector<thumbitem> frames;
    for (int r = 0; r < down; ++r)
        for (int s = 0; s < across; ++s) {
            thumbitem item;
            item.x = s * cellWidth;
            item.y = r * cellHeight + 100;
            item.cx = cellWidth;
            item.cy = cellHeight;
            item.seekPos = positions[static_cast<size_t>(r * across + s)];
            frames.push_back(item);
        }
    return frames;
}

int HitTest(const std::vector<thumbitem>& frames, int px, int py) {
    for (size_t i = 0; i < frames.size(); ++i) {
        const thumbitem& f = frames[i];
        if (f.x < px && px < f.x + f.cx && f.y < py && py < f.y + f.cy)
            return static_cast<int>(i);
    }
    return -1;
}

int ScrollOffset(int imageSize, int clientSize, int percent) {
    long long offset = static_cast<long long>(imageSize - clientSize) * percent / 100;
    return offset > 0 ? static_cast<int>(offset) : 0;
}

int ThumbScrollPosition(int current, ThumbScroll code, int thumbPosition) {
    int next = current;
    switch (code) {
    case ThumbScroll::LineUp:
        next = current - 1;
        break;
    case ThumbScroll::LineDown:
        next = current + 1;
        break;
    case ThumbScroll::PageUp:
        next = current - 5;
        break;
    case ThumbScroll::PageDown:
        next = current + 5;
        break;
    case ThumbScroll::Thumb:
        next = thumbPosition;
        break;
    case ThumbScroll::Other:
        break;
    }
    return next < 0 ? 0 : next > 100 ? 100 : next;
}
