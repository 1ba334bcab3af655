#include "tools/wrapper/bridgeplaylist.h"

#include "platform/fdio.h"
#include "platform/paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

BridgePlaylist::~BridgePlaylist() {
    Remove();
}

std::string BridgePlaylist::Write(const std::string& entry) {
    Remove();
    if (entry.empty() || entry.find_first_of("\r\n", 0) != std::string::npos)
        return "";
    std::string pattern = GetTempDirectory() + "quorvan-bridge-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) // 0700
        return "";
    folder_ = pattern;
    const std::string path = folder_ + "/playlist";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        Remove();
        return "";
    }
    path_ = path;
    bool ok = WriteAllBlocking(fd, entry + "\n");
    if (close(fd) != 0 || !ok) {
        Remove();
        return "";
    }
    return path_;
}

void BridgePlaylist::Remove() {
    if (!path_.empty())
        unlink(path_.c_str());
    if (!folder_.empty())
        rmdir(folder_.c_str()); // only when empty
    path_.clear();
    folder_.clear();
}
