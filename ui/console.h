#pragma once
// The console: the transcript of the player run (edit 119), a field for a slave command
// (102, preset "volume 1") and "&Send" (118). The transcript follows the player's lines while
// the console is open.
#include <QDialog>
#include <QTimer>

class QPlainTextEdit;
class QLineEdit;
class QPushButton;

class ConsoleWndProc : public QDialog {
    Q_OBJECT
  public:
    explicit ConsoleWndProc(QWidget* owner);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Send();
    // Shows the transcript again when it has grown since it was last shown.
    void Refresh();
    QPlainTextEdit* transcript_;
    QLineEdit* command_;
    QPushButton* send_;
    QTimer refresh_;
    size_t shown_ = static_cast<size_t>(-1);
};

// The command typed in the console (at most 255 characters).
extern char szText[256];

// Shows the console modally over the main window (commands 1054 and 2302).
void ShowConsole();
