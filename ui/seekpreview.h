#pragma once
// The time slider's preview: while the pointer is on the slider, a small picture of the frame
// at the pointed time above the pointer, with the frame's own time (h:mm:ss) under it. The
// frames come from a FrameServer on its own thread; the window thread only posts requests and
// shows what arrives. Width 0 turns previews off (the slider's time tooltip is shown then, and
// for movies that cannot be previewed).
#include "thumbs/frameserver.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

class TimeSlider;

// Movie > "Seek previews": turns the previews off and on again.
constexpr int kCommandSeekPreviews = 2641;
void ToggleSeekPreviews();

class SeekPreview : public QObject {
    Q_OBJECT
  public:
    explicit SeekPreview(TimeSlider* slider);
    ~SeekPreview() override;

    void SetWidth(int width);
    int Width() const { return width_; }
    // The frame server's idle limit (30 s unless changed).
    void SetIdleLimit(int ms);
    int IdleLimit() const { return idleMs_; }
    // The movie that plays now ("" none): another one than the server's ends its player.
    void Follow(const std::string& movie);
    // Ends the frame server's player (the program ends); never blocks.
    void EndServer();
    pid_t ServerPid() const;
    QWidget* Popup() const { return popup_; }

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Hover(int x);
    void Leave();
    void Show(const PreviewFrame& frame);
    void Place();
    void MakeServer();

    TimeSlider* slider_;
    int width_ = 0;
    int idleMs_ = kFrameServerIdleMs;
    std::unique_ptr<FrameServer> server_;
    std::string movie_;   // the movie of the requests
    std::string refused_; // the movie the server cannot preview
    bool hovering_ = false;
    int value_ = -1; // the slider value last asked for
    int pointerX_ = 0;
    unsigned long long shownRequest_ = 0;
    unsigned long long firstRequest_ = 0; // of this hover: older frames are not shown
    QWidget* popup_ = nullptr;
    QLabel* picture_ = nullptr;
    QLabel* time_ = nullptr;
};
