// The open commands of the main window and the small messages they use.
#include "online/moviehash.h"
#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/reopen.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "platform/rarnames.h"
#include "rar/streaming.h"
#include "ui/dispatch.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"

namespace {

bool EndsWithNfo(const std::string& name) {
    if (name.size() <= 6)
        return false;
    std::string tail = name.substr(name.size() - 4);
    return tail == ".nfo" || tail == ".NFO";
}

} // namespace

void MessageNoMoveOpen() {
    Port().MessageBox(I18l.getString("MessageNoMoveOpen"), "Error", MB_OK_);
}

void SubtitleWaitNotice() {
    SendOsdText(I18l.text("Messages", "Please wait. Downoland Sub."));
    Port().SetTitle(I18l.text("Messages", "Please wait. Downoland Subtitle"));
}

void ButionLoad() {
    history1.add(Mp1.MovieFileSnapshot(), PositionToRemember(Mp1.timePosition, Mp1.movieLength));
    SendCommand("pausing frame_step");
    stan_rozszerzony = 0;
    std::string name = Hooks().openFile(
        {{"Movies files (*.avi,*.wmv,*.mpge,*.bin) ",
          "*.BIN;*.ISO;*.nfo;*.nrg;*.mds;*.ogg;*.ccd;*.AVI;*.mp4;*.mp3;*.divx;*.quorvan;*.wmv;"
          "*.wma;*.asf;*.wm;*.m1v;*.mp2;*.mpa;*.vob;*.qt;*.RAR;*.ogm;*.mpge;*.mpg;*.RM;*.3gp;"
          "*.flv;*.RMVB;*.MKV"},
         {"All *.*", "*.*"},
         {"Text", "*.TXT"}});
    if (name.empty()) {
        SendCommand("pause");
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = name;
    }
    reopen1.pushtofront(name);
    WarnIfRarDvd(name);
    if (EndsWithNfo(name)) {
        // The viewer is a window of its own; the main window stays usable while it is open.
        std::string viewer = std::string(KatalogExe()) + "binary/NFO2TXT";
        Hooks().runProgram(QuoteCommandLineArg(viewer) + " " + QuoteCommandLineArg(name));
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.externalAudioFile.clear();
    }
    Mp1.LanchMovie();
}

void ButionLoadExternAudio() {
    stan_rozszerzony = 0;
    std::string name =
        Hooks().openFile({{"Wszystkie znane  ", "*.MP3;*.WAV;*.OGG;"}, {"All *.*", "*.*"}});
    if (name.empty())
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.externalAudioFile = name;
    }
    Mp1.init();
    Mp1.LanchMovie();
}

void ButionPlayURL() {
    // Closing the dialog, or an empty field, opens nothing (an empty name would only draw a
    // player error).
    if (Hooks().lineInput("Open URL", "http://") != 1 || buf6[0] == '\0')
        return;
    std::string url = buf6;
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = url;
    }
    Mp1.LanchMovie();
}

void ButionUnRar() {
    // As opening another movie does: the movie left keeps its position.
    history1.add(Mp1.MovieFileSnapshot(), PositionToRemember(Mp1.timePosition, Mp1.movieLength));
    stan_rozszerzony = 0;
    std::string name =
        Hooks().openFile({{"Rar  ", "*.RAR"}, {"All *.*", "*.*"}, {"Text", "*.TXT"}});
    if (name.empty())
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = name;
    }
    // The streamed set goes on from its own remembered position, not the previous movie's.
    Mp1.timePosition = history1.get(name);
    // The dialog has no cancel button; closing it stops here rather than streaming with what
    // an earlier dialog left in buf6 as the password.
    if (Hooks().lineInput("Password", "PASS") != 1)
        return;
    ButionUnRarChosen(name);
}
