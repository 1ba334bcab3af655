#include "persist/playlist.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/rarnames.h"

#include <cctype>
#include <sys/stat.h>
#include <utility>

std::vector<item> playlista;
sterowanieplaylista sp1;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::string NameOf(const std::string& path) {
    std::string copy = path;
    return findostatnie(copy.data());
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "file:///home/a%20b.avi" and "file://localhost/..." give the local path; other hosts and
// texts that are no file URL give "".
std::string PathOfFileUrl(const std::string& line) {
    const std::string scheme = "file://";
    if (line.size() <= scheme.size())
        return "";
    for (size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != scheme[i])
            return "";
    std::string rest = line.substr(scheme.size());
    if (rest.rfind("localhost/", 0) == 0)
        rest.erase(0, 9);
    if (rest.empty() || rest[0] != '/')
        return "";
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        int high = 0;
        int low = 0;
        if (rest[i] == '%' && i + 2 < rest.size() && (high = HexValue(rest[i + 1])) >= 0 &&
            (low = HexValue(rest[i + 2])) >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += rest[i];
        }
    }
    // A decoded line break or zero byte would make a path no file can have.
    if (path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return "";
    return path;
}

// Lines longer than 6 characters that are absolute local paths.
bool IsAcceptedLine(const std::string& line) {
    return line.size() > 6 && line[0] == '/';
}

} // namespace

item::item(const std::string& fullPath) : name(NameOf(fullPath)), path(fullPath) {}

int sterowanieplaylista::add(std::string path) {
    Lock lock(mutex);
    playlista.emplace_back(path);
    ++generation_;
    return 0;
}

int sterowanieplaylista::getsize() {
    Lock lock(mutex);
    return static_cast<int>(playlista.size());
}

std::string sterowanieplaylista::getnextfilename() {
    Lock lock(mutex);
    ++generation_;
    ++current;
    if (current >= 0 && current < static_cast<int>(playlista.size()))
        return playlista[current].path;
    current = -1;
    return "";
}

void sterowanieplaylista::remove(int index) {
    Lock lock(mutex);
    if (index < 0 || index >= static_cast<int>(playlista.size()))
        return;
    playlista.erase(playlista.begin() + index);
    if (index == current)
        current = -1;
    else if (index < current)
        --current;
    // Kept for the next run like every other edit (the stored list would bring it back).
    modified = 1;
    ++generation_;
}

void sterowanieplaylista::exchange(int a, int b) {
    Lock lock(mutex);
    int size = static_cast<int>(playlista.size());
    if (a < 0 || b < 0 || a >= size || b >= size || a == b)
        return;
    std::swap(playlista[a], playlista[b]);
    modified = 1;
    ++generation_;
}

void sterowanieplaylista::clear() {
    Lock lock(mutex);
    playlista.clear();
    modified = 1;
    ++generation_;
}

std::string sterowanieplaylista::play(int index) {
    Lock lock(mutex);
    if (index < 0 || index >= static_cast<int>(playlista.size()))
        return "";
    current = index;
    ++generation_;
    return playlista[index].path;
}

std::vector<item> sterowanieplaylista::snapshot(int* currentOut) {
    Lock lock(mutex);
    if (currentOut != nullptr)
        *currentOut = current;
    return playlista;
}

unsigned sterowanieplaylista::generation() {
    Lock lock(mutex);
    return generation_;
}

std::vector<std::string> ParsePlaylistText(const std::string& text) {
    std::vector<std::string> paths;
    size_t start = 0;
    // A byte-order mark would hide the first line's leading '/'.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        start = 3;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string fromUrl = PathOfFileUrl(line);
        if (!fromUrl.empty())
            line = fromUrl;
        if (IsAcceptedLine(line))
            paths.push_back(line);
    }
    return paths;
}

int LoadPlaylistfile(std::string path) {
    // A FIFO or a device in place of the file would block the window, a folder reads nothing.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    std::optional<std::string> text = ReadProfileFile(path);
    if (!text)
        return 0;
    for (const std::string& entry : ParsePlaylistText(*text))
        sp1.add(entry);
    return 0;
}

int SavePlaylistfile(std::string path) {
    std::string text;
    for (const item& entry : sp1.snapshot(nullptr)) {
        // A path with a line break in it cannot be one line of the file; writing it would
        // turn into two entries (or a lost one) when the file is read back.
        if (entry.path.find_first_of("\r\n") != std::string::npos)
            continue;
        text += entry.path;
        text += '\n';
    }
    WriteFileAtomically(path, text);
    return 0;
}

std::string PlaylistSaveName(const std::string& chosen) {
    if (chosen.find('.') == std::string::npos)
        return chosen + ".p4s";
    return chosen;
}

std::string StandingPlaylistPath() {
    return StateFile("playlist1.p4s");
}

void LoadStandingPlaylistOnce() {
    {
        std::lock_guard<std::recursive_mutex> lock(sp1.mutex);
        if (sp1.standingLoaded != 0)
            return;
        sp1.standingLoaded = 1;
    }
    LoadPlaylistfile(StandingPlaylistPath());
}

bool SaveStandingPlaylistIfModified() {
    {
        std::lock_guard<std::recursive_mutex> lock(sp1.mutex);
        // An emptied list is written too (as an empty file), so a cleared playlist stays
        // cleared; but only over a standing list that was read, never one nobody has seen.
        if (sp1.modified == 0 || (playlista.empty() && sp1.standingLoaded == 0))
            return false;
    }
    SavePlaylistfile(StandingPlaylistPath());
    return true;
}

namespace {
// Endings of the movie files a dropped folder contributes (compared without regard to case).
constexpr const char* kMovieEndings[] = {
    ".avi", ".mkv", ".mp4",  ".m4v", ".mpg", ".mpeg", ".mpge", ".vob", ".wmv",  ".asf",  ".flv",
    ".3gp", ".rm",  ".rmvb", ".ogm", ".ogv", ".mov",  ".divx", ".ts",  ".m2ts", ".webm", ".001"};

bool EndsWithNoCase(const std::string& name, const std::string& ending) {
    if (name.size() <= ending.size())
        return false;
    for (size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - ending.size() + i])) !=
            ending[i])
            return false;
    return true;
}

bool IsMovieFileName(const std::string& name) {
    for (const char* ending : kMovieEndings)
        if (EndsWithNoCase(name, ending))
            return true;
    if (CzyToRar(name)) {
        std::string first = name;
        ZrobPierwszyPart(first);
        return first == name;
    }
    return false;
}
} // namespace

std::vector<std::string> MovieFilesOfFolder(const std::string& folder) {
    std::vector<std::string> paths;
    std::string prefix = folder + (folder.empty() || folder.back() == '/' ? "" : "/");
    for (const std::string& name : RegularFileNamesIn(folder, IsMovieFileName))
        paths.push_back(prefix + name);
    return paths;
}
