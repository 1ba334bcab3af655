#include "online/onlinefiles.h"

#include "platform/paths.h"
#include "platform/privatefiles.h"
#include "platform/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

std::string PrivateTempFolder() {
    static std::mutex mutex;
    static std::string folder;
    std::lock_guard<std::mutex> lock(mutex);
    struct stat st {};
    if (!folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return folder;
    folder = MakePrivateFolder("quorvan-subtitles-");
    if (!folder.empty())
        folder += "/";
    return folder;
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

bool WriteNewFile(const std::string& path, const std::string& data, mode_t mode) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    bool ok = close(fd) == 0 && done == data.size();
    if (!ok)
        unlink(path.c_str());
    return ok;
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
