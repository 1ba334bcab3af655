#pragma once
// The frames of the time slider's preview: a capture player of its own (-vo null -nosound, the
// capture filters at the preview's width, nice 10) on the movie that plays, started on the
// first request and asked "seek to T, take one frame" over its pipe by a worker thread.
//
// Only the newest request waits while the worker is busy, so a fast sweep along the slider
// never queues. A request is answered first by the keyframe a seek lands on (fast), then, when
// no newer request has come meanwhile, by the frame nearest the asked time that decoding
// forward from the keyframe before it reaches; a newer request interrupts that decoding. Every
// frame carries its own time. The last 64 frames of the movie answer repeated points at once.
//
// The player ends `idleMs` after the last request, when a request names another movie, on
// EndPlayer() and with the server; nothing is started while `blocked` says so (a thumbnail
// series owns the CPU then). A stored RAR set is read through the player's own wrapper and so
// its own bridge. Standard input and URLs are never previewed.
#include <QImage>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

class CapturePlayer;

constexpr int kFrameServerIdleMs = 30000;
constexpr int kFrameServerCacheFrames = 64;

struct PreviewFrame {
    QImage image;
    double seconds = -1;    // the frame's own time
    double asked = 0;       // the time asked for
    bool exact = false;     // the frame of the asked time (else the keyframe a seek reached)
    bool fromCache = false; // answered from the frames taken before
    unsigned long long request = 0;
};

struct FrameServerOptions {
    int width = 160;
    int idleMs = kFrameServerIdleMs;
    // Called on the worker thread for every frame, and when the movie cannot be previewed.
    std::function<void(const PreviewFrame&)> onFrame;
    std::function<void(const std::string& movie, const std::string& why)> onRefused;
    // Asked before a player is started; true while none may be.
    std::function<bool()> blocked;
};

// Whether a movie name can be previewed at all, by its name alone: not standard input ("-"),
// no URL, DVD or other address with a scheme.
bool PreviewableName(const std::string& movie);

class FrameServer {
  public:
    explicit FrameServer(FrameServerOptions options);
    // Ends the player (waits for it) and the worker.
    ~FrameServer();
    FrameServer(const FrameServer&) = delete;
    FrameServer& operator=(const FrameServer&) = delete;

    // Never blocks: the request replaces any waiting one. Its number, 0 when the name cannot be
    // previewed.
    unsigned long long Request(const std::string& movie, double seconds);
    // The pointer still rests on the slider: the idle limit counts from now.
    void KeepAlive();
    // The pointer left the slider: a waiting request goes; the one in work ends unseen soon.
    void Cancel();
    // Ends the player soon (another movie plays, the program ends); never blocks.
    void EndPlayer();
    // The idle limit from now on.
    void SetIdleLimit(int ms);
    int IdleLimit() const;
    // The player's process (the wrapper at nice 10; mplayer is its child), 0 when none runs.
    pid_t PlayerPid() const;
    // Requests the worker took up, and how many of them it answered from the player.
    unsigned long long Served() const;

  private:
    struct Worker;
    void Run();
    // On the worker thread.
    void Serve(const std::string& movie, double seconds, unsigned long long number);
    bool StartWorkerPlayer();
    void EndWorkerPlayer();
    void Deliver(PreviewFrame frame, bool keep);
    // A frame kept for `seconds`: only an exact one when `exact`, else a keyframe one too.
    const PreviewFrame* Cached(double seconds, bool exact);
    // Request `number` is of no use any more: a newer one waits, it was cancelled, or the
    // player or the server ends.
    bool Superseded(unsigned long long number);
    bool Ending();

    FrameServerOptions options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool hasRequest_ = false;
    std::string requestMovie_;
    double requestSeconds_ = 0;
    unsigned long long requestNumber_ = 0;
    unsigned long long cancelledUpTo_ = 0;
    std::chrono::steady_clock::time_point lastRequest_;
    bool endPlayer_ = false;
    bool stop_ = false;
    pid_t pid_ = 0;
    CapturePlayer* live_ = nullptr; // the worker's player, for Terminate() from here
    unsigned long long served_ = 0;
    std::unique_ptr<Worker> worker_; // the worker thread's own state
    std::thread thread_;
};
