#include "persist/reopen.h"

#include "persist/i18l.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/windowport.h"

std::string reopenpozycje[kReopenSlots];

// Constructed after reopenpozycje (same file, declared first), so load() sees its slots.
reopen reopen1;

namespace {
// A slot is written as one line; anything after a line break in it would become a slot of
// its own at the next start.
std::string FirstLineOfSlot(const std::string& text) {
    size_t cut = text.find_first_of("\r\n");
    return cut == std::string::npos ? text : text.substr(0, cut);
}
} // namespace

std::string ReopenFilePath() {
    return StateFile("reopen.p4s");
}

reopen::reopen() {
    load();
}

void reopen::load(const std::string& file) {
    std::optional<std::string> content = ReadProfileFile(file);
    if (!content)
        return;
    size_t pos = 0;
    for (int slot = 0; slot < kReopenSlots && pos < content->size(); ++slot) {
        size_t end = content->find('\n', pos);
        if (end == std::string::npos)
            end = content->size();
        std::string line = content->substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        reopenpozycje[slot] = line;
        pos = end + 1;
    }
}

bool reopen::save(const std::string& file) {
    std::string text;
    for (const std::string& slot : reopenpozycje)
        text += FirstLineOfSlot(slot) + "\n";
    return WriteFileAtomically(file, text);
}

void reopen::load() {
    load(ReopenFilePath());
}
bool reopen::save() {
    return save(ReopenFilePath());
}

void reopen::pushtofront(const std::string& path) {
    // The other movies keep their order behind the new first one. Every earlier copy of
    // `path` goes, even when a hand-edited file listed it twice; freed slots stay empty.
    std::string kept[kReopenSlots - 1];
    int count = 0;
    for (int i = 0; i < kReopenSlots && count < kReopenSlots - 1; ++i)
        if (reopenpozycje[i] != path)
            kept[count++] = reopenpozycje[i];
    reopenpozycje[0] = path;
    for (int i = 1; i < kReopenSlots; ++i)
        reopenpozycje[i] = i - 1 < count ? kept[i - 1] : std::string();
}

void reopen::clear() {
    std::string none = I18l.getString("Reopen.None");
    for (std::string& slot : reopenpozycje)
        slot = none;
}

void reopen::refresh() {
    for (int i = 0; i < kReopenSlots; ++i)
        Port().SetMenuItemText(kFirstReopenCommand + i, reopenpozycje[i]);
}
