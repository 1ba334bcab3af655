#include "subtitles/speechactivity.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr float kSilenceDb = -100;
constexpr size_t kBlockSteps = 500; // 5 s
constexpr int kFloorBlocks = 3;     // the floor is the lowest of the blocks within 15 s
constexpr float kOnsetDb = 4;       // above the floor by this much a step starts to count...
constexpr float kFullDb = 12;       // ...and by this much it counts fully
constexpr float kRangeDb = 45;      // steps this far under the loudest speech are silence

constexpr double kQ = 0.7071; // Butterworth

// RBJ cookbook biquad coefficients b0 b1 b2 a1 a2, normalised by a0.
void Biquad(double* c, double freq, bool highPass) {
    double w = 2 * std::numbers::pi * freq / 16000.0;
    double alpha = std::sin(w) / (2 * kQ);
    double cosw = std::cos(w);
    double a0 = 1 + alpha;
    if (highPass) {
        c[0] = (1 + cosw) / 2 / a0;
        c[1] = -(1 + cosw) / a0;
        c[2] = c[0];
    } else {
        c[0] = (1 - cosw) / 2 / a0;
        c[1] = (1 - cosw) / a0;
        c[2] = c[0];
    }
    c[3] = -2 * cosw / a0;
    c[4] = (1 - alpha) / a0;
}

inline double Filter(const double* c, double* z, double x) {
    double y = c[0] * x + c[1] * z[0] + c[2] * z[1] - c[3] * z[2] - c[4] * z[3];
    z[1] = z[0];
    z[0] = x;
    z[3] = z[2];
    z[2] = y;
    return y;
}

float Percentile(std::vector<float> values, double q) {
    if (values.empty())
        return kSilenceDb;
    size_t k = static_cast<size_t>(q * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(k), values.end());
    return values[k];
}

} // namespace

SpeechActivity::SpeechActivity() {
    Biquad(hp_, 250, true);
    Biquad(lp_, 3400, false);
}

void SpeechActivity::Feed(const float* samples, size_t count, int64_t first) {
    if (first > next_) {
        // A gap: finish the step under way, pad whole silent steps.
        while (next_ < first) {
            ++next_;
            if (++inStep_ == kSpeechStepSamples)
                EndStep();
        }
    } else if (first < next_) {
        // Overlapping samples (a time stamp a little early) are dropped.
        size_t skip =
            static_cast<size_t>(std::min<int64_t>(next_ - first, static_cast<int64_t>(count)));
        samples += skip;
        count -= skip;
    }
    for (size_t i = 0; i < count; ++i) {
        double y = Filter(lp_, lpState_, Filter(hp_, hpState_, samples[i]));
        energy_ += y * y;
        if (++inStep_ == kSpeechStepSamples)
            EndStep();
    }
    next_ += static_cast<int64_t>(count);
}

void SpeechActivity::EndStep() {
    double mean = energy_ / kSpeechStepSamples;
    levels_.push_back(mean > 1e-10 ? static_cast<float>(10 * std::log10(mean)) : kSilenceDb);
    energy_ = 0;
    inStep_ = 0;
}

std::vector<float> SpeechActivity::Track() const {
    const size_t n = levels_.size();
    std::vector<float> track(n, 0);
    if (n == 0)
        return track;
    size_t blocks = (n + kBlockSteps - 1) / kBlockSteps;
    std::vector<float> low(blocks);
    for (size_t b = 0; b < blocks; ++b) {
        auto from = levels_.begin() + static_cast<long>(b * kBlockSteps);
        auto to = levels_.begin() + static_cast<long>(std::min(n, (b + 1) * kBlockSteps));
        low[b] = Percentile(std::vector<float>(from, to), 0.1);
    }
    float loud = Percentile(levels_, 0.99);
    for (size_t b = 0; b < blocks; ++b) {
        size_t from = b >= kFloorBlocks ? b - kFloorBlocks : 0;
        size_t to = std::min(blocks, b + kFloorBlocks + 1);
        float floor = *std::min_element(low.begin() + static_cast<long>(from),
                                        low.begin() + static_cast<long>(to));
        floor = std::max(floor, loud - kRangeDb);
        for (size_t k = b * kBlockSteps; k < std::min(n, (b + 1) * kBlockSteps); ++k) {
            float above = levels_[k] - floor - kOnsetDb;
            track[k] = std::clamp(above / (kFullDb - kOnsetDb), 0.0f, 1.0f);
        }
    }
    return track;
}
