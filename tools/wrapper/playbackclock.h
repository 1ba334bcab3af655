#pragma once
// The movie position between mplayer's answers. mplayer gives the position to a tenth of a
// second; each answer bounds the offset between the position and our clock, and while the
// movie plays on those bounds narrow, so the estimate is good to a few milliseconds. An answer
// that does not fit (a seek, a stall) starts the estimate afresh.
class PlaybackClock {
  public:
    // A position `seconds` (as mplayer rounds it, to `resolution`) seen at `nowMs`.
    void Sample(double seconds, long long nowMs, double resolution = 0.1);
    void SetPaused(bool paused, long long nowMs);
    // Forgets the estimate (a seek was asked for).
    void Reset();
    bool Known() const { return known_; }
    bool Paused() const { return paused_; }
    // The estimated position in seconds; only meaningful when Known().
    double Now(long long nowMs) const;

  private:
    bool known_ = false;
    bool paused_ = false;
    double pausedAt_ = 0;
    double lo_ = 0; // bounds on position - clock, in seconds
    double hi_ = 0;
};
