#pragma once
// State the main window keeps between messages, shared by the dispatch, the sliders and the
// video window. Everything here is touched on the user-interface thread only.
#include <string>

// Mute state of the mute button (1 = muted); mirrors Mp1.muted.
extern int stan;
// 1 = the next "On Top" command makes the window topmost.
extern int stan_top;
// 1 = the next drag of the volume slider still has to switch the on-screen display off.
extern int osd_wylaczone_czasowo;
// Command of the checked "&Filtres" preset.
extern int iSelection;
// 1 = the mouse cursor is shown over the video.
extern int coursorvisable;
// 1 = normal layout, 0 = compact.
extern int stan_oncompact;
// One-shot flag of the interpreter, armed again by the open commands.
extern int stan_rozszerzony;
// The last dropped file name.
extern std::string asNazwaPliku;

// Back to the start values (tests run many windows in one process).
void ResetUiState();
