#include "thumbs/frameserver.h"

#include "platform/rarnames.h"
#include "thumbs/capture.h"
#include "thumbs/captureplayer.h"
#include "thumbs/capturerules.h"
#include "thumbs/framegrab.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace {
using Clock = std::chrono::steady_clock;

// A frame on demand: a seek and a screenshot take milliseconds, decoding forward from a far
// keyframe a few seconds at most.
constexpr std::chrono::seconds kFrameLimit{10};
// Frame steps between two looks at newer requests: a fifth of a second of an ordinary movie.
constexpr int kStepsPerRound = 5;
// How far the player's own time may lie from the asked one for the frame to be that time's:
// half a frame, and the answers come in tenths of a second.
double Tolerance(double fps) {
    return 0.5 / (fps > 0 ? fps : 25) + 0.05;
}
} // namespace

bool PreviewableName(const std::string& movie) {
    return !movie.empty() && movie != "-" && movie.find("://") == std::string::npos &&
           movie.compare(0, 5, "dvd:/") != 0;
}

struct FrameServer::Worker {
    std::string movie; // the movie of the player and the frames kept
    int width = 0;
    bool refused = false; // the movie cannot be previewed: nothing is asked of it again
    std::unique_ptr<ShotFolder> folder;
    std::unique_ptr<CapturePlayer> player;
    std::unique_ptr<FdChannel> channel;
    std::unique_ptr<FrameGrabber> grabber;
    double length = 0;
    double fps = 0;
    std::deque<PreviewFrame> cache; // the newest at the back
};

FrameServer::FrameServer(FrameServerOptions options)
    : options_(std::move(options)), lastRequest_(Clock::now()),
      worker_(std::make_unique<Worker>()) {
    options_.width = std::max(0, options_.width);
    thread_ = std::thread([this] { Run(); });
}

FrameServer::~FrameServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        if (live_ != nullptr)
            live_->Terminate();
    }
    wake_.notify_all();
    thread_.join();
}

unsigned long long FrameServer::Request(const std::string& movie, double seconds) {
    if (!PreviewableName(movie))
        return 0;
    unsigned long long number;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasRequest_ = true;
        requestMovie_ = movie;
        requestSeconds_ = std::max(0.0, seconds);
        number = ++requestNumber_;
        lastRequest_ = Clock::now();
    }
    wake_.notify_all();
    return number;
}

void FrameServer::KeepAlive() {
    std::lock_guard<std::mutex> lock(mutex_);
    lastRequest_ = Clock::now();
}

void FrameServer::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    hasRequest_ = false;
    cancelledUpTo_ = requestNumber_;
}

void FrameServer::EndPlayer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasRequest_ = false;
        cancelledUpTo_ = requestNumber_;
        endPlayer_ = true;
        // A player still starting (a large set through the bridge) is not waited for.
        if (live_ != nullptr)
            live_->Terminate();
    }
    wake_.notify_all();
}

void FrameServer::SetIdleLimit(int ms) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        options_.idleMs = std::max(0, ms);
    }
    wake_.notify_all();
}

int FrameServer::IdleLimit() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return options_.idleMs;
}

pid_t FrameServer::PlayerPid() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pid_;
}

unsigned long long FrameServer::Served() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return served_;
}

bool FrameServer::Superseded(unsigned long long number) {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_ || endPlayer_ || hasRequest_ || cancelledUpTo_ >= number;
}

bool FrameServer::Ending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_ || endPlayer_;
}

void FrameServer::EndWorkerPlayer() {
    Worker& w = *worker_;
    if (!w.player)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_ = nullptr;
        pid_ = 0;
    }
    w.grabber.reset();
    w.channel.reset();
    w.player.reset(); // quits it, or ends it by force when it does not go
    w.folder.reset();
}

bool FrameServer::StartWorkerPlayer() {
    Worker& w = *worker_;
    if (std::string why = NotAMovieFile(w.movie); !why.empty()) {
        w.refused = true;
        if (options_.onRefused)
            options_.onRefused(w.movie, why);
        return false;
    }
    w.folder = std::make_unique<ShotFolder>("quorvan-preview-");
    if (w.folder->path().empty()) {
        w.folder.reset();
        return false;
    }
    CapturePlayerOptions o;
    o.movie = w.movie;
    ZrobPierwszyPart(o.movie);
    o.frameWidth = w.width;
    o.folder = w.folder->path();
    o.lowPriority = true;
    o.startPaused = true;
    w.player = std::make_unique<CapturePlayer>(o);
    if (!w.player->started()) {
        w.player.reset();
        w.folder.reset();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_ = w.player.get();
        pid_ = w.player->pid();
        if (stop_ || endPlayer_)
            live_->Terminate();
    }
    CapturePlayer* player = w.player.get();
    w.channel = std::make_unique<FdChannel>(
        player->output(), [player](const std::string& c) { return player->Send(c); });
    PlaybackStart start = WaitForPlaybackStart(*w.channel);
    if (!start.started) {
        const bool ended = Ending();
        EndWorkerPlayer();
        if (!ended) {
            // It cannot play this movie (a compressed set, a damaged file): not asked again.
            w.refused = true;
            if (options_.onRefused)
                options_.onRefused(w.movie, "the player cannot play it");
        }
        return false;
    }
    w.length = start.length > 0 ? start.length : AskMovieLength(*w.channel);
    w.fps = FramesPerSecond(start.videoLine);
    w.grabber = std::make_unique<FrameGrabber>(*w.channel, w.folder->path(), start);
    return true;
}

