#pragma once
// What the thumbnail window decides without a widget: the layout marks of a saved sheet, the
// frame list rebuilt from them, the scroll positions in percent and the hit test of a click.
#include "thumbs/thumbitem.h"

#include <vector>

struct DibImage;

struct SheetMarks {
    int down = 0;   // 0 when not found
    int across = 0; // 0 when not found
};

// Reads the marks of a 24-bit sheet's top row: the first pixel of x = 1..34 whose blue value is
// 29 or less gives the lines of frames, the first of x = 41..119 gives 40 + frames across.
SheetMarks ReadLayoutMarks(const DibImage* sheet);

// The frames of a sheet made in an earlier run: 8 x 8 unless both marks were found; cells of
// width / across by (height - 100) / down below a 100-pixel header, line by line; each seeks to
// the position the series would have taken for it.
std::vector<thumbitem> RebuildFrameList(int width, int height, SheetMarks marks, float movieLength);

// The first frame with x < px < x + cx and y < py < y + cy (borders excluded), or -1.
int HitTest(const std::vector<thumbitem>& frames, int px, int py);

// How far the picture is scrolled: (image - client) * percent / 100, never below 0.
int ScrollOffset(int imageSize, int clientSize, int percent);

enum class ThumbScroll { LineUp, LineDown, PageUp, PageDown, Thumb, Other };
// The new position in percent (0..100): lines of 1, pages of 5, the thumb as given.
int ThumbScrollPosition(int current, ThumbScroll code, int thumbPosition);
