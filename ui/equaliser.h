#pragma once
// The video equaliser: a modeless panel of sliders that set player properties directly
// (trackbars 0 to 7, each named by its property), trackbar 90 for the aspect ratio, and two
// buttons that restart the player with a sharpening (103) or an eq2 filter (104). The panel
// and its controls are painted in the key colour.
#include <QDialog>

class QSlider;

class InitProc3 : public QDialog {
    Q_OBJECT
  public:
    explicit InitProc3(QWidget* owner);

    QSlider* Trackbar(int id) const;
    // The captions from the language file in force (when the panel is made and each time it
    // is shown, so that a language chosen meanwhile reaches it).
    void Translate();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void PropertyMoved(QSlider* slider);
    void SharpenNow();
    void Gamma();
};

// Creates the equaliser on its first call; shows it when its visibility flag is 1 and hides it
// otherwise, then flips the flag. Returns the flag as it was.
int ButionPokretla();
// The equaliser once created (it goes with the main window that owns it), else nullptr.
InitProc3* EqualiserDialog();
