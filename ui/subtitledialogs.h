#pragma once
// The subtitle menu's "&Open..." (2480) and "&Force Open..." (109) commands.

// File dialog, then the file goes into the running player.
void ButionLoadSub();
// File dialog, the frame rate of the file's first line, then a relaunch with the file.
void ButionLoadSubFPS();
