#pragma once
// The user's desktop folder, where split movies are saved.
#include <string>

// The XDG desktop folder (XDG_DESKTOP_DIR of user-dirs.dirs) when it exists, else ~/Desktop
// when it exists, else the home folder. Never ends with '/' (except "/" itself).
std::string DesktopFolder();
