#include "player/playerfolder.h"

#include "platform/paths.h"
#include "platform/privatefiles.h"

#include <mutex>
#include <unistd.h>

namespace {
std::mutex g_mutex;
std::string g_folder; // "" until set: the program's own working folder
std::string g_privateFolder;

std::string OwnFolder() {
    char buffer[4096];
    if (getcwd(buffer, sizeof(buffer)) == nullptr)
        return "/";
    return buffer;
}

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}
} // namespace

std::string PlayerFolder() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_folder.empty() ? WithoutTrailingSlash(OwnFolder()) : g_folder;
}

void SetPlayerFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_folder = folder.empty() ? std::string() : WithoutTrailingSlash(folder);
}

bool UseWritablePlayerFolder() {
    if (TestCreationFile((PlayerFolder() + "/test.test").c_str()) == 1)
        return true;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_privateFolder.empty() || access(g_privateFolder.c_str(), W_OK) != 0)
        g_privateFolder = MakePrivateFolder("quorvan-");
    if (g_privateFolder.empty())
        return false;
    g_folder = g_privateFolder;
    return true;
}
