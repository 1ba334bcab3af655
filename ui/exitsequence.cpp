// The exit command: everything the program keeps between runs is written, in this order.
#include "online/subautoupload.h"
#include "persist/history.h"
#include "persist/reopen.h"
#include "persist/statefiles.h"
#include "platform/statefolder.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/settings.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/onlinewait.h"
#include "ui/playlistwindow.h"
#include "ui/seekpreview.h"
#include "ui/uihooks.h"

void ExitSequence() {
    WriteFailureLog failures; // what could not be saved is told once, before the end
    history1.add(Mp1.MovieFileSnapshot(), PositionToRemember(Mp1.timePosition, Mp1.movieLength));
    history1.serialize();
    if (Mp1.videoWindow != 0)
        SendCommand("quit 0");
    if (GlobalH != nullptr)
        GlobalH->Preview()->EndServer();
    WriteSettingsOnExit(SettingsFilePath());
    SavePlaylistOnExit();
    reopen1.save();
    ReportSaveFailures(failures);
    EndOnlineExchangeForExit();
    StopAutomaticUpload();
    Hooks().endProcess(0);
}
