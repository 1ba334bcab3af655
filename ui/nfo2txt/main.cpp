// NFO2TXT: shows a .nfo file, read-only, in a monospace font, decoded as code page 437.
#include "ui/nfo2txt/cp437.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    // .nfo files are a few kilobytes; a bigger file is not an .nfo and is shown in part.
    QByteArray data = file.read(4 * 1024 * 1024);
    QPlainTextEdit view;
    view.setReadOnly(true);
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view.setPlainText(DecodeCp437(data.toStdString()));
    view.setWindowTitle(QFileInfo(file).fileName());
    view.resize(680, 600);
    view.show();
    return app.exec();
}
