#include "ui/uploadcommands.h"

#include "online/osupload.h"
#include "online/subautoupload.h"
#include "persist/i18l.h"
#include "persist/optins.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"
#include "ui/imdbdialog.h"
#include "ui/onlinewait.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace {
std::string UploadWaitText() {
    return I18l.text("Messages", "Please wait. Upload Subtitle");
}

// The second half, once the user confirmed a number: language, then the upload.
void FinishUserUpload(std::shared_ptr<OShelpFunctions> os, std::shared_ptr<UploadResult> r) {
    r->messages.clear();
    RunOnlineWithWait(
        UploadWaitText(), [=] { UploadSecondPart(*os, UploadWho::User, *r); },
        [=](bool cancelled) {
            OS = *os;
            if (!cancelled && !r->cancelled)
                ShowOnlineMessages(r->messages);
        });
}
} // namespace

void sendsubtitlesByUser() {
    UploadRequest request;
    request.who = UploadWho::User;
    request.subtitle = getSubtitle();
    request.movie = Mp1.MovieFileSnapshot();
    request.login = Optins1.login;
    request.pass = Optins1.password;
    // The worker has its own copy; the window takes it back as OS when the work is done.
    auto os = std::make_shared<OShelpFunctions>(OS);
    auto r = std::make_shared<UploadResult>();
    RunOnlineWithWait(
        UploadWaitText(), [=] { *r = UploadFirstPart(*os, request); },
        [=](bool cancelled) {
            OS = *os;
            if (cancelled || r->cancelled)
                return;
            ShowOnlineMessages(r->messages);
            if (!r->needImdb)
                return;
            std::string number = GetIMDBnumber(os->imdbTitles, os->imdbIds);
            if (number.empty()) {
                Port().MessageBox(I18l.text("Messages", "No upload!\nIMDB number need to upload!"),
                                  "", MB_OK_);
                return;
            }
            os->idmovieimdb = number;
            FinishUserUpload(os, r);
        });
}

void MenuUploadActualSubtitle() {
    sendsubtitlesByUser();
}

void InstallUploadTimer(QWidget* window) {
    auto* timer = new QTimer(window);
    timer->setObjectName("timer2");
    timer->setSingleShot(false);
    QObject::connect(timer, &QTimer::timeout, timer, [] { SubAutoUploadOS1.run(); });
    QPointer<QTimer> guard(timer);
    // The player-output thread restarts the timer too: the calls go to the window's thread.
    SubAutoUploadOS1.startTimer = [guard](int ms) {
        if (QTimer* t = guard.data())
            QMetaObject::invokeMethod(t, [t, ms] { t->start(ms); });
    };
    SubAutoUploadOS1.killTimer = [guard] {
        if (QTimer* t = guard.data())
            QMetaObject::invokeMethod(t, [t] { t->stop(); });
    };
    QObject::connect(timer, &QObject::destroyed, [] {
        SubAutoUploadOS1.startTimer = nullptr;
        SubAutoUploadOS1.killTimer = nullptr;
        SubAutoUploadOS1.timerActive = 0;
    });
}
