#include "player/playerevents.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
// Written at start-up and read by the reader thread: the mutex keeps a late registration
// (a test's) from racing a line being read.
std::mutex g_mutex;
std::vector<SubtitleLineListener>& SubtitleListeners() {
    static std::vector<SubtitleLineListener> listeners;
    return listeners;
}
} // namespace

void ListenToSubtitleLines(SubtitleLineListener listener) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto& listeners = SubtitleListeners();
    if (listener != nullptr &&
        std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void PublishSubtitleLine(SubtitleLineShown& event) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (SubtitleLineListener listener : SubtitleListeners()) {
        listener(event);
        if (event.taken)
            return;
    }
}
