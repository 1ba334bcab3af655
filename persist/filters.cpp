#include "persist/filters.h"

#include "persist/i18l.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/textutil.h"
#include "platform/windowport.h"

// Constant-initialised (empty) before any dynamic initialiser runs, so the player
// configuration built while the program starts sees an empty list.
std::vector<filtr_item> user_filtrs;
std::vector<filtr_item> user_filtrs2;

namespace {
constexpr size_t kMinPresetLine = 6;

std::string PresetFileName(const std::string& key) {
    I18l.SetSection("File");
    return I18l.get("File", key);
}
} // namespace

std::vector<filtr_item> ParsePresetFile(const std::string& content, size_t limit) {
    std::vector<filtr_item> presets;
    std::string name;
    size_t pos = 0;
    while (pos < content.size() && presets.size() < limit) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() < kMinPresetLine)
            continue;
        if (StartsWithNoCase(line.c_str(), "DES:"))
            name = line.substr(4);
        else if (StartsWithNoCase(line.c_str(), "FIL:"))
            presets.push_back({name, line.substr(4)});
    }
    return presets;
}

std::string PresetFilePath(const std::string& name) {
    std::string program = KatalogExe();
    std::string state = StateFolder();
    if (state != program && IsFileExist((state + name).c_str()) == 1)
        return state + name;
    return program + name;
}

void loaduserfiltres2(const std::string& key, std::vector<filtr_item>& list, size_t limit) {
    std::string path = PresetFilePath(PresetFileName(key));
    if (std::optional<std::string> content = ReadProfileFile(path)) {
        size_t room = list.size() < limit ? limit - list.size() : 0;
        for (filtr_item& item : ParsePresetFile(*content, room))
            list.push_back(std::move(item));
    }
    if (list.empty())
        list.push_back({"None!", " "});
}

void loadfiltres() {
    loaduserfiltres2("filtresfile", user_filtrs2, kMaxFiltres);
}

void loaduserfiltres() {
    loaduserfiltres2("userfiltres", user_filtrs, kMaxUserFiltres);
}

std::string PrepareUserPresetFile(const std::string& programFolder, const std::string& stateFolder,
                                  const std::string& name) {
    std::string shipped = programFolder + name;
    std::string own = stateFolder + name;
    if (own != shipped && IsFileExist(own.c_str()) == 0) {
        std::optional<std::string> content = ReadProfileFile(shipped);
        if (content)
            WriteFileAtomically(own, *content);
    }
    return IsFileExist(own.c_str()) == 1 ? own : "";
}

void editfiltres() {
    std::string path =
        PrepareUserPresetFile(KatalogExe(), StateFolder(), PresetFileName("userfiltres"));
    // Nothing is reported for a file that is not there: the editor has nothing to open.
    if (!path.empty())
        Port().OpenWithDefaultApplication(path);
}
