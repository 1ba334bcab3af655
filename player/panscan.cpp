#include "platform/textutil.h"
#include "player/mplayerinfo.h"

std::string getpanscren(int width, int height, int zoom) {
    // Single precision on purpose: the expand/crop numbers users know come from it
    // (720 x 576 at zoom 0 gives 720:540).
    const float r = 4.0f / 3.0f;
    const int t = static_cast<int>(static_cast<float>(height) * r);
    const float x = static_cast<float>((width - t) * ((100 - zoom) / 100.0) + t);
    int h = static_cast<int>(x / r);
    if (h % 2 != 0)
        --h;
    const int xi = static_cast<int>(x);
    return Format(" -vf-add expand=%d:%d,crop=%d ", xi, h, xi);
}
