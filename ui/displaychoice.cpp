#include "ui/displaychoice.h"

#include <cstdlib>
#include <xcb/xcb.h>

const char* const kOwnPlayerWindowNote =
    " [no X server (XWayland): the player opens its own window]";

namespace {
bool NamesWayland(const std::string& platform) {
    return platform.find("wayland") != std::string::npos;
}
} // namespace

DisplayChoice ChooseDisplay(const std::function<std::string(const char*)>& env,
                            const std::function<bool()>& xServerAnswers) {
    DisplayChoice choice;
    const std::string asked = env("QT_QPA_PLATFORM");
    const bool waylandSession = !env("WAYLAND_DISPLAY").empty() ||
                                env("XDG_SESSION_TYPE") == "wayland" || NamesWayland(asked);
    // Another platform the user or a test named on purpose (offscreen, xcb) is kept.
    if (!waylandSession || (!asked.empty() && !NamesWayland(asked)))
        return choice;
    if (env("DISPLAY").empty() || !xServerAnswers()) {
        choice.consoleNote = "Quorvan Rar Player: Wayland session without an X server (XWayland);"
                             " mplayer cannot show its picture inside the window and opens its"
                             " own.";
        return choice;
    }
    choice.platform = "xcb";
    choice.consoleNote = "Quorvan Rar Player: Wayland session: running on the xcb platform through "
                         "XWayland (display " +
                         env("DISPLAY") + "), because mplayer draws only into X11 windows";
    if (!asked.empty())
        choice.consoleNote += "; QT_QPA_PLATFORM=" + asked + " is not followed";
    choice.consoleNote += ".";
    return choice;
}

DisplayChoice ChooseDisplayForThisProcess() {
    auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    auto answers = [] {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const bool ok = connection != nullptr && xcb_connection_has_error(connection) == 0;
        if (connection != nullptr)
            xcb_disconnect(connection);
        return ok;
    };
    return ChooseDisplay(env, answers);
}

bool PictureCanBeEmbedded(const std::string& platformName) {
    return !NamesWayland(platformName);
}
