#pragma once
// The top-level windows the video window moves into when it leaves the main window: one that
// covers a screen (full screen) and one that floats with a sizing frame (compact mode). The
// video window itself stays a native child all the time and is only moved from one of our
// windows to another: a window the window manager has framed cannot be taken back into the
// main window at once, and a native window made anew would leave the player drawing into a
// window that no longer exists.
#include <QPoint>
#include <QTimer>
#include <QWidget>

class VideoHolder : public QWidget {
    Q_OBJECT
  public:
    enum class Kind { FullScreen, Compact };
    explicit VideoHolder(Kind kind);

    Kind kind() const { return kind_; }
    // Moves `video` in, filling this window.
    void Take(QWidget* video);
    // The pointer moved over the picture: the cursor shows, and hides again after 2 s of rest
    // while this window covers the screen.
    void PointerMoved();
    // Makes the video fill this window again.
    void PlaceVideo();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    Kind kind_;
    QTimer idleCursor_;
};

// Sets or clears the window manager's stay-on-top state of a top-level window without
// re-creating its native window (which would take the player's picture with it).
void SetStaysOnTop(QWidget* window, bool onTop);

// _NET_WM_MOVERESIZE directions.
constexpr int kWmSizeTopLeft = 0, kWmSizeTop = 1, kWmSizeTopRight = 2, kWmSizeRight = 3,
              kWmSizeBottomRight = 4, kWmSizeBottom = 5, kWmSizeBottomLeft = 6, kWmSizeLeft = 7,
              kWmMove = 8;
// Hands a left-button drag that began at `globalPos` to the window manager, which moves or
// sizes the top-level `window` (`direction` as above) until the button is let go. False when
// there is no X connection.
bool StartWindowManagerDrag(QWidget* window, QPoint globalPos, int direction);
