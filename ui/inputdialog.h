#pragma once
// The one-line input dialog of the RAR password ("Password", preset "PASS") and of the
// address to open ("Open URL", preset "http://"): edit 109 and button 103 "OK". Enter confirms
// only once the field has changed; "OK" copies at most 499 characters into buf6.
#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

class InitProc2 : public QDialog {
    Q_OBJECT
  public:
    InitProc2(const std::string& caption, const std::string& preset);

  private:
    void Ok();
    QLineEdit* edit_;
    QPushButton* ok_;
};

// Shows the dialog modally: 1 when "OK" ended it (the text is in buf6), 0 when it was closed.
int RunInitProc2(const std::string& caption, const std::string& preset);
