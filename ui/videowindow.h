#pragma once
// The video window: a native window whose X11 id the player is given with " -wid ". It is
// painted in the key colour, seeks on clicks near its bottom edge (with an optional drawn seek
// bar), turns the wheel into ten-second seeks, opens the main window's context menu, toggles
// full screen on a double click and lets a drag move the main window (or itself, when it
// floats in compact mode).
#include <QWidget>

class VideoWindow : public QWidget {
    Q_OBJECT
  public:
    explicit VideoWindow(QWidget* parent);

    // True while the seek preview bar is on screen.
    bool PseudoSliderDrawn() const { return pseudosliderdrawn_ != 0; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // A left button going down (`down`) or up at `x`, `y`.
    void LeftButton(bool down, int x, int y);
    void SeekClickAt(bool down, int x);
    void Drag();
    int cxClient_ = 0;
    int cyClient_ = 0;
    int ostatnioprzesunietyx_ = -1;
    int pseudosliderdrawn_ = 0;
    // The seek bar as drawn: its right end and its top (-1 = none).
    int barX_ = -1;
    int barTop_ = 0;
};

// The key colour the player's overlay shows through.
constexpr unsigned kKeyColour = 0x101010;

// Shows the mouse cursor again if a double click hid it.
void ShowCursorAgain();
// Hides the mouse cursor (coursorvisable becomes 0).
void HideCursor();

// Toggles full screen: the player's own switch, or with the OpenGL output the video window
// detached and spread over the screen (`czyfull`).
void GotoFullscreen();
// Compact mode (command 1053): the main window hidden and the video window floating on its
// own, or back.
void ToggleCompact();
// The subtitle size dialog: only the chosen size is used; cancelling changes nothing.
void statujFont();
