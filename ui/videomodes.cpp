// Full screen, compact mode and the subtitle size dialog: the ways the video window leaves and
// rejoins the main window.
#include "platform/statefolder.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/settings.h"
#include "ui/mainwindow.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/videoholder.h"
#include "ui/videorules.h"
#include "ui/videowindow.h"

#include <QScreen>

void GotoFullscreen() {
    static int czyfull = 0;
    if (!Mp1.IsUseGLDriver()) {
        const bool wanted = !VideoFullScreenShown();
        if (PlayerRunning() && Mp1.fullScreen != wanted) {
            // The answer, VO_FULLSCREEN=, carries the switch out.
            SendCommand("pausing_keep vo_fullscreen");
            return;
        }
        if (!PlayerRunning())
            Mp1.fullScreen = wanted; // the next player starts in the same state
        ApplyFullScreen(wanted);
        return;
    }
    // In the OpenGL modes of the Movie menu the player has no window of ours: only the
    // command takes effect.
    VideoWindow* video = GlobalH != nullptr && Mp1.videoWindow != 0 ? GlobalH->VideoWin() : nullptr;
    if (czyfull == 0) {
        if (video != nullptr) {
            VideoHolder* holder = GlobalH->Holder(VideoHolder::Kind::FullScreen);
            holder->setGeometry(GlobalH->screen()->geometry());
            holder->Take(video);
            holder->show();
        }
        Mp1.fullScreen = true;
        czyfull = 1;
    } else {
        if (video != nullptr) {
            GlobalH->show();
            GlobalH->EmbedVideo();
            GlobalH->Holder(VideoHolder::Kind::FullScreen)->hide();
            video->setGeometry(myrect1.x, myrect1.y, myrect1.width, myrect1.height);
        }
        Mp1.fullScreen = false;
        czyfull = 0;
    }
    SendCommand("pausing_keep vo_fullscreen");
}

bool VideoFullScreenShown() {
    return GlobalH != nullptr && !Mp1.IsUseGLDriver() &&
           GlobalH->Holder(VideoHolder::Kind::FullScreen)->isVisible();
}

void ApplyFullScreen(bool on) {
    if (GlobalH == nullptr || Mp1.IsUseGLDriver() || Mp1.videoWindow == 0)
        return;
    VideoHolder* full = GlobalH->Holder(VideoHolder::Kind::FullScreen);
    if (on == full->isVisible())
        return;
    VideoWindow* video = GlobalH->VideoWin();
    if (on) {
        // The screen of the window the picture is in now.
        QWidget* from = video->window();
        full->setGeometry(from->screen()->geometry());
        full->Take(video);
        full->showFullScreen();
        full->raise();
        full->activateWindow();
        full->PointerMoved();
        return;
    }
    // Back where it was: the floating window in compact mode, else the main window.
    if (stan_oncompact == 0) {
        VideoHolder* compact = GlobalH->Holder(VideoHolder::Kind::Compact);
        compact->Take(video);
        compact->activateWindow();
    } else {
        GlobalH->EmbedVideo();
        GlobalH->activateWindow();
    }
    full->hide();
    ShowCursorAgain();
}

void LeaveFullScreen() {
    if (!VideoFullScreenShown())
        return;
    ApplyFullScreen(false);
    if (PlayerRunning() && Mp1.fullScreen)
        SendCommand("pausing_keep vo_fullscreen");
}

void ToggleCompact() {
    if (GlobalH == nullptr)
        return;
    LeaveFullScreen();
    VideoWindow* video = GlobalH->VideoWin();
    VideoHolder* compact = GlobalH->Holder(VideoHolder::Kind::Compact);
    if (stan_oncompact == 1) {
        compact->setGeometry(20, 20, 60, 60);
        compact->Take(video);
        compact->show();
        GlobalH->hide();
    } else {
        GlobalH->show();
        GlobalH->EmbedVideo();
        GlobalH->resize(400, 200);
        compact->hide();
    }
    // On Top, once chosen, belongs to whichever window shows the picture now: a window shown
    // again has lost the window manager's state.
    if (stan_top == 0)
        SetStaysOnTop(stan_oncompact == 1 ? static_cast<QWidget*>(compact) : GlobalH, true);
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
