#include "tools/wrapper/playbackclock.h"

namespace {
// Answers travel through a pipe: a few milliseconds late at most on a loaded machine.
constexpr double kLatency = 0.01;
} // namespace

void PlaybackClock::Sample(double seconds, long long nowMs, double resolution) {
    const double now = static_cast<double>(nowMs) / 1000.0;
    if (paused_) {
        pausedAt_ = seconds;
        known_ = true;
        return;
    }
    double lo = seconds - resolution / 2 - now;
    double hi = seconds + resolution / 2 + kLatency - now;
    if (!known_ || lo > hi_ || hi < lo_) {
        lo_ = lo;
        hi_ = hi;
        known_ = true;
        return;
    }
    if (lo > lo_)
        lo_ = lo;
    if (hi < hi_)
        hi_ = hi;
}

void PlaybackClock::SetPaused(bool paused, long long nowMs) {
    if (paused == paused_)
        return;
    paused_ = paused;
    if (paused) {
        known_ = false; // the next answer says where it stands
    } else if (known_) {
        // It runs on from where it stood; the answers narrow the estimate again.
        const double now = static_cast<double>(nowMs) / 1000.0;
        lo_ = pausedAt_ - 0.05 - now;
        hi_ = pausedAt_ + 0.05 + kLatency - now;
    }
}

void PlaybackClock::Reset() {
    known_ = false;
}

double PlaybackClock::Now(long long nowMs) const {
    if (paused_)
        return pausedAt_;
    return static_cast<double>(nowMs) / 1000.0 + (lo_ + hi_) / 2;
}
