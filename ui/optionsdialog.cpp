#include "ui/optionsdialog.h"

#include "online/osrestsettings.h"
#include "platform/statefolder.h"
#include "platform/windowport.h"
#include "ui/osrestoptions.h"
#include "ui/uitext.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {
constexpr const char* kSection = "Dialog.Options";
void (*g_observer)(OptionsDialog& dialog) = nullptr;

QString Id(int control) {
    return QString::number(control);
}
} // namespace

OptionsDialog::OptionsDialog() {
    setWindowTitle(UiText(kSection, "Dialog"));
    auto* outer = new QGridLayout(this);
    auto* tabs = new QTabWidget(this);
    auto* general = new QWidget(tabs);
    auto* grid = new QGridLayout(general);
    auto* group = new QGroupBox(UiText("Dialog.Options.Group", "Opensubtitles"), general);
    auto* inner = new QGridLayout(group);
    auto* upload =
        new QCheckBox(UiText(kSection, "Upload subtitles to OpenSubtitles automatically"), group);
    auto* autoloaded =
        new QCheckBox(UiText(kSection, "also upload automatic loaded subtitles"), group);
    auto* remember = new QCheckBox(UiText(kSection, "Save last movie position"), general);
    auto* login = new QLineEdit(group);
    auto* password = new QLineEdit(group); // shown in clear text, as the settings keep it
    auto* openSubtitles = new QPushButton(UiText(kSection, "OpenSubtitles"), group);
    auto* loginLabel = new QLabel(UiText(kSection, "Login:"), group);
    auto* passLabel = new QLabel(UiText(kSection, "Pass:"), group);
    auto* ok = new QPushButton(UiText(kSection, "OK"), this);
    auto* cancel = new QPushButton(UiText(kSection, "Cancel"), this);
    login->setMaxLength(static_cast<int>(kOptinsTextLimit));
    password->setMaxLength(static_cast<int>(kOptinsTextLimit));
    inner->addWidget(upload, 0, 0, 1, 2);
    inner->addWidget(autoloaded, 1, 0, 1, 2);
    inner->addWidget(loginLabel, 2, 0);
    inner->addWidget(login, 2, 1);
    inner->addWidget(passLabel, 3, 0);
    inner->addWidget(password, 3, 1);
    inner->addWidget(openSubtitles, 4, 0);
    grid->addWidget(group, 0, 0, 1, 2);
    grid->addWidget(remember, 1, 0, 1, 2);
    rest_ = new OSRestOptionsTab(login, password, tabs);
    rest_->Fill(CurrentOSRestSettings());
    tabs->addTab(general, UiText(kSection, "General"));
    tabs->addTab(rest_, UiText(kSection, "OpenSubtitles.com"));
    outer->addWidget(tabs, 0, 0, 1, 2);
    outer->addWidget(ok, 1, 0);
    outer->addWidget(cancel, 1, 1);

    controls_ = {{IDC_OPT_OK, ok},
                 {IDC_OPT_CANCEL, cancel},
                 {1002, openSubtitles},
                 {IDC_OPT_LOGIN, login},
                 {IDC_OPT_UPLOAD_AUTO, upload},
                 {IDC_OPT_UPLOAD_AUTOLOADED, autoloaded},
                 {IDC_OPT_REMEMBER_POSITIONS, remember},
                 {1008, loginLabel},
                 {1009, passLabel},
                 {IDC_OPT_PASSWORD, password}};
    for (auto& [id, widget] : controls_)
        widget->setObjectName(Id(id));

    connect(upload, &QCheckBox::clicked, this, [this] { Press(IDC_OPT_UPLOAD_AUTO); });
    connect(ok, &QPushButton::clicked, this, [this] { Press(IDC_OPT_OK); });
    connect(cancel, &QPushButton::clicked, this, [this] { Press(IDC_OPT_CANCEL); });
    Optins1.fillDialog(*this);
}

void OptionsDialog::Press(int command) {
    if (command == IDC_OPT_UPLOAD_AUTO) {
        OptinsUploadAutoClicked(*this);
        return;
    }
    if (command == IDC_OPT_OK) {
        // The engine's settings are stored at once: the workers read them from the file.
        if (!WriteOSRestSettings(SettingsFilePath(), rest_->Settings()))
            Port().MessageBox(I18l.text(kSection, "Cannot write") + " " + SettingsFilePath(),
                              I18l.text(kSection, "Error"), MB_OK_);
        done(OptinsAccept(*this, Optins1));
        return;
    }
    if (int code = OptinsEndCode(command))
        done(code);
}

void OptionsDialog::SetChecked(int control, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(controls_[control]))
        box->setChecked(checked);
}

bool OptionsDialog::IsChecked(int control) const {
    auto it = controls_.find(control);
    auto* box = it == controls_.end() ? nullptr : qobject_cast<QCheckBox*>(it->second);
    return box != nullptr && box->isChecked();
}

void OptionsDialog::SetEnabled(int control, bool enabled) {
    if (QWidget* widget = controls_[control])
        widget->setEnabled(enabled);
}

void OptionsDialog::SetText(int control, const std::string& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(controls_[control]))
        edit->setText(QString::fromStdString(text));
}

std::string OptionsDialog::Text(int control) const {
    auto it = controls_.find(control);
    auto* edit = it == controls_.end() ? nullptr : qobject_cast<QLineEdit*>(it->second);
    return edit != nullptr ? edit->text().toStdString() : std::string();
}

int StartOptinsDialog() {
    OptionsDialog dialog;
    if (g_observer != nullptr) {
        // The observer runs once the dialog's own event loop is going.
        QTimer::singleShot(0, &dialog, [&dialog] { g_observer(dialog); });
    }
    int code = dialog.exec();
    // Escape and the close box end the dialog without a command of their own.
    return code == QDialog::Rejected ? IDC_OPT_CLOSE : code;
}

void SetOptionsDialogObserver(void (*observer)(OptionsDialog& dialog)) {
    g_observer = observer;
}
