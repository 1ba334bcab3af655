#include "ui/osrestoptions.h"

#include "online/osrest.h"
#include "platform/windowport.h"
#include "ui/uitext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {
// The tab belongs to the options dialog and takes its texts from the dialog's section.
constexpr const char* kSection = "Dialog.Options";

// Two fields that show one value: an edit in either reaches the other.
void KeepInStep(QLineEdit* a, QLineEdit* b) {
    QObject::connect(a, &QLineEdit::textChanged, b, [b](const QString& text) {
        if (b->text() != text)
            b->setText(text);
    });
    QObject::connect(b, &QLineEdit::textChanged, a, [a](const QString& text) {
        if (a->text() != text)
            a->setText(text);
    });
}
} // namespace

OSRestOptionsTab::OSRestOptionsTab(QLineEdit* login, QLineEdit* password, QWidget* parent)
    : QWidget(parent) {
    setObjectName("OpenSubtitles.com");
    auto* form = new QFormLayout(this);
    engine_ = new QComboBox(this);
    engine_->setObjectName("OSEngine");
    engine_->addItem(UiText(kSection, "XML-RPC (opensubtitles.org)"), "xmlrpc");
    engine_->addItem(UiText(kSection, "REST API (opensubtitles.com)"), "rest");
    apiKey_ = new QLineEdit(this);
    apiKey_->setObjectName("OSApiKey");
    apiUrl_ = new QLineEdit(this);
    apiUrl_->setObjectName("OSApiUrl");
    apiUrl_->setPlaceholderText(kOSRestPublicUrl);
    userAgent_ = new QLineEdit(this);
    userAgent_->setObjectName("OSUserAgent");
    userAgent_->setPlaceholderText(QString::fromStdString(DefaultOSRestUserAgent()));
    login_ = new QLineEdit(this);
    login_->setObjectName("OSLogin");
    login_->setMaxLength(login->maxLength());
    login_->setText(login->text());
    password_ = new QLineEdit(this);
    password_->setObjectName("OSPass");
    password_->setMaxLength(password->maxLength());
    password_->setText(password->text());
    KeepInStep(login, login_);
    KeepInStep(password, password_);
    auto* where = new QLabel(
        QString("%1 <a href=\"%2\">%2</a>")
            .arg(UiText(kSection, "A free API key:").toHtmlEscaped(), kOSRestConsumersPage),
        this);
    where->setObjectName("OSKeyPage");
    connect(where, &QLabel::linkActivated, this,
            [](const QString& link) { Port().OpenWithDefaultApplication(link.toStdString()); });
    test_ = new QPushButton(UiText(kSection, "Test"), this);
    test_->setObjectName("OSTest");
    result_ = new QLabel(this);
    result_->setObjectName("OSTestResult");
    result_->setWordWrap(true);
    form->addRow(UiText(kSection, "Engine:"), engine_);
    form->addRow(UiText(kSection, "ApiKey:"), apiKey_);
    form->addRow(where);
    form->addRow(UiText(kSection, "ApiUrl:"), apiUrl_);
    form->addRow(UiText(kSection, "UserAgent:"), userAgent_);
    form->addRow(UiText(kSection, "Login:"), login_);
    form->addRow(UiText(kSection, "Pass:"), password_);
    form->addRow(test_, result_);
    connect(test_, &QPushButton::clicked, this, [this] { Test(); });
}

OSRestOptionsTab::~OSRestOptionsTab() {
    // A check still running is of no use once the dialog is gone.
    if (task_)
        task_->Cancel();
}

void OSRestOptionsTab::Fill(const OSRestSettings& settings) {
    engine_->setCurrentIndex(settings.Rest() ? 1 : 0);
    apiKey_->setText(QString::fromStdString(settings.apiKey));
    apiUrl_->setText(QString::fromStdString(settings.apiUrl));
    userAgent_->setText(QString::fromStdString(settings.userAgent));
}

OSRestSettings OSRestOptionsTab::Settings() const {
    OSRestSettings s;
    s.engine = engine_->currentData().toString().toStdString();
    s.apiKey = apiKey_->text().trimmed().toStdString();
    s.apiUrl = apiUrl_->text().trimmed().toStdString();
    s.userAgent = userAgent_->text().trimmed().toStdString();
    return s;
}

void OSRestOptionsTab::Test() {
    if (task_)
        return;
    OSRestSettings s = Settings();
    OSRestConfig config;
    config.apiUrl = EffectiveOSRestUrl(s);
    config.apiKey = s.apiKey;
    config.userAgent = EffectiveOSRestUserAgent(s);
    config.login = login_->text().toStdString();
    config.password = password_->text().toStdString();
    test_->setEnabled(false);
    result_->setText(UiText(kSection, "Please wait..."));
    auto check = std::make_shared<OSRestAccountCheck>();
    QPointer<OSRestOptionsTab> self(this);
    task_ = OnlineTask::Start([check, config] { *check = CheckOSRestAccount(config); },
                              [self, check](bool cancelled) {
                                  if (self == nullptr)
                                      return;
                                  self->task_.reset();
                                  self->test_->setEnabled(true);
                                  self->result_->setText(cancelled || check->cancelled
                                                             ? QString()
                                                             : QString::fromStdString(check->text));
                              });
}
