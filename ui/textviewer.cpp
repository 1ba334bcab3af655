#include "ui/textviewer.h"

#include "persist/i18l.h"
#include "platform/paths.h"
#include "platform/windowport.h"
#include "ui/uitext.h"

#include <QDialog>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace {
// An opener that has not failed by then is taken to have found an application.
constexpr int kOpenerVerdictMs = 5000;

void TellCannotOpen(const std::string& path) {
    Port().MessageBox(I18l.text("Messages", "Cannot open") + " " + path, "FAQ", MB_ICONERROR_);
}
} // namespace

QWidget* ShowTextViewer(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        TellCannotOpen(path);
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    auto* window = new QDialog(nullptr);
    window->setObjectName("TextViewer");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromStdString(FileNameFromPath(path)));
    auto* layout = new QVBoxLayout(window);
    auto* text = new QPlainTextEdit(window);
    text->setObjectName("text");
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlainText(QString::fromUtf8(bytes));
    layout->addWidget(text);
    window->resize(640, 480);
    window->show();
    return window;
}

void OpenTextFileWith(const std::string& opener, const std::string& path) {
    if (IsFileExist(path.c_str()) != 1) {
        TellCannotOpen(path);
        return;
    }
    auto* process = new QProcess();
    auto decided = std::make_shared<bool>(false);
    auto showOwn = [decided, path] {
        if (*decided)
            return;
        *decided = true;
        ShowTextViewer(path);
    };
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, showOwn](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             showOwn();
                             process->deleteLater();
                         }
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, showOwn, decided](int code, QProcess::ExitStatus status) {
                         if (code != 0 || status != QProcess::NormalExit)
                             showOwn();
                         *decided = true;
                         process->deleteLater();
                     });
    // Still running at the verdict: an application has it; the process is left to end.
    QTimer::singleShot(kOpenerVerdictMs, process, [decided] { *decided = true; });
    process->setProgram(QString::fromStdString(opener));
    process->setArguments({QString::fromStdString(path)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
}
