#include "subtitles/speakerlaunch.h"

#include "platform/ddeclient.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/windowport.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// The started speaker. Its stdin is a pipe we never write to: when we end, for whatever
// reason, the pipe closes and the speaker ends too.
struct StartedSpeaker {
    std::mutex mutex;
    bool tried = false;
    pid_t pid = -1;
    int stdinFd = -1;
    std::thread watcher;
    std::atomic<bool> ended{false};

    ~StartedSpeaker() { Stop(); }

    void Stop() {
        std::lock_guard<std::mutex> lock(mutex);
        if (stdinFd >= 0) {
            close(stdinFd);
            stdinFd = -1;
        }
        if (!watcher.joinable()) {
            tried = false;
            return;
        }
        for (int i = 0; i < 100 && !ended; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended && pid > 0)
            kill(pid, SIGKILL);
        watcher.join();
        // A later choice of a speech mode may start a new one.
        tried = false;
        pid = -1;
        ended = false;
    }
};

StartedSpeaker& Speaker() {
    static StartedSpeaker speaker;
    return speaker;
}

// Reads the speaker's output: its first line says whether it serves; later lines (warnings)
// are drained so it never blocks on a full pipe. Reaps it at the end.
void WatchSpeaker(pid_t pid, int outputFd) {
    std::string pending;
    bool firstLine = true;
    char chunk[512];
    for (;;) {
        pollfd p{outputFd, POLLIN, 0};
        int wait = firstLine ? 10000 : -1;
        int n = poll(&p, 1, wait);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            // No word from it for 10 s: it may still serve; stop waiting for the first line.
            firstLine = false;
            continue;
        }
        ssize_t got = n > 0 ? read(outputFd, chunk, sizeof(chunk)) : -1;
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(chunk, static_cast<size_t>(got));
        size_t eol;
        while (firstLine && (eol = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            firstLine = false;
            if (line.find("ready") == std::string::npos &&
                line.find("already running") == std::string::npos) {
                std::string text =
                    "The speech server binary/quorvan-speaker cannot speak:\n" + line;
                Port().PostToUi([text] { MessageBoxS(0, text.c_str(), "VoiceOver", 0); });
            }
        }
        if (!firstLine)
            pending.clear();
    }
    close(outputFd);
    int status = 0;
    WaitProcess(pid, -1, &status);
    Speaker().ended = true;
}

const char* ServiceOf(int mode, const char** topic) {
    *topic = "synteza";
    switch (mode) {
    case 1:
        return "unispiker";
    case 2:
        *topic = "System";
        return "Syntalk";
    case 5:
    case 6:
        return "rozmowy";
    default:
        return "Expressivo";
    }
}

} // namespace

bool IsSpeechMode(int mode) {
    return mode == 1 || mode == 2 || mode == 4 || mode == 5 || mode == 6 || mode == 8;
}

void EnsureSpeakerServer(int mode) {
    if (!IsSpeechMode(mode))
        return;
    StartedSpeaker& speaker = Speaker();
    std::lock_guard<std::mutex> lock(speaker.mutex);
    if (speaker.tried)
        return;
    const char* topic = nullptr;
    const char* service = ServiceOf(mode, &topic);
    if (DDEProbe(service, topic) != 0)
        return; // a synthesiser of the user's own serves already
    speaker.tried = true;
    std::string program = std::string(KatalogExe()) + "binary/quorvan-speaker";
    if (access(program.c_str(), X_OK) != 0) {
        std::string text = "No file " + program + " : the subtitles cannot be read aloud.";
        MessageBoxS(0, text.c_str(), "VoiceOver", 0);
        return;
    }
    SpawnOptions options;
    options.argv = {program};
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok()) {
        std::string text = "Cannot start " + program + ": " + std::strerror(child.error);
        MessageBoxS(0, text.c_str(), "VoiceOver", 0);
        return;
    }
    speaker.pid = child.pid;
    speaker.stdinFd = child.stdinFd;
    speaker.watcher = std::thread(WatchSpeaker, child.pid, child.outputFd);
}

void StopSpeakerServer() {
    Speaker().Stop();
}
