#pragma once
// The options dialog (resource 2002): the OpenSubtitles account and upload choices. What is
// ticked, enabled and stored is decided by the Optins logic; this is only its window.
#include "persist/optins.h"

#include <QDialog>
#include <map>

class QAbstractButton;
class QWidget;
class OSRestOptionsTab;

class OptionsDialog : public QDialog, public OptinsDialogView {
    Q_OBJECT
  public:
    OptionsDialog();

    void SetChecked(int control, bool checked) override;
    bool IsChecked(int control) const override;
    void SetEnabled(int control, bool enabled) override;
    void SetText(int control, const std::string& text) override;
    std::string Text(int control) const override;
    // Presses a button of the dialog by its command (3 OK, 2 close, 4 Cancel, 1004 ...).
    void Press(int command);

    OSRestOptionsTab* RestTab() const { return rest_; }

  private:
    std::map<int, QWidget*> controls_;
    OSRestOptionsTab* rest_ = nullptr;
};

// Shows the dialog modally; returns its end code (3 after OK, 2 when left unchanged).
int StartOptinsDialog();
// Called with each options dialog as it opens (tests answer it).
void SetOptionsDialogObserver(void (*observer)(OptionsDialog& dialog));
