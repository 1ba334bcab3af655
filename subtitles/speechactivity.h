#pragma once
// A voice-activity track of a movie's sound in 10 ms steps: how much each step sounds like
// someone speaking, 0..1. An energy detector in the band of speech (250-3400 Hz) measured
// against the noise floor of the surrounding half minute: stationary noise, hum and music
// beds under the speech stay near 0, words rise to 1.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kSpeechStepMs = 10;
constexpr int kSpeechStepSamples = 160; // at 16 kHz

class SpeechActivity {
  public:
    SpeechActivity();
    // Mono samples at 16 kHz; `first` is the place of samples[0] counted from the movie's start.
    // Pieces come in order; a gap between them reads as silence.
    void Feed(const float* samples, size_t count, int64_t first);
    // The track, one value per 10 ms step from the movie's start.
    std::vector<float> Track() const;
    // Band energy of each step in dB (for the measurements).
    const std::vector<float>& Levels() const { return levels_; }

  private:
    void EndStep();

    // Two biquads: a high-pass at 250 Hz and a low-pass at 3400 Hz.
    double hp_[5], lp_[5];
    double hpState_[4] = {}, lpState_[4] = {};
    std::vector<float> levels_;
    int64_t next_ = 0; // the sample place expected next
    double energy_ = 0;
    int inStep_ = 0;
};
