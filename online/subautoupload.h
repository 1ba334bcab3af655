#pragma once
// Automatic subtitle upload: a subtitle that stayed loaded for 20 minutes is given back to
// OpenSubtitles. Every load restarts timer 2 of the main window; when it fires, run() decides
// and starts the upload on its own short-lived thread (ThreadAutomaticSendSubtitles) over
// copies of what it needs, so it shares no object with the window thread.
//
// ResetTimerAutoLoad is called from the window thread and from the player-output thread:
// the fields are atomic and the window's timer hooks must be callable from either.
#include <atomic>
#include <functional>

class SubAutoUploadOS {
  public:
    std::atomic<int> timerActive{0};
    std::atomic<int> loadMethod{0}; // 1 chosen by the user, 0 loaded by the player itself

    // loadMethod = value; (re)starts timer 2 with UploadTimerPeriodMs().
    void ResetTimerAutoLoad(int value);
    // 1 chosen by the user, 3 downloaded from OpenSubtitles, 2 given as a player option,
    // else loadMethod.
    int getMetchodLoadSubs();
    // Timer 2: kills it and, when the options allow, starts the automatic upload.
    void run();

    // Timer 2 of the main window (none without a window: the timer then never fires).
    std::function<void(int ms)> startTimer;
    std::function<void()> killTimer;
};

extern SubAutoUploadOS SubAutoUploadOS1;

// From now on every new player clears the load method and every subtitle file the user loads
// sets it; both restart the upload timer.
void ListenForUploadTimerEvents();

// 1,200,000 ms, or QUORVAN_UPLOAD_TIMER_MS when set to a positive number.
int UploadTimerPeriodMs();
// True while an automatic upload thread has not ended.
bool AutomaticUploadRunning();
// Number of automatic uploads started since the program began (tests).
int AutomaticUploadsStarted();
// Cancels a running automatic upload and waits for its thread (the exit, tests).
void StopAutomaticUpload();
