#include "ui/droppedfile.h"

#include "persist/history.h"
#include "persist/reopen.h"
#include "platform/textutil.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "ui/uistate.h"

#include <algorithm>
#include <cctype>

namespace {
// The name buffer of a drop holds this many characters with its terminator.
constexpr size_t kDropNameLimit = 999;

// Loads a subtitle file into the running player; it lives only as long as that player.
void LoadDroppedSubtitle(const std::string& file) {
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        ClearSubtiteList();
    }
    SendCommand("sub_remove -1");
    SendCommand("sub_load \"" + file + "\"");
    SendCommand("sub_select 0");
}
} // namespace

bool IsDroppedSubtitle(const std::string& name) {
    if (name.size() <= 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".txt" || tail == ".srt" || tail == ".ssa" || tail == ".sub" || tail == ".smi" ||
           tail == ".idx";
}

void HandleDroppedFile(const std::string& path) {
    asNazwaPliku = path.substr(0, kDropNameLimit);
    if (IsDroppedSubtitle(asNazwaPliku)) {
        LoadDroppedSubtitle(asNazwaPliku);
        return;
    }
    ResetSubsLoaded();
    history1.add(Mp1.MovieFileSnapshot(), Mp1.timePosition);
    Mp1.init();
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = asNazwaPliku;
    }
    reopen1.pushtofront(asNazwaPliku);
    reopen1.refresh();
    Mp1.LanchMovie();
}
