#include "ui/onlinewait.h"

#include "online/onlinetask.h"
#include "platform/windowport.h"
#include "ui/mainwindow.h"
#include "ui/uitext.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kDialogDelayMs = 1000;
constexpr int kProgressPollMs = 100;

std::shared_ptr<OnlineTask> gTask;
QPointer<QDialog> gDialog;
QPointer<QTimer> gDialogTimer;

void ShowCancelDialog(const std::string& waitText,
                      const std::shared_ptr<const std::atomic<int>>& progress) {
    if (!gTask)
        return;
    auto* dialog = new QDialog(GlobalH);
    dialog->setObjectName("OnlineWait");
    dialog->setWindowTitle(UiText("Dialog.Wait", "Please wait"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QString::fromStdString(waitText), dialog));
    if (progress) {
        auto* bar = new QProgressBar(dialog);
        bar->setObjectName("Progress");
        bar->setRange(0, 1000);
        bar->setValue(progress->load());
        layout->addWidget(bar);
        auto* poll = new QTimer(dialog);
        QObject::connect(poll, &QTimer::timeout, bar,
                         [bar, progress] { bar->setValue(progress->load()); });
        poll->start(kProgressPollMs);
    }
    auto* cancel = new QPushButton(UiText("Dialog.Wait", "Cancel"), dialog);
    cancel->setObjectName("Cancel");
    layout->addWidget(cancel);
    QObject::connect(cancel, &QPushButton::clicked, dialog, [] { CancelOnlineExchange(); });
    QObject::connect(dialog, &QDialog::rejected, dialog, [] { CancelOnlineExchange(); });
    gDialog = dialog;
    dialog->show();
}

void EndWait() {
    if (gDialogTimer)
        delete gDialogTimer.data();
    if (gDialog) {
        QDialog* dialog = gDialog.data();
        gDialog = nullptr;
        dialog->blockSignals(true);
        dialog->close();
    }
    QApplication::restoreOverrideCursor();
}
} // namespace

bool RunOnlineWithWait(const std::string& waitText, std::function<void()> work,
                       std::function<void(bool cancelled)> apply,
                       std::shared_ptr<const std::atomic<int>> progress) {
    if (gTask) {
        Port().MessageBox(waitText, I18l.text("Dialog.Wait", "Please wait"), MB_OK_);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto* timer = new QTimer(GlobalH);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, waitText, progress] {
        ShowCancelDialog(waitText, progress);
        timer->deleteLater();
    });
    gDialogTimer = timer;
    timer->start(kDialogDelayMs);
    gTask = OnlineTask::Start(std::move(work), [apply = std::move(apply)](bool cancelled) {
        EndWait();
        gTask.reset();
        apply(cancelled);
    });
    return true;
}

bool OnlineExchangeRunning() {
    return gTask != nullptr;
}

void CancelOnlineExchange() {
    if (gTask)
        gTask->Cancel();
}

void EndOnlineExchangeForExit() {
    if (!gTask)
        return;
    gTask->Cancel();
    for (int i = 0; i < 50 && !gTask->Finished(); ++i)
        QThread::msleep(10);
    EndWait();
}
