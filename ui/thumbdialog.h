#pragma once
// "DIALOG_THUMB": the width of a thumbnail sheet, the frames across ("Rows") and down
// ("Columns"), and whether the sheet goes to the image host, kept in DialogThumb.
#include <QDialog>

class QCheckBox;
class QLineEdit;

class InitProcThumbnails : public QDialog {
  public:
    explicit InitProcThumbnails(QWidget* parent = nullptr);

  private:
    void Ok();
    QLineEdit* width_;
    QLineEdit* across_;
    QLineEdit* down_;
    QCheckBox* send_;
};

// Shows the dialog modally; 1 after "OK" (DialogThumb updated), 0 when it was closed.
int RunThumbDialog(QWidget* parent);