void FrameServer::Deliver(PreviewFrame frame, bool keep) {
    Worker& w = *worker_;
    if (keep) {
        w.cache.push_back(frame);
        while (w.cache.size() > static_cast<size_t>(kFrameServerCacheFrames))
            w.cache.pop_front();
    }
    if (options_.onFrame)
        options_.onFrame(frame);
}

const PreviewFrame* FrameServer::Cached(double seconds, bool exact) {
    Worker& w = *worker_;
    const double tolerance = Tolerance(w.fps);
    for (auto it = w.cache.rbegin(); it != w.cache.rend(); ++it) {
        const bool here = std::abs(it->asked - seconds) <= tolerance ||
                          (it->exact && std::abs(it->seconds - seconds) <= tolerance);
        if (here && (it->exact || !exact))
            return &*it;
    }
    return nullptr;
}

void FrameServer::Serve(const std::string& movie, double seconds, unsigned long long number) {
    Worker& w = *worker_;
    const int width = options_.width;
    if (movie != w.movie || width != w.width) {
        EndWorkerPlayer();
        w.movie = movie;
        w.width = width;
        w.refused = false;
        w.cache.clear();
    }
    if (w.refused)
        return;
    if (const PreviewFrame* exact = Cached(seconds, true)) {
        PreviewFrame frame = *exact;
        frame.fromCache = true;
        frame.request = number;
        Deliver(frame, false);
        return;
    }
    const PreviewFrame* key = Cached(seconds, false);
    if (key != nullptr) {
        PreviewFrame frame = *key;
        frame.fromCache = true;
        frame.request = number;
        Deliver(frame, false);
    }
    if (!w.player) {
        if (options_.blocked && options_.blocked())
            return;
        if (!StartWorkerPlayer())
            return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++served_;
    }
    // Not past the last frame: a frame step there would end the player.
    double t = seconds;
    if (w.length > 0)
        t = std::clamp(t, 0.0, std::max(0.0, w.length - 1.0 / (w.fps > 0 ? w.fps : 25)));
    const double tolerance = Tolerance(w.fps);
    auto take = [&](bool exact) {
        GrabbedFrame grabbed;
        const auto deadline = Clock::now() + kFrameLimit;
        FrameGrabber::Status status = exact ? w.grabber->Exact(t, deadline, &grabbed)
                                            : w.grabber->Keyframe(t, deadline, &grabbed);
        if (status == FrameGrabber::Status::Exited || status == FrameGrabber::Status::NoAnswer) {
            EndWorkerPlayer(); // the next request starts it again
            return false;
        }
        if (status != FrameGrabber::Status::Ok)
            return false;
        PreviewFrame frame;
        frame.image = grabbed.image;
        frame.seconds = grabbed.seconds;
        frame.asked = seconds;
        frame.exact = std::abs(grabbed.seconds - t) <= tolerance;
        frame.request = number;
        Deliver(frame, true);
        return frame.exact;
    };
    w.grabber->SetInterruption({}, 0);
    if (key == nullptr && take(false))
        return;
    if (!w.grabber || Superseded(number))
        return;
    w.grabber->SetInterruption([this, number] { return Superseded(number); }, kStepsPerRound);
    take(true);
}

void FrameServer::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (endPlayer_) {
            endPlayer_ = false;
            lock.unlock();
            EndWorkerPlayer();
            lock.lock();
            continue;
        }
        if (hasRequest_) {
            hasRequest_ = false;
            const std::string movie = requestMovie_;
            const double seconds = requestSeconds_;
            const unsigned long long number = requestNumber_;
            lock.unlock();
            Serve(movie, seconds, number);
            lock.lock();
            continue;
        }
        if (pid_ != 0) {
            const auto idleEnd = lastRequest_ + std::chrono::milliseconds(options_.idleMs);
            if (Clock::now() >= idleEnd) {
                lock.unlock();
                EndWorkerPlayer();
                lock.lock();
                continue;
            }
            wake_.wait_until(lock, idleEnd);
        } else {
            wake_.wait(lock);
        }
    }
    lock.unlock();
    EndWorkerPlayer();
}
