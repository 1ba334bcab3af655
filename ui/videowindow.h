#pragma once
// The video window: a native window whose X11 id the player is given with " -wid ". It is
// painted in the key colour, seeks on clicks near its bottom edge (with an optional drawn seek
// bar), turns the wheel into ten-second seeks, opens the main window's context menu, toggles
// full screen on a double click and lets a drag move the main window (or itself, when it
// floats in compact mode).
#include <QTimer>
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

  private:
    // A left button going down (`down`) or up at `x`, `y`.
    void LeftButton(bool down, int x, int y);
    void SeekClickAt(bool down, int x);
    // Hands a drag that began at `globalPos` to the window manager.
    void Drag(QPoint globalPos);
    int cxClient_ = 0;
    int cyClient_ = 0;
    int ostatnioprzesunietyx_ = -1;
    int pseudosliderdrawn_ = 0;
    // A moment after a size change the player has drawn at the new size; what it drew at the
    // old one outside the new picture is painted over then.
    QTimer repaintAfterResize_;
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

// Toggles full screen. The player is asked to switch ("vo_fullscreen") and its answer
// (ApplyFullScreen) moves the picture: mplayer cannot make a window it was given full screen
// itself. With no player to answer, or one that already is in the wanted state, the switch
// is made at once. With the OpenGL output the video window is spread over the screen
// (`czyfull`) and the player is only told.
void GotoFullscreen();
// Carries out the player's full-screen state: the video window covers the screen the main
// window is on, or goes back where it was, at its size. Nothing happens when the picture is
// already so, or when the player does not draw into our window.
void ApplyFullScreen(bool on);
// True while the video window covers the screen.
bool VideoFullScreenShown();
// Escape in full screen: back at once, and the player told if it thinks it is full screen.
void LeaveFullScreen();
// Compact mode (command 1053): the main window hidden and the video window floating in a
// window of its own, or back.
void ToggleCompact();
// The subtitle size dialog: only the chosen size is used; cancelling changes nothing.
void statujFont();
