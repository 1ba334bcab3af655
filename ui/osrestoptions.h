#pragma once
// The "OpenSubtitles.com" tab of the options dialog: the engine, the REST API's key, address
// and agent, the account (the same Login and Pass as the first tab, kept in step), and a
// "Test" button that logs in on a worker and shows the downloads left.
#include "online/onlinetask.h"
#include "online/osrestsettings.h"

#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class OSRestOptionsTab : public QWidget {
    Q_OBJECT
  public:
    // `login` and `password` are the first tab's fields, mirrored here.
    OSRestOptionsTab(QLineEdit* login, QLineEdit* password, QWidget* parent);
    ~OSRestOptionsTab() override;

    void Fill(const OSRestSettings& settings);
    OSRestSettings Settings() const;
    // The Test button: runs the check, the answer comes into the result label.
    void Test();

  private:
    QComboBox* engine_;
    QLineEdit* apiKey_;
    QLineEdit* apiUrl_;
    QLineEdit* userAgent_;
    QLineEdit* login_;
    QLineEdit* password_;
    QPushButton* test_;
    QLabel* result_;
    std::shared_ptr<OnlineTask> task_;
};
