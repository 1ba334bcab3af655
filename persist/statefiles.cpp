#include "persist/statefiles.h"

#include "platform/windowport.h"

#include <cctype>
#include <dirent.h>
#include <unistd.h>

namespace {
// Every file the program replaces in its state folder.
const char* const kStateFiles[] = {"QuorvanPlayer.ini", "m.txt", "reopen.p4s", "playlist1.p4s",
                                   "user_filtres.txt"};

// NAME.XXXXXX as mkstemp makes it: the name, a dot and six letters or digits.
bool IsTemporaryOf(const std::string& entry, const std::string& name) {
    if (entry.size() != name.size() + 7 || entry.compare(0, name.size(), name) != 0 ||
        entry[name.size()] != '.')
        return false;
    for (size_t i = name.size() + 1; i < entry.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i])))
            return false;
    return true;
}
} // namespace

int RemoveInterruptedWrites(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    int removed = 0;
    while (dirent* e = readdir(dir)) {
        std::string entry = e->d_name;
        for (const char* name : kStateFiles)
            if (IsTemporaryOf(entry, name) && unlink((folder + entry).c_str()) == 0)
                ++removed;
    }
    closedir(dir);
    return removed;
}

void ReportSaveFailures(const WriteFailureLog& log) {
    if (log.failures().empty())
        return;
    std::string text = "These files could not be saved; they keep what they held before:\n";
    for (const auto& failure : log.failures())
        text += "\n" + failure.path + ": " + failure.reason;
    Port().MessageBox(text, "Error", MB_ICONERROR_);
}
