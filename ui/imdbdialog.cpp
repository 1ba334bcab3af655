#include "ui/imdbdialog.h"

#include "ui/mainwindow.h"
#include "ui/uitext.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace IMDBdialog {
std::vector<std::string> titleList;
std::vector<std::string> titleID;
std::string zwrot;
} // namespace IMDBdialog

namespace {
constexpr int kNumberLimit = 1000;
} // namespace

IMDBnumberWinProc::IMDBnumberWinProc(QWidget* parent) : QDialog(parent) {
    setObjectName("2003");
    setWindowTitle(UiText("Dialog.IMDB", "Need IMDB Number"));
    auto* numberLabel = new QLabel(UiText("Dialog.IMDB", "IMDB Number"), this);
    numberLabel->setGeometry(7, 7, 250, 16);
    number_ = new QLineEdit(this);
    number_->setObjectName("1001");
    number_->setMaxLength(kNumberLimit);
    number_->setGeometry(7, 25, 250, 22);
    auto* listLabel = new QLabel(UiText("Dialog.IMDB", "Proposition"), this);
    listLabel->setGeometry(7, 53, 250, 16);
    list_ = new QComboBox(this);
    list_->setObjectName("1000");
    list_->setGeometry(7, 71, 250, 22);
    for (const std::string& title : IMDBdialog::titleList)
        list_->addItem(QString::fromStdString(title));
    list_->setCurrentIndex(-1);
    auto* ok = new QPushButton(UiText("Dialog.IMDB", "OK"), this);
    ok->setObjectName("1");
    ok->setGeometry(95, 103, 75, 23);
    ok->setDefault(true);
    setFixedSize(264, 134);
    connect(list_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && size_t(index) < IMDBdialog::titleID.size())
            number_->setText(QString::fromStdString(IMDBdialog::titleID[size_t(index)]));
    });
    connect(ok, &QPushButton::clicked, this, &IMDBnumberWinProc::Ok);
}

void IMDBnumberWinProc::Ok() {
    IMDBdialog::zwrot = number_->text().toStdString();
    accept();
}

void IMDBnumberWinProc::reject() {
    IMDBdialog::zwrot.clear();
    QDialog::reject();
}

std::string GetIMDBnumber(const std::vector<std::string>& titles,
                          const std::vector<std::string>& numbers) {
    IMDBdialog::titleList = titles;
    IMDBdialog::titleID = numbers;
    IMDBdialog::zwrot.clear();
    IMDBnumberWinProc dialog(GlobalH);
    dialog.exec();
    return IMDBdialog::zwrot;
}
