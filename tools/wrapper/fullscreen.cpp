#include "tools/wrapper/fullscreen.h"

namespace {
const char kQuestion[] = "pausing_keep_force get_property fullscreen";
const char kAnswer[] = "ANS_fullscreen=";
} // namespace

bool IsFullscreenCommand(const std::string& command) {
    std::string rest = command;
    for (const char* prefix :
         {"pausing_keep_force ", "pausing_keep ", "pausing_toggle ", "pausing "}) {
        std::string p(prefix);
        if (rest.compare(0, p.size(), p) == 0) {
            rest = rest.substr(p.size());
            break;
        }
    }
    return rest == "vo_fullscreen" || rest.rfind("vo_fullscreen ", 0) == 0;
}

bool FullscreenPlugin::OnCommand(const std::string& command, PlayerIo& io) {
    if (!IsFullscreenCommand(command))
        return true;
    io.SendToPlayer(command);
    io.SendToPlayer(kQuestion);
    ++pending_;
    return false;
}

bool FullscreenPlugin::OnOutput(const std::string& piece, PlayerIo& io) {
    if (pending_ == 0 || piece.rfind(kAnswer, 0) != 0)
        return true;
    --pending_;
    bool on = piece.compare(sizeof(kAnswer) - 1, 3, "yes") == 0;
    io.Print(std::string("VO_FULLSCREEN=") + (on ? "1" : "0") + "\n");
    return false;
}
