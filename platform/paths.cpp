#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::mutex g_folderMutex;
std::string g_programFolderOverride;

std::string ExecutableFolder() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return "./";
    buf[n] = 0;
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}
} // namespace

char* KatalogExe() {
    // One buffer per thread: a worker's call never changes the text a window-thread caller
    // is still reading.
    thread_local char buffer[4096];
    std::lock_guard<std::mutex> lock(g_folderMutex);
    std::string folder =
        g_programFolderOverride.empty() ? ExecutableFolder() : g_programFolderOverride;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    // A folder longer than the buffer is cut; the buffer always stays terminated.
    std::snprintf(buffer, sizeof(buffer), "%s", folder.c_str());
    return buffer;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_programFolderOverride = folder;
}

std::string FileNameFromPath(const std::string& path) {
    size_t pos = path.rfind('/');
    if (pos == std::string::npos)
        return path;
    return path.substr(pos + 1);
}

std::string GetDirectoryFromPath(const std::string& path) {
    size_t pos = path.rfind('/');
    if (pos == std::string::npos)
        return path;
    return path.substr(0, pos);
}

char* findostatnie(char* path) {
    char* last = std::strrchr(path, '/');
    if (last == nullptr || last == path)
        return path;
    return last + 1;
}

int IsFileExist(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    close(fd);
    return 1;
}

int TestCreationFile(const char* path) {
    // Never through a planted symlink and never over a file of that name (it would be
    // emptied and deleted): a name already there is tried beside it under a fresh one.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
        unlink(path);
        return 1;
    }
    if (errno != EEXIST && errno != ELOOP)
        return 0;
    std::string pattern = std::string(path) + ".XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return 0;
    close(fd);
    unlink(pattern.c_str());
    return 1;
}

int TestWriteCurrentDirectory() {
    char cwd[4096];
    if (getcwd(cwd, sizeof(cwd)) == nullptr)
        return 0;
    std::string path = std::string(cwd) + "/test.test";
    return TestCreationFile(path.c_str());
}

std::string GetTempDirectory() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = (env != nullptr && *env != 0) ? env : "/tmp";
    if (dir.size() > 1594)
        dir.resize(1594);
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

std::string SystemFontsFolder() {
    return "/usr/share/fonts";
}

std::string ProgramFilesFolder() {
    return "/usr/bin";
}

std::string FindProgramOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos)
        return "";
    const char* path = std::getenv("PATH");
    std::string list = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string dir = list.substr(start, end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return dir + "/" + name;
        start = end + 1;
    }
    return "";
}

std::vector<std::string> RegularFileNamesIn(const std::string& folder,
                                            const std::function<bool(const std::string&)>& accept) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || !accept(name))
            continue;
        struct stat st {};
        std::string path = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}
