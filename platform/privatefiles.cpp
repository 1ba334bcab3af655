#include "platform/privatefiles.h"

#include "platform/fdio.h"
#include "platform/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::string MakePrivateFolder(const std::string& prefix) {
    std::string pattern = GetTempDirectory() + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()) == nullptr)
        return "";
    return buffer.data();
}

bool WriteNewPrivateFile(const std::string& path, const std::string& text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAllBlocking(fd, text);
    ok = close(fd) == 0 && ok;
    if (!ok)
        unlink(path.c_str());
    return ok;
}

void RemovePrivateFolder(const std::string& folder) {
    if (folder.empty())
        return;
    std::error_code ec;
    // remove_all removes symlinks themselves, not what they point to.
    std::filesystem::remove_all(folder, ec);
}

bool MakePrivateFolders(const std::string& folder) {
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos < folder.size() && folder[pos] != '/')
            continue;
        std::string part = folder.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
