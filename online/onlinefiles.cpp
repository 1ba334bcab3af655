#include "online/onlinefiles.h"

#include "platform/paths.h"
#include "platform/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool CopyInto(int in, int out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
        }
    }
}
} // namespace

std::string PrivateTempFolder() {
    static std::mutex mutex;
    static std::string folder;
    std::lock_guard<std::mutex> lock(mutex);
    struct stat st {};
    if (!folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return folder;
    std::string pattern = GetTempDirectory() + "quorvan-subtitles-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return folder = "";
    return folder = pattern + "/";
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    // A hard link never replaces an existing name; then the old name goes.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    if (errno != EXDEV && errno != EPERM && errno != ENOTSUP)
        return false;
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = CopyInto(in, out);
    close(in);
    ok = close(out) == 0 && ok;
    if (!ok) {
        unlink(to.c_str());
        return false;
    }
    unlink(from.c_str());
    return true;
}

bool CopyFileReplace(const std::string& from, const std::string& to) {
    std::string data;
    if (!ReadWholeFile(from, &data, size_t(1) << 30))
        return false;
    return WriteFileAtomically(to, data);
}

bool IsMovieFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wbe");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadWholeFile(const std::string& path, std::string* data, size_t limit) {
    data->clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > limit) {
        close(fd);
        return false;
    }
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 && data->size() <= limit)
        data->append(buffer, size_t(n));
    close(fd);
    return n == 0 && data->size() <= limit;
}
