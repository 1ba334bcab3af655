#include "ui/videorules.h"

#include "platform/textutil.h"

#include <algorithm>

VideoRect myrect1;

VideoPlacement PlaceVideo(int width, int height, int displayWidth, int displayHeight,
                          int stretchVideo) {
    const int area = std::max(0, height - kControlStripHeight);
    if (displayWidth > 16 && displayHeight > 16 && stretchVideo != 1 && area > 0 && width > 0) {
        // 64-bit products: a large display size times a tall window must not overflow.
        long long w = static_cast<long long>(displayWidth) * area / displayHeight;
        long long h = area;
        if (w > width) {
            w = width;
            h = static_cast<long long>(displayHeight) * width / displayWidth;
        }
        VideoRect rect{static_cast<int>((width - w) / 2), static_cast<int>((area - h) / 2),
                       static_cast<int>(w), static_cast<int>(h)};
        return {rect, true};
    }
    return {{0, 0, width, area}, false};
}

WindowSize FitMainWindow(int width, int height, int availWidth, int availHeight) {
    // What the window adds around the picture, as the player's request counts it.
    constexpr int kExtraWidth = 2;
    constexpr int kExtraHeight = 100;
    if ((width <= availWidth && height <= availHeight) || availWidth <= kExtraWidth ||
        availHeight <= kExtraHeight)
        return {std::min(width, std::max(availWidth, 1)),
                std::min(height, std::max(availHeight, 1))};
    const double pictureW = std::max(1, width - kExtraWidth);
    const double pictureH = std::max(1, height - kExtraHeight);
    const double scale =
        std::min((availWidth - kExtraWidth) / pictureW, (availHeight - kExtraHeight) / pictureH);
    return {static_cast<int>(pictureW * scale) + kExtraWidth,
            static_cast<int>(pictureH * scale) + kExtraHeight};
}

bool IsSeekClick(int y, int cy) {
    return y > cy - 25;
}

bool IsPseudoSliderZone(int y, int cy) {
    return cy - 25 < y && y < cy - 10;
}

SeekClick SeekClickCommand(int x, int cx, float movieLength) {
    // A window with no width yet seeks to its start rather than dividing by zero.
    const int p = cx > 0 ? x * 100 / cx : 0;
    if (movieLength > 10) {
        const int t = static_cast<int>(static_cast<double>(movieLength) * 0.01 * p);
        return {Format("seek %d 2", t), t};
    }
    return {Format("seek %d 1", p), -1};
}

std::string EqualiserPropertyCommand(const std::string& property, int position) {
    return Format("%s %d 1", property.substr(0, 499).c_str(), position);
}

double EqualiserRatio(int position) {
    return 1.3333334 + position / 100.0 * 1.6666666;
}

std::string EqualiserRatioCommand(int position) {
    return Format("switch_ratio %f", EqualiserRatio(position));
}

std::string SharpenFilter(int position) {
    return Format("-vf-add unsharp=l4x4:%f", position / 100.0);
}

std::string GammaFilter(int position) {
    return Format("-vf-add eq2=%f", position / 100.0);
}

int CompactFrameEdges(int x, int y, int width, int height) {
    int edges = 0;
    if (x < kCompactFrame)
        edges |= kEdgeLeft;
    else if (x >= width - kCompactFrame)
        edges |= kEdgeRight;
    if (y < kCompactFrame)
        edges |= kEdgeTop;
    else if (y >= height - kCompactFrame)
        edges |= kEdgeBottom;
    return edges;
}
