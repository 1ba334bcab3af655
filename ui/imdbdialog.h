#pragma once
// The "Need IMDB Number" dialog of the user's subtitle upload: the search's proposals in a
// drop-down list (1000) whose choice puts its number into the text field (1001), where the
// user may also type one; OK (1) answers the field, Escape answers "".
#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace IMDBdialog {
extern std::vector<std::string> titleList;
extern std::vector<std::string> titleID;
extern std::string zwrot;
} // namespace IMDBdialog

class IMDBnumberWinProc : public QDialog {
    Q_OBJECT
  public:
    explicit IMDBnumberWinProc(QWidget* parent);

  private:
    void Ok();
    void reject() override;
    QComboBox* list_;
    QLineEdit* number_;
};

// Shows the dialog (modal, owned by the main window) and returns the confirmed number.
std::string GetIMDBnumber(const std::vector<std::string>& titles,
                          const std::vector<std::string>& numbers);
