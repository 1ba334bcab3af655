#include "ui/thumbcommands.h"

#include "persist/thumbsettings.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "thumbs/screenshots.h"
#include "thumbs/thumbfiles.h"
#include "thumbs/upload.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/thumbdialog.h"
#include "ui/thumbwindow.h"

#include <thread>

void GenerateThumbWithDialog() {
    if (RunThumbDialog(GlobalH) != 1)
        return;
    if (multiscreenshots_nojava(DialogThumb.width, DialogThumb.across, DialogThumb.down) != 1)
        return;
    if (DialogThumb.sendToWeb != 0) {
        SendCommand("pausing osd_show_text \"Please wait... Send file to web.\"");
        std::thread(SendFileToStooorage_T, nullptr).detach();
    }
}

void ThumbSeries64() {
    multiscreenshots_nojava(1600, 8, 8);
}

void ThumbMenuWindowCommand() {
    if (Mp1.MovieFileSnapshot().empty()) {
        MessageNoMoveOpen();
        return;
    }
    PrzygotujPlikForThumbmenu(0);
    StartThumbMenu();
}

// The exchange waits on the network: never on the window thread.
void SendSheetToImageHost() {
    std::thread(SendFileToStooorage_T, nullptr).detach();
}
