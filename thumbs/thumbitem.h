#pragma once
// The frames of the last screenshot series, one entry per frame in capture order: where the
// frame lies on the sheet (filled when the sheet is drawn), the position that was asked for and
// the video time the player reported for it. Used on the user-interface thread only.
#include <vector>

class thumbitem {
  public:
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    int seekPos = 0;
    int videoTime = 0;
};

extern std::vector<thumbitem> graphicthumbmenu;
