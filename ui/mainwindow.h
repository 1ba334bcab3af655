#pragma once
// The main window: the buttons and sliders along the bottom, the video area above them, the
// menu bar. Every button, menu item, key, slider movement, wheel notch and dropped file ends
// in Command() or one of the slider handlers (dispatch.h).
#include "ui/menus.h"
#include "ui/videoholder.h"

#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

class VideoWindow;
class SeekPreview;

// The mute button, drawn from three 20 x 20 bitmaps: muted, not muted, pressed.
class MuteButton : public QPushButton {
    Q_OBJECT
  public:
    explicit MuteButton(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap hbm1_, hbm2_, hbm3_;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow();
    ~MainWindow() override;

    // The title as asked for, with the reason when the player cannot draw in our window.
    void ShowTitle(const QString& title);
    // Runs a command id through the dispatch. True when it was handled.
    bool Command(int id);

    MenuSet& Menus() { return menus_; }
    QSlider* VolumeSlider() const { return volume_; }
    QSlider* TimeSlider() const { return time_; }
    // The time slider's preview pictures.
    SeekPreview* Preview() const { return preview_; }
    QWidget* Video() const;
    VideoWindow* VideoWin() const { return video_; }
    // The widget the video window belongs to while it is embedded.
    QWidget* VideoParent() const { return client_; }
    // The window the video window moves into for full screen or compact mode (made on first
    // use, gone with the main window).
    VideoHolder* Holder(VideoHolder::Kind kind);
    // Puts the video window back into the main window, placed by the picture's size.
    void EmbedVideo();
    QWidget* Control(int id) const;
    // The window's own controls translated (TranslateButions).
    void SetControlText(int id, const std::string& text);
    void RepaintMuteButton();
    // The clock of the control strip: the time slider's position and its length.
    void ShowClock();
    // The player's picture asks for a window of this size (the VO line): it is made to fit
    // the screen, and the window moves only if it would leave the screen.
    void ResizeForPicture(int width, int height);
    void ShowVideo(bool visible);
    // Shows the right-click menu (3001) at the cursor.
    void ShowPopupMenu1(const QPoint& globalPos);
    // Shows the subtitle pop-up of the "Sub" button.
    void ShowSubtitlePopup(const QPoint& globalPos);
    // The two pop-ups as they would show (the caller deletes them).
    QMenu* BuildTranslatedPopup1();
    QMenu* BuildSubtitlePopup();
    // Handles one dropped file name.
    void DroppedFile(const std::string& path);
    // Timer 1's tick (also called by tests).
    void TimerTick();
    // Keys of the key table, whatever widget has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void LayOut();
    // The video window in a client area `w` x `h` (myrect1 when the aspect is kept).
    void PlaceVideoWindow(int w, int h);
    void ConnectSliders();
    MenuSet menus_;
    QWidget* client_ = nullptr;
    VideoWindow* video_ = nullptr;
    VideoHolder* fullHolder_ = nullptr;
    VideoHolder* compactHolder_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* sub_ = nullptr;
    MuteButton* mute_ = nullptr;
    QPushButton* eq_ = nullptr;
    QPushButton* playlist_ = nullptr;
    QPushButton* error_ = nullptr;
    QSlider* volume_ = nullptr;
    QSlider* time_ = nullptr;
    QLabel* clock_ = nullptr;
    SeekPreview* preview_ = nullptr;
    bool clockShort_ = false; // the clock shows the time without the length
    QTimer timer1_;
    int lastTimeClickX_ = 0;
    bool playerWasRunning_ = false;
    bool closing_ = false;
};

// The main window of this run (nullptr before it exists and after it is gone).
extern MainWindow* GlobalH;
