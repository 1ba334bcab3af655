// Full screen, compact mode and the subtitle size dialog: the ways the video window leaves and
// rejoins the main window.
#include "persist/settings.h"
#include "platform/statefolder.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "ui/mainwindow.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/videorules.h"
#include "ui/videowindow.h"

#include <QScreen>

namespace {

void BackIntoMainWindow(VideoWindow* video) {
    video->setParent(GlobalH->VideoParent(), Qt::Widget);
    video->show();
}

} // namespace

void GotoFullscreen() {
    static int czyfull = 0;
    if (!Mp1.IsUseGLDriver()) {
        // The player switches its own window and answers with VO_FULLSCREEN=.
        SendCommand("pausing_keep vo_fullscreen");
        return;
    }
    // In the OpenGL modes of the Movie menu the player has no window of ours: only the
    // command takes effect.
    VideoWindow* video = GlobalH != nullptr && Mp1.videoWindow != 0 ? GlobalH->VideoWin() : nullptr;
    if (czyfull == 0) {
        if (video != nullptr) {
            QRect screen = video->screen()->geometry();
            video->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
            video->setGeometry(screen);
            video->show();
        }
        Mp1.fullScreen = true;
        czyfull = 1;
    } else {
        if (video != nullptr) {
            GlobalH->show();
            BackIntoMainWindow(video);
            GlobalH->show();
            video->setGeometry(myrect1.x, myrect1.y, myrect1.width, myrect1.height);
        }
        Mp1.fullScreen = false;
        czyfull = 0;
    }
    SendCommand("pausing_keep vo_fullscreen");
}

void ToggleCompact() {
    if (GlobalH == nullptr)
        return;
    VideoWindow* video = GlobalH->VideoWin();
    if (stan_oncompact == 1) {
        GlobalH->hide();
        // A frame to size it by, no caption.
        video->setParent(nullptr, Qt::Window | Qt::CustomizeWindowHint);
        video->setGeometry(20, 20, 60, 60);
        video->show();
    } else {
        GlobalH->show();
        BackIntoMainWindow(video);
        GlobalH->resize(400, 200);
    }
    stan_oncompact = 1 - stan_oncompact;
}

void statujFont() {
    float size = fontsize;
    if (!Hooks().chooseFontSize(size))
        return;
    fontsize = size;
    Mp1.init();
    WriteFontSize(SettingsFilePath());
    Mp1.LanchAspect("  ");
}
