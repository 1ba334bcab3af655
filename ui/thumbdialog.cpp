#include "ui/thumbdialog.h"

#include "persist/thumbsettings.h"
#include "ui/uitext.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

namespace {
QLineEdit* NumberField(QWidget* parent, int id, int value, int y, const char* label) {
    auto* text = new QLabel(UiText("Dialog.Thumbnails", label), parent);
    text->setGeometry(10, y + 3, 90, 18);
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(QString::number(id));
    edit->setGeometry(100, y, 80, 22);
    return edit;
}

// "%d": a field that holds no number leaves the value as it was.
void ReadNumber(QLineEdit* edit, int& value) {
    int number = 0;
    if (std::sscanf(edit->text().toLocal8Bit().constData(), "%d", &number) == 1)
        value = number;
}
} // namespace

InitProcThumbnails::InitProcThumbnails(QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText("Dialog.Thumbnails", "Thumbnails"));
    width_ = NumberField(this, 109, DialogThumb.width, 10, "Image width");
    across_ = NumberField(this, 110, DialogThumb.across, 38, "Rows");
    down_ = NumberField(this, 111, DialogThumb.down, 66, "Columns");
    send_ = new QCheckBox(UiText("Dialog.Thumbnails", "Send to web"), this);
    send_->setObjectName("190");
    send_->setGeometry(10, 96, 170, 20);
    send_->setChecked(DialogThumb.sendToWeb != 0);
    auto* ok = new QPushButton(UiText("Dialog.Thumbnails", "OK"), this);
    ok->setObjectName("103");
    ok->setGeometry(60, 124, 70, 24);
    connect(ok, &QPushButton::clicked, this, &InitProcThumbnails::Ok);
    setFixedSize(190, 158);
}

void InitProcThumbnails::Ok() {
    ReadNumber(width_, DialogThumb.width);
    ReadNumber(across_, DialogThumb.across);
    ReadNumber(down_, DialogThumb.down);
    DialogThumb.sendToWeb = send_->isChecked() ? 1 : 0;
    done(1);
}

int RunThumbDialog(QWidget* parent) {
    InitProcThumbnails dialog(parent);
    return dialog.exec() == 1 ? 1 : 0;
}
