#pragma once
// Which Qt platform the program runs on. mplayer draws its picture only into an X11 window
// (-wid), so on a Wayland session the program runs on the xcb platform through XWayland,
// also when QT_QPA_PLATFORM names wayland; only without any X server does it stay on Wayland,
// and then the player gets no window of ours and opens its own.
#include <functional>
#include <string>

struct DisplayChoice {
    std::string platform;    // the QT_QPA_PLATFORM to set before Qt starts; empty: leave it
    std::string consoleNote; // said once on the console; empty: nothing to say
};

// `env` reads an environment variable (empty when unset); `xServerAnswers` tells whether the
// X server named by DISPLAY accepts a connection.
DisplayChoice ChooseDisplay(const std::function<std::string(const char*)>& env,
                            const std::function<bool()>& xServerAnswers);
// The choice for this process, from its environment and a trial connection to $DISPLAY.
DisplayChoice ChooseDisplayForThisProcess();

// True when windows of the Qt platform `platformName` are X11 windows the player can draw in
// (Wayland surfaces are not; the offscreen platform of the tests pretends).
bool PictureCanBeEmbedded(const std::string& platformName);

// What the window title adds while the player cannot be given our window.
extern const char* const kOwnPlayerWindowNote;
