#include "ui/uihooks.h"

#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "ui/inputdialog.h"
#include "ui/textviewer.h"
#include "ui/uitext.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>
#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace {

int QtMessageBox(const std::string& text, const std::string& caption, int flags) {
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    int icon = flags & 0xF0;
    box.setIcon(icon == MB_ICONERROR_         ? QMessageBox::Critical
                : icon == MB_ICONWARNING_     ? QMessageBox::Warning
                : icon == MB_ICONQUESTION_    ? QMessageBox::Question
                : icon == MB_ICONINFORMATION_ ? QMessageBox::Information
                                              : QMessageBox::NoIcon);
    if (flags & MB_YESNO_) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? IDYES_ : IDNO_;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return IDOK_;
}

QStringList NameFilters(const std::vector<FileFilter>& filters) {
    QStringList parts;
    for (const FileFilter& filter : filters) {
        QString patterns = QString::fromStdString(filter.patterns);
        patterns.replace(';', ' ');
        // The descriptions are English texts; the language file names them for the user.
        QString description = QString::fromStdString(filter.description).trimmed();
        parts << UiText("Dialog.Files", description.toStdString().c_str()) + " (" + patterns + ")";
    }
    return parts;
}

std::string QtOpenFile(const std::vector<FileFilter>& filters) {
    QFileDialog dialog(nullptr);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(filters));
    // The patterns were written for names compared without regard to case ("*.AVI").
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    // The dialogs start in the folder of the movie that plays: the next movie, its subtitles
    // and sheets usually lie there.
    QFileInfo movie(QString::fromStdString(Mp1.MovieFileSnapshot()));
    if (movie.isAbsolute() && movie.dir().exists())
        dialog.setDirectory(movie.dir());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return "";
    return dialog.selectedFiles().first().toStdString();
}

// The name is taken as typed: the caller decides about an extension.
std::string QtSaveFile(const std::vector<FileFilter>& filters) {
    QFileDialog dialog(nullptr);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(filters));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return "";
    return dialog.selectedFiles().first().toStdString();
}

// The font dialog starts from, and keeps, the previous choice; only its size is used.
bool QtChooseFontSize(float& size) {
    static QFont previous = [] {
        QFont font;
        font.setPointSizeF(16);
        return font;
    }();
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, previous, nullptr);
    if (!ok)
        return false;
    previous = chosen;
    size = static_cast<float>(std::lround(chosen.pointSizeF() * 10));
    return true;
}

void QtOpenDocument(const std::string& target) {
    QUrl url = QUrl::fromUserInput(QString::fromStdString(target));
    QDesktopServices::openUrl(url);
}

void QtRunProgram(const std::string& commandLine) {
    MySystem(commandLine.c_str());
}

void QtEndProcess(int code) {
    QApplication::exit(code);
}

// The player reads its commands from our pipe and stops at its end, and it would block on a
// full output pipe. A forked keeper inherits both ends and drains the output until the player
// is gone, so the player outlives this process. Only async-signal-safe calls in the child.
void QtEndLeavingPlayer(int code) {
    int output = PlayerOutputFd();
    if (output >= 0 && fork() == 0) {
        char buffer[4096];
        while (true) {
            ssize_t n = read(output, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
            if (n < 0 && errno == EAGAIN)
                usleep(100000);
        }
        _exit(0);
    }
    _exit(code);
}

void QtOpenTextFile(const std::string& path) {
    OpenTextFileWith("xdg-open", path);
}

UiHooks QtHooks() {
    return {QtMessageBox, QtOpenFile,   RunInitProc2,       QtChooseFontSize, QtOpenDocument,
            QtRunProgram, QtEndProcess, QtEndLeavingPlayer, QtOpenTextFile,   QtSaveFile};
}

UiHooks g_hooks = QtHooks();

} // namespace

UiHooks& Hooks() {
    return g_hooks;
}

void ResetHooks() {
    g_hooks = QtHooks();
}
