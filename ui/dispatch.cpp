#include "ui/dispatch.h"

#include "online/subautoupload.h"
#include "persist/filters.h"
#include "persist/i18l.h"
#include "persist/translate.h"
#include "platform/textutil.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "ui/mainwindow.h"
#include "ui/onlinecommands.h"
#include "ui/slavetable.h"
#include "ui/uistate.h"

namespace {

// Step 1: the "&Filtres" presets.
void FiltresPreset(int id) {
    size_t index = static_cast<size_t>(id - kFirstFiltresCommand);
    if (index < user_filtrs2.size()) {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.extraOptions = user_filtrs2[index].options;
    }
    Mp1.init();
    Mp1.LanchRefresh();
    GlobalH->Menus().Check(iSelection, false);
    GlobalH->Menus().Check(id, true);
    iSelection = id;
    GlobalH->Video()->update();
}

// Step 3: the "User Filtres" presets.
void UserFiltresPreset(int id) {
    GlobalH->Menus().Check(kFirstUserFiltresCommand + Mp1.userFilterNum, false);
    Mp1.userFilterNum = id - kFirstUserFiltresCommand;
    GlobalH->Menus().Check(id, true);
    Mp1.init();
    Mp1.LanchRefresh();
}

// Step 5: a track of the subtitle pop-up.
void SelectSubtitleTrack(int id) {
    SubAutoUploadOS1.ResetTimerAutoLoad(1);
    size_t index = static_cast<size_t>(id - 2481);
    std::string command;
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        if (index >= SubtitleList.size())
            return;
        const Subtitle& track = SubtitleList[index];
        const char* format = track.kind == -1  ? "sub_select -1 "
                             : track.kind == 2 ? "sub_file %d "
                             : track.kind == 1 ? "sub_demux %d "
                                               : "sub_vob %d ";
        command = track.kind == -1 ? format : Format(format, track.id);
        zaznaczonaPozycjaSubtitle = static_cast<int>(index);
        Mp1.chosenTrackCommand = command;
    }
    SendCommand(command);
}

} // namespace

bool InitProcCommand(int id) {
    if (GlobalH == nullptr)
        return false;
    if (id >= 1500 && id <= 1600)
        FiltresPreset(id);

    if (const char* command = FindSlaveCommand(id)) {
        SendCommand(command);
        if (id == 1060 || id == 1069) // the volume steps of the "0" key and the table
            AskPlayerVolume();
        if (id > 1051)
            return true;
    }

    if (id >= 2100 && id <= 2298)
        UserFiltresPreset(id);

    if (id >= 2583 && id <= 2630) {
        getOpenSubtitleNumber(id - 2583);
        return true;
    }

    if (id >= 2481 && id <= 2581)
        SelectSubtitleTrack(id);

    if (id >= 2307 && id <= 2400) {
        OpenSubtitlesLanguageCommand(id - 2307);
        return true;
    }

    if (RunSingleCommand(id))
        return true;
    bool handled = false;
    if (RunRadioGroup(id, &handled))
        return handled;

    if (id >= 3000 && id <= 3122) {
        Mp1.LanchDVD(static_cast<char>(id - 3000));
        return true;
    }
    if (id >= kFirstLanguageCommand && id < kFirstLanguageCommand + kMaxLanguageCommands) {
        MenuSelectLang(
            id - kFirstLanguageCommand, GlobalH->Menus(),
            [](int control, const std::string& text) { GlobalH->SetControlText(control, text); });
        TranslateManualEdit(GlobalH->Menus());
        return true;
    }
    return false;
}

void TranslateManualEdit(MenuSet& menus) {
    menus.SetItemTextByCommand(kManualEditCommand, I18l.getString("Manual Edit"));
}
