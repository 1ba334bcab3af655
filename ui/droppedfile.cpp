#include "ui/droppedfile.h"

#include "persist/history.h"
#include "persist/reopen.h"
#include "platform/textutil.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "subtitles/subtitleloading.h"
#include "ui/uistate.h"

namespace {
// The name buffer of a drop holds this many characters with its terminator.
constexpr size_t kDropNameLimit = 999;
} // namespace

void HandleDroppedFile(const std::string& path) {
    asNazwaPliku = path.substr(0, kDropNameLimit);
    if (CzyToNapis(asNazwaPliku.c_str())) {
        LoadSUB(Mp1, asNazwaPliku);
        return;
    }
    ResetSubsLoaded();
    history1.add(Mp1.MovieFileSnapshot(), PositionToRemember(Mp1.timePosition, Mp1.movieLength));
    Mp1.init();
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = asNazwaPliku;
    }
    reopen1.pushtofront(asNazwaPliku);
    reopen1.refresh();
    Mp1.LanchMovie();
}
