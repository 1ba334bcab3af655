#include "rar/nextpart.h"

#include "persist/playlist.h"
#include "platform/paths.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"
#include "platform/rarnames.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>

namespace {

// The name of `name`'s entry in `folder` as the file system has it: `name` itself when it
// exists, else the first entry equal to it without regard to case, else "".
std::string ResolveNoCase(const std::string& folder, const std::string& name) {
    struct stat st {};
    std::string dir = folder.empty() ? "/" : folder;
    if (stat((dir + "/" + name).c_str(), &st) == 0)
        return name;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return "";
    std::vector<std::string> matches;
    while (dirent* e = readdir(d))
        if (strcasecmp(e->d_name, name.c_str()) == 0)
            matches.push_back(e->d_name);
    closedir(d);
    if (matches.empty())
        return "";
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

bool LessNoCase(const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

// The CD folder that follows `name`, or "" (the names are compared exactly as listed).
std::string NextCdFolder(const std::string& name) {
    static const struct {
        const char* current[2];
        const char* next;
    } table[] = {
        {{"cd1", "CD1"}, "cd2"},    {{"cd 1", "CD 1"}, "cd 2"}, {{"cd2", "CD2"}, "cd3"},
        {{"cd 2", "CD 2"}, "cd 3"}, {{"cda", "CDA"}, "cdb"},    {{"cd a", "CD A"}, "cd b"},
    };
    for (const auto& row : table)
        if (name == row.current[0] || name == row.current[1])
            return row.next;
    return "";
}

} // namespace

bool Find_files(const std::string& pattern, std::vector<std::string>& names) {
    size_t slash = pattern.rfind('/');
    if (slash == std::string::npos)
        return false;
    std::string folder = pattern.substr(0, slash);
    std::string mask = pattern.substr(slash + 1);
    // The folder's last component is looked up without regard to case, as the movie's
    // siblings are (CD2 for cd2).
    size_t parentEnd = folder.rfind('/');
    if (parentEnd != std::string::npos && parentEnd + 1 < folder.size()) {
        std::string parent = folder.substr(0, parentEnd);
        std::string actual = ResolveNoCase(parent, folder.substr(parentEnd + 1));
        if (actual.empty())
            return false;
        folder = parent + "/" + actual;
    }
    DIR* d = opendir(folder.empty() ? "/" : folder.c_str());
    if (d == nullptr)
        return false;
    std::vector<std::string> found;
    const bool noExtension = mask == "*.";
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        bool match = noExtension ? name.find('.') == std::string::npos
                                 : fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
        if (!match)
            continue;
        struct stat st {};
        if (stat((folder + "/" + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        found.push_back(name);
    }
    closedir(d);
    std::sort(found.begin(), found.end(), LessNoCase);
    names.insert(names.end(), found.begin(), found.end());
    return !found.empty();
}

std::string findnextmoviecd1(const std::string& parent, const std::string& folderName,
                             const std::string& ext) {
    std::string next = NextCdFolder(folderName);
    if (next.empty())
        return "";
    std::vector<std::string> names;
    if (!Find_files(parent + "/" + next + "/*." + ext, names))
        return "";
    return parent + "/" + ResolveNoCase(parent, next) + "/" + names.front();
}

std::string findnextmovie(const std::string& movieFile) {
    std::string folder = GetDirectoryFromPath(movieFile);
    size_t dot = movieFile.rfind('.');
    std::string ext = dot == std::string::npos ? "" : movieFile.substr(dot + 1);
    std::printf("findnextmovie folder: %s\nfindnextmovie extension: %s\n", folder.c_str(),
                ext.c_str());
    std::fflush(stdout);

    size_t slash = folder.rfind('/');
    if (slash != std::string::npos) {
        std::string next = findnextmoviecd1(folder.substr(0, slash), folder.substr(slash + 1), ext);
        if (!next.empty())
            return next;
    }
    std::vector<std::string> names;
    Find_files(folder + "/*." + ext, names);
    // Another volume of the movie's own set is the same movie again (the player is always
    // handed the first volume): the next part is the first name of another set or file.
    const std::string set = RarSetKey(movieFile);
    for (size_t i = 0; i < names.size(); ++i) {
        if (folder + "/" + names[i] != movieFile)
            continue;
        for (size_t j = i + 1; j < names.size(); ++j)
            if (set.empty() || RarSetKey(folder + "/" + names[j]) != set)
                return folder + "/" + names[j];
        return "";
    }
    return "";
}

namespace {
void StartWhatFollows(MovieEnded& ended) {
    // A movie that failed is not replaced by the next one: the user must see it failed.
    if (ended.reason != MovieEndReason::EndOfFile)
        return;
    std::string next = sp1.getnextfilename();
    if (next.empty())
        next = findnextmovie(ended.movie);
    if (next.empty())
        return; // the chain ends; the window keeps its state
    Port().PostToUi([next] { Mp1.LanchNextMovie(next); });
}
} // namespace

void ListenForTheNextMovie() {
    ListenToMovieEnds(StartWhatFollows);
}
