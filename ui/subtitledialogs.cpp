#include "ui/subtitledialogs.h"

#include "player/mplayerinfo.h"
#include "subtitles/subtitleloading.h"
#include "ui/uihooks.h"

#include <string>

namespace {
// The dialogs' name buffers hold this many characters with the terminator; a longer name is
// refused by the dialog, as a cancel.
constexpr size_t kNameBuffer = 1400;

std::string ChooseSubtitle(const char* description) {
    std::string name =
        Hooks().openFile({{description, "*.TXT;*.srt;*.ssa;*.sub;*.smi"}, {"All (*.*)", "*.*"}});
    return name.size() < kNameBuffer ? name : "";
}
} // namespace

void ButionLoadSub() {
    std::string name = ChooseSubtitle("Text (*.txt,*.srt,*.ssa,*.sub,*.smi)");
    if (!name.empty())
        LoadSUB(Mp1, name);
}

void ButionLoadSubFPS() {
    std::string name = ChooseSubtitle("Text (*.txt,*.srt,*.ssa,*.sub)");
    if (name.empty())
        return;
    std::string options = ForcedSubtitleOptions(name, ReadFirstLine(name));
    Mp1.init();
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.subtitleOptions = options;
    }
    Mp1.LanchRefresh();
}
