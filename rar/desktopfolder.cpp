#include "rar/desktopfolder.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home)
        return home;
    const passwd* pw = getpwuid(getuid());
    return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "/";
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// XDG_DESKTOP_DIR="$HOME/Desktop" from user-dirs.dirs ("$HOME/" expanded), or "".
std::string XdgDesktop(const std::string& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dir = config != nullptr && *config == '/' ? config : home + "/.config";
    std::ifstream in(dir + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value == "$HOME")
            return home;
        if (value.compare(0, 6, "$HOME/") == 0)
            return home + value.substr(5);
        return value.empty() || value[0] != '/' ? "" : value;
    }
    return "";
}

} // namespace

std::string DesktopFolder() {
    std::string home = HomeFolder();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    std::string xdg = XdgDesktop(home);
    if (IsFolder(xdg))
        return xdg;
    if (IsFolder(home + "/Desktop"))
        return home + "/Desktop";
    return home;
}
