#include "online/subautoupload.h"

#include "online/cancel.h"
#include "online/osupload.h"
#include "persist/optins.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

SubAutoUploadOS SubAutoUploadOS1;

namespace {
constexpr int kUploadTimerMs = 1200000;

// The one automatic upload thread; a new one starts only when the last has ended.
struct AutomaticUpload {
    std::mutex mutex;
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> cancel{false};
    std::atomic<int> started{0};
    ~AutomaticUpload() { Stop(); }
    void Stop() {
        std::lock_guard<std::mutex> lock(mutex);
        cancel = true;
        if (thread.joinable())
            thread.join();
        cancel = false;
    }
};

AutomaticUpload& Upload() {
    static AutomaticUpload upload;
    return upload;
}

void ThreadAutomaticSendSubtitles(UploadRequest request) {
    {
        ScopedCancel scope(&Upload().cancel);
        sendsubtitles(request);
    }
    Upload().running = false;
}
} // namespace

int UploadTimerPeriodMs() {
    if (const char* value = std::getenv("QUORVAN_UPLOAD_TIMER_MS")) {
        long ms = std::strtol(value, nullptr, 10);
        if (ms > 0 && ms <= kUploadTimerMs)
            return int(ms);
    }
    return kUploadTimerMs;
}

void SubAutoUploadOS::ResetTimerAutoLoad(int value) {
    loadMethod = value;
    if (timerActive && killTimer)
        killTimer();
    if (startTimer)
        startTimer(UploadTimerPeriodMs());
    timerActive = 1;
}

int SubAutoUploadOS::getMetchodLoadSubs() {
    if (loadMethod == 1)
        return 1;
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    if (Mp1.extraOptions.find(" -sub subtitle.txt ") != std::string::npos)
        return 3;
    if (Mp1.subtitleOptions.find(" -sub ") != std::string::npos)
        return 2;
    return loadMethod;
}

void SubAutoUploadOS::run() {
    if (timerActive && killTimer)
        killTimer();
    timerActive = 0;
    UploadRequest request;
    request.who = UploadWho::Automatic;
    request.subtitle = getSubtitle();
    request.loadMethod = getMetchodLoadSubs();
    if (request.subtitle.empty() || !Optins1.uploadAuto ||
        (request.loadMethod == 0 && !Optins1.uploadAutoloaded) || request.loadMethod == 3)
        return;
    request.movie = Mp1.MovieFileSnapshot();
    request.login = Optins1.login;
    request.pass = Optins1.password;
    AutomaticUpload& upload = Upload();
    std::lock_guard<std::mutex> lock(upload.mutex);
    if (upload.running)
        return; // the last one is still talking; this subtitle comes again with the next load
    if (upload.thread.joinable())
        upload.thread.join();
    upload.running = true;
    ++upload.started;
    upload.thread = std::thread(ThreadAutomaticSendSubtitles, std::move(request));
}

bool AutomaticUploadRunning() {
    return Upload().running;
}

int AutomaticUploadsStarted() {
    return Upload().started;
}

void StopAutomaticUpload() {
    Upload().Stop();
}

namespace {
void NewPlayer(PlayerAnnounced&) {
    SubAutoUploadOS1.ResetTimerAutoLoad(0);
}
void UserLoadedSubtitle(SubtitleFileLoaded&) {
    SubAutoUploadOS1.ResetTimerAutoLoad(1);
}
} // namespace

void ListenForUploadTimerEvents() {
    ListenToPlayerAnnouncements(NewPlayer);
    ListenToSubtitleFileLoads(UserLoadedSubtitle);
}
