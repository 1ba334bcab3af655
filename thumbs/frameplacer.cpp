#include "thumbs/frameplacer.h"

#include "platform/textutil.h"
#include "thumbs/capturerules.h"

#include <algorithm>
#include <cmath>

namespace {
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A seek lands on one frame and answers within milliseconds; a player silent this long keeps
// its answers.
constexpr std::chrono::milliseconds kSeekAnswerLimit{3000};
// A landing this far from its time, past the next tile's or before its own, is decoded to it.
constexpr double kOffSeconds = 0.5;
// Frame steps asked for at once (a second's worth of a fast movie is a few dozen), and rounds
// of them before the player is taken where it stands.
constexpr int kMaxStepsAtOnce = 500;
constexpr int kMaxRounds = 12;
// A rate measured over fewer steps than this says little (answers come to a tenth of a second).
constexpr int kStepsToMeasureRate = 25;
} // namespace

FramePlacer::FramePlacer(CaptureChannel& channel, double framesPerSecond)
    : channel_(channel), fps_(framesPerSecond > 0 ? framesPerSecond : 25) {}

double FramePlacer::Answer(Clock::time_point deadline) {
    std::string line;
    while (true) {
        ReadStatus status = channel_.ReadLine(line, MsLeft(deadline));
        if (status == ReadStatus::Timeout) {
            status_ = Result::Silent;
            return -1;
        }
        if (status == ReadStatus::End) {
            status_ = Result::Exited;
            return -1;
        }
        double seconds = 0;
        if (ParseTimePositionSeconds(line.c_str(), &seconds))
            return std::max(0.0, seconds);
        if (IsExitingLine(line.c_str())) {
            status_ = Result::Exited;
            return -1;
        }
    }
}

double FramePlacer::SeekAndAsk(double seconds, Clock::time_point deadline) {
    seconds = std::max(0.0, seconds);
    if (seconds == std::floor(seconds))
        channel_.Send(Format("pausing seek %d 2", static_cast<int>(seconds)));
    else
        channel_.Send(Format("pausing seek %.2f 2", seconds));
    channel_.Send("pausing_keep_force get_time_pos");
    double at = Answer(std::min(deadline, Clock::now() + kSeekAnswerLimit));
    if (at >= 0)
        StandsAt(at);
    return at;
}

void FramePlacer::SetInterruption(std::function<bool()> interrupted, int stepsPerRound) {
    interrupted_ = std::move(interrupted);
    stepsPerRound_ = std::clamp(stepsPerRound, 0, kMaxStepsAtOnce);
}

bool FramePlacer::Interrupted() {
    if (!interrupted_ || !interrupted_())
        return false;
    status_ = Result::Interrupted;
    return true;
}

void FramePlacer::StepTo(double seconds, Clock::time_point deadline) {
    const int atOnce = stepsPerRound_ > 0 ? stepsPerRound_ : kMaxStepsAtOnce;
    // Smaller rounds reach as far as the big ones would.
    const int rounds = kMaxRounds * (kMaxStepsAtOnce / atOnce);
    for (int round = 0; round < rounds && here_ + 0.5 / fps_ < seconds; ++round) {
        if (Clock::now() >= deadline || Interrupted())
            return;
        const int steps =
            std::clamp(static_cast<int>(std::lround((seconds - here_) * fps_)), 1, atOnce);
        for (int k = 0; k < steps; ++k)
            channel_.Send("frame_step");
        channel_.Send("pausing_keep_force get_time_pos");
        const double before = here_;
        const double at = Answer(deadline);
        if (at < 0)
            return;
        StandsAt(at);
        if (at <= before)
            return; // the movie's end: nothing further to decode
        if (steps >= kStepsToMeasureRate)
            fps_ = std::clamp(steps / (at - before), 1.0, 300.0);
    }
}

void FramePlacer::StandsAt(double seconds) {
    here_ = seconds;
    // Decoded past the keyframe a seek showed: that one is now the keyframe behind.
    if (nextKey_ >= 0 && here_ >= nextKey_) {
        key_ = nextKey_;
        nextKey_ = -1;
    }
}

FramePlacer::Result FramePlacer::Place(int seconds, double nextSeconds,
                                       Clock::time_point deadline) {
    status_ = Result::Placed;
    const double t = seconds;
    // The last seek showed that the next keyframe lies past this tile's stretch: a seek would
    // land there, and the frames up to this time follow the one the player stands on.
    if (here_ >= 0 && key_ >= 0 && here_ <= t && nextKey_ > t && nextKey_ >= nextSeconds) {
        StepTo(t, deadline);
        return status_;
    }
    double landed = SeekAndAsk(t, deadline);
    if (landed < 0)
        return status_;
    if (landed > t + kOffSeconds && landed >= nextSeconds) {
        // Back to the keyframe before this time (the start of the movie when none is known
        // yet), then forward to it.
        const double base = key_ >= 0 && key_ <= t ? key_ : 0;
        // Just before it: the answer is rounded to a tenth, and a seek lands at or after.
        const double back = SeekAndAsk(base > 0.1 ? base - 0.06 : 0, deadline);
        if (back < 0)
            return status_;
        if (back <= t) {
            key_ = back;
            nextKey_ = landed;
            StepTo(t, deadline);
            return status_;
        }
        // Nothing before it to decode from: the frame the seek gives.
        landed = SeekAndAsk(t, deadline);
        if (landed < 0)
            return status_;
    }
    key_ = landed;
    nextKey_ = -1;
    if (landed < t - kOffSeconds)
        StepTo(t, deadline);
    return status_;
}

FramePlacer::Result FramePlacer::SeekTo(double seconds, Clock::time_point deadline) {
    status_ = Result::Placed;
    const double landed = SeekAndAsk(seconds, deadline);
    if (landed >= 0) {
        key_ = landed;
        nextKey_ = -1;
    }
    return status_;
}

FramePlacer::Result FramePlacer::PlaceExactly(double seconds, Clock::time_point deadline) {
    status_ = Result::Placed;
    const double t = std::max(0.0, seconds);
    const double half = 0.5 / fps_;
    // Already on it, or before it with no keyframe in between: decode on from here.
    if (here_ >= 0 && std::abs(here_ - t) <= half)
        return status_;
    if (here_ >= 0 && key_ >= 0 && here_ < t && nextKey_ > t) {
        StepTo(t, deadline);
        return status_;
    }
    if (Interrupted())
        return status_;
    double landed = SeekAndAsk(t, deadline);
    if (landed < 0)
        return status_;
    // Landed past it: find the keyframe before it by seeking further back each time, first by
    // the keyframe distance seen last (which lands on it where keyframes come evenly), else
    // by 1, 2, 4 ... seconds: the probe that first lands before it lands on the last
    // keyframe before it, as the one before found none between.
    double after = landed;
    double back = gop_ > 0 ? gop_ : 1.0;
    for (int tries = 0; landed > t + half && tries < 8; ++tries, back *= 2) {
        if (Interrupted())
            return status_;
        const double from = t - back;
        landed = SeekAndAsk(from > 0 ? from : 0, deadline);
        if (landed < 0)
            return status_;
        if (landed > t + half)
            after = std::min(after, landed);
        if (from <= 0)
            break;
    }
    if (landed > t + half)
        return status_; // nothing before it to decode from: the frame the seek gives
    if (after - landed > half)
        gop_ = after - landed;
    key_ = landed;
    nextKey_ = after > t ? after : -1;
    if (landed < t - half)
        StepTo(t, deadline);
    return status_;
}
