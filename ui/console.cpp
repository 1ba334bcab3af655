#include "ui/console.h"

#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "ui/mainwindow.h"
#include "ui/uitext.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <cstring>

char szText[256];

namespace {
// How often the open console looks for new player lines.
constexpr int kRefreshMs = 100;
} // namespace

ConsoleWndProc::ConsoleWndProc(QWidget* owner) : QDialog(owner) {
    setWindowTitle(UiText("Dialog.Console", "CONSOLA"));
    transcript_ = new QPlainTextEdit(UiText("Dialog.Console", "consola mplayera"), this);
    transcript_->setObjectName("119");
    transcript_->setReadOnly(true);
    command_ = new QLineEdit("volume 1", this);
    command_->setObjectName("102");
    send_ = new QPushButton(UiText("Dialog.Console", "&Send"), this);
    send_->setObjectName("118");
    connect(send_, &QPushButton::clicked, this, &ConsoleWndProc::Send);
    resize(400, 300);
    Refresh();
    connect(&refresh_, &QTimer::timeout, this, &ConsoleWndProc::Refresh);
    refresh_.start(kRefreshMs);
}

void ConsoleWndProc::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    transcript_->setGeometry(0, 0, w, std::max(0, h - 20));
    command_->setGeometry(0, h - 20, std::max(0, w - 30), 20);
    send_->setGeometry(w - 30, h - 20, 30, 20);
}

void ConsoleWndProc::Send() {
    std::string text = command_->text().toStdString().substr(0, sizeof szText - 1);
    std::memcpy(szText, text.c_str(), text.size() + 1);
    SendCommand(szText);
    // The answer arrives through the reader thread; the refresh timer shows it.
    Refresh();
}

void ConsoleWndProc::Refresh() {
    std::string text = Mp1.ConsoleTextSnapshot();
    if (text.size() == shown_)
        return;
    shown_ = text.size();
    // Player lines keep their carriage returns; the edit wants plain line feeds.
    QString shown = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace("\r\n", "\n").replace('\r', '\n');
    transcript_->setPlainText(shown);
    transcript_->verticalScrollBar()->setValue(transcript_->verticalScrollBar()->maximum());
}

void ShowConsole() {
    ConsoleWndProc console(GlobalH);
    console.exec();
}
