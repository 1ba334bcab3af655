#include "tools/wrapper/subtitlefiles.h"

#include "platform/paths.h"
#include "subtitles/subtitleparse.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string WithoutExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsSubtitleExtension(const std::string& ext) {
    static const char* const known[] = {"utf", "utf8", "utf-8", "srt", "sub", "txt", "ssa",
                                        "ass", "smi",  "rt",    "aqt", "jss", "js",  "mpsub"};
    for (const char* k : known)
        if (ext == k)
            return true;
    return false;
}

void RemoveFolder(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "/" + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            RemoveFolder(path);
        else
            unlink(path.c_str());
    }
    closedir(dir);
    rmdir(folder.c_str());
}
} // namespace

std::string ReadSubtitleBytes(const std::string& path, std::string* error) {
    // O_NONBLOCK: a FIFO in place of the file must not stop the wrapper.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return "";
    }
    struct stat st {};
    std::string bytes;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "not a regular file";
    } else if (st.st_size == 0) {
        *error = "the file is empty";
    } else if (static_cast<unsigned long long>(st.st_size) > kMaxSubtitleFile) {
        *error = "the file is over 50 MB, not a subtitle file";
    } else {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            ssize_t n = read(fd, &bytes[got], bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
        if (bytes.empty())
            *error = "cannot read the file";
    }
    close(fd);
    return bytes;
}

std::string SubcpFor(const DetectedEncoding& encoding) {
    switch (encoding.kind) {
    case SubEncoding::Cp1250:
        return "cp1250";
    case SubEncoding::Iso88592:
        return "ISO-8859-2";
    case SubEncoding::Other:
        return encoding.name;
    default:
        return "UTF-8"; // ASCII and UTF-8 files; UTF-16 ones are given as UTF-8 copies
    }
}

bool NeedsCopy(const DetectedEncoding& encoding, const std::string& subcp) {
    if (encoding.kind == SubEncoding::Ascii)
        return false;
    if (encoding.kind == SubEncoding::Utf16Le || encoding.kind == SubEncoding::Utf16Be)
        return true;
    return Lower(SubcpFor(encoding)) != Lower(subcp);
}

std::vector<std::string> AutoloadCandidates(const std::string& movie, int fuzziness) {
    std::string folder = GetDirectoryFromPath(movie);
    if (folder == movie)
        folder = ".";
    const std::string stem = Lower(WithoutExtension(FileNameFromPath(movie)));
    std::vector<std::pair<int, std::string>> found;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return {};
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        size_t dot = name.rfind('.');
        if (dot == std::string::npos || !IsSubtitleExtension(Lower(name.substr(dot + 1))))
            continue;
        std::string own = Lower(name.substr(0, dot));
        int rank = own == stem                                             ? 0
                   : fuzziness >= 1 && own.find(stem) != std::string::npos ? 1
                   : fuzziness >= 2                                        ? 2
                                                                           : -1;
        if (rank >= 0)
            found.emplace_back(rank, folder + "/" + name);
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found)
        names.push_back(f.second);
    return names;
}

SubtitleCopies::~SubtitleCopies() {
    if (!folder_.empty())
        RemoveFolder(folder_);
}

std::string SubtitleCopies::Make(const std::string& original, const std::string& bytes) {
    if (folder_.empty()) {
        std::string pattern = GetTempDirectory() + "quorvan-subs-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            return "";
        folder_ = pattern;
    }
    // One subfolder per copy keeps the original's name (the menu shows it) without clashes;
    // a name with quotes is simplified, since the slave command quotes it.
    std::string name = FileNameFromPath(original);
    std::replace(name.begin(), name.end(), '"', '_');
    std::string sub = folder_ + "/" + std::to_string(++count_);
    if (mkdir(sub.c_str(), 0700) != 0)
        return "";
    std::string path = sub + "/" + name;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return "";
    size_t put = 0;
    while (put < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + put, bytes.size() - put);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        put += static_cast<size_t>(n);
    }
    close(fd);
    if (put != bytes.size())
        return "";
    originals_[path] = original;
    return path;
}

std::string SubtitleCopies::OriginalOf(const std::string& path) const {
    auto it = originals_.find(path);
    return it == originals_.end() ? path : it->second;
}
