#pragma once
// Puts a paused player on the frame of a tile's time before its screenshot.
//
// A seek lands on the keyframe at or after the asked time (mplayer's way with every container
// here). Where keyframes lie far apart (ten seconds is x264's default) that keyframe may be
// past the next tile's time too, and the next tile would show the same frame again. Then the
// player goes back to the keyframe it last landed on, before this time, and decodes forward
// frame by frame ("frame_step" while paused) to the tile's own time. A seek that lands before
// its time (the movie's last keyframe) decodes forward as well. Ordinary movies, whose seeks
// land within their tile's stretch, cost one time question per tile and no frame steps.
#include "thumbs/capture.h"

#include <chrono>
#include <functional>

class FramePlacer {
  public:
    FramePlacer(CaptureChannel& channel, double framesPerSecond);

    enum class Result {
        Placed, // the player stands on the frame; where() tells its time
        Silent, // no time answers come (a player that keeps them): plain seeks from now on
        Exited, // the player said "Exiting" or its output ended
        // The interruption said so (between seeks or rounds of frame steps): the player stands
        // on some frame on the way, where() tells which.
        Interrupted,
    };
    // For frames on demand that a newer request makes useless: `interrupted` is asked before
    // each seek and each round of frame steps, and the rounds are `stepsPerRound` frames at
    // most, so that an answer is never more than that many frames away.
    void SetInterruption(std::function<bool()> interrupted, int stepsPerRound);
    // Places the player for a tile asked at `seconds` whose stretch of the movie ends at
    // `nextSeconds` (the next tile's time, or the movie's end). `deadline` bounds it all.
    Result Place(int seconds, double nextSeconds, std::chrono::steady_clock::time_point deadline);
    // One frame on demand, fast: the keyframe a seek to `seconds` lands on (at or after it).
    Result SeekTo(double seconds, std::chrono::steady_clock::time_point deadline);
    // One frame on demand, exact: the frame nearest `seconds` that decoding forward from the
    // keyframe before it reaches (within half a frame unless the deadline comes first).
    Result PlaceExactly(double seconds, std::chrono::steady_clock::time_point deadline);
    // After the screenshot: the time the player answered, where it now stands.
    void StandsAt(double seconds);
    double where() const { return here_; }

  private:
    // "pausing seek" to `seconds` and the time question; the answer, or -1.
    double SeekAndAsk(double seconds, std::chrono::steady_clock::time_point deadline);
    // Frame steps until the player stands at `seconds` (within half a frame).
    void StepTo(double seconds, std::chrono::steady_clock::time_point deadline);
    // The next time answer; -1 (and status_ set) when none came.
    double Answer(std::chrono::steady_clock::time_point deadline);

    // True (and status_ Interrupted) when the interruption says so.
    bool Interrupted();

    CaptureChannel& channel_;
    double fps_;
    std::function<bool()> interrupted_;
    int stepsPerRound_ = 0; // 0: as many as the distance needs, up to kMaxStepsAtOnce
    Result status_ = Result::Placed;
    double here_ = -1;    // the frame the player stands on, -1 unknown
    double key_ = -1;     // the keyframe it last landed on by a seek, at or before here_
    double nextKey_ = -1; // the keyframe after key_ when a seek showed it, -1 unknown
    double gop_ = 0;      // the longest distance between keyframes seen, 0 unknown
};
