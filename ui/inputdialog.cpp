#include "ui/inputdialog.h"

#include "rar/streaming.h"
#include "ui/uitext.h"

#include <QLineEdit>
#include <QPushButton>
#include <cstring>

namespace {
constexpr size_t kTextLimit = 499;
} // namespace

InitProc2::InitProc2(const std::string& caption, const std::string& preset) {
    // The callers name the dialog by its English caption.
    setWindowTitle(UiText("Dialog.Input", caption.c_str()));
    edit_ = new QLineEdit(QString::fromStdString(preset), this);
    edit_->setObjectName("109");
    edit_->setGeometry(7, 7, 186, 20);
    ok_ = new QPushButton(UiText("Dialog.Input", "OK"), this);
    ok_->setObjectName("103");
    ok_->setGeometry(65, 35, 70, 23);
    // Not the default until the field changes, so an early Enter confirms nothing.
    ok_->setAutoDefault(false);
    ok_->setDefault(false);
    setFixedSize(200, 66);
    connect(edit_, &QLineEdit::textChanged, this, [this] { ok_->setDefault(true); });
    connect(ok_, &QPushButton::clicked, this, &InitProc2::Ok);
}

void InitProc2::Ok() {
    std::string text = edit_->text().toStdString().substr(0, kTextLimit);
    std::memcpy(buf6, text.c_str(), text.size() + 1);
    done(1);
}

int RunInitProc2(const std::string& caption, const std::string& preset) {
    InitProc2 dialog(caption, preset);
    return dialog.exec() == 1 ? 1 : 0;
}
