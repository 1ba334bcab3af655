#include "subtitles/speechalign.h"

#include "subtitles/speechactivity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kCoarseSteps = 10;        // the first search walks b in 100 ms steps...
constexpr int kRefineSteps = 20;        // ...then 10 ms steps within 200 ms of its peaks
constexpr int kSplitCandidates = 8;     // peaks tried as the offsets before and after a split
constexpr int kPeakSeparation = 100;    // 1 s between two peaks
constexpr double kSplitGain = 0.25;     // a split must add this share of the fit's margin...
constexpr double kSplitGainScore = 2.5; // ...and this many of chance's spreads
constexpr double kMinSplitShiftMs = 500;
constexpr size_t kMinSplitLines = 10;
constexpr int64_t kOnsetSteps = 50; // 0.5 s
constexpr double kSameRateBonus = 1.03;
constexpr double kMinInside = 0.5;       // of the largest overlap of subtitle and movie
constexpr size_t kMinChanceOffsets = 50; // offsets that chance is measured over

// Prefix sums of the centred track, extended flat on both sides so that any shifted line can
// be summed without bounds checks.
struct Prefix {
    std::vector<double> sums;
    int64_t pad = 0;
    double At(int64_t step) const {
        int64_t i = std::clamp<int64_t>(step + pad, 0, static_cast<int64_t>(sums.size()) - 1);
        return sums[static_cast<size_t>(i)];
    }
};

struct Steps {
    std::vector<int64_t> start, end; // the lines in 10 ms steps, scaled by a
};

Steps Scaled(const std::vector<SpeechInterval>& lines, double a) {
    Steps s;
    for (const auto& l : lines) {
        s.start.push_back(std::llround(a * static_cast<double>(l.start) / kSpeechStepMs));
        s.end.push_back(std::llround(a * static_cast<double>(l.end) / kSpeechStepMs));
    }
    return s;
}

// The speech under a line, its first half second counted twice: a line starts when its
// speech does, but often stays up a while after it, so its whole length alone would leave
// the start free to slide by that while.
double LineScore(const Prefix& p, const Steps& s, size_t i, int64_t offset) {
    int64_t start = s.start[i] + offset, end = s.end[i] + offset;
    return p.At(end) - p.At(start) + p.At(std::min(end, start + kOnsetSteps)) - p.At(start);
}

double Score(const Prefix& p, const Steps& s, int64_t offset) {
    double sum = 0;
    for (size_t i = 0; i < s.start.size(); ++i)
        sum += LineScore(p, s, i, offset);
    return sum;
}

// How many of the lines' steps fall inside the movie at `offset`.
double Inside(const Steps& s, int64_t offset, int64_t length) {
    int64_t sum = 0;
    for (size_t i = 0; i < s.start.size(); ++i)
        sum += std::clamp<int64_t>(s.end[i] + offset, 0, length) -
               std::clamp<int64_t>(s.start[i] + offset, 0, length);
    return static_cast<double>(sum);
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    auto mid = v.begin() + static_cast<long>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

struct Search {
    double a = 1;
    size_t rate = 0;
    std::vector<double> coarse; // score at offset (k - half) * kCoarseSteps
    std::vector<bool> valid;    // enough of the subtitle lies inside the movie there
    int64_t half = 0;
    double median = 0, spread = 1, best = 0;
    int64_t bestOffset = 0; // in steps
};

// The best offset within kRefineSteps of `around` in 10 ms steps, with its score.
std::pair<int64_t, double> Refine(const Prefix& p, const Steps& s, int64_t around) {
    int64_t bestAt = around;
    double best = Score(p, s, around);
    for (int64_t o = around - kRefineSteps; o <= around + kRefineSteps; ++o) {
        double v = Score(p, s, o);
        if (v > best) {
            best = v;
            bestAt = o;
        }
    }
    return {bestAt, best};
}

// Local maxima of the coarse scores, highest first, at least kPeakSeparation apart.
std::vector<int64_t> Peaks(const Search& search, size_t count) {
    std::vector<size_t> order(search.coarse.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t x, size_t y) { return search.coarse[x] > search.coarse[y]; });
    std::vector<int64_t> peaks;
    for (size_t i : order) {
        if (!search.valid[i])
            continue;
        int64_t offset = (static_cast<int64_t>(i) - search.half) * kCoarseSteps;
        bool near = std::any_of(peaks.begin(), peaks.end(), [&](int64_t q) {
            return std::llabs(q - offset) < kPeakSeparation;
        });
        if (!near)
            peaks.push_back(offset);
        if (peaks.size() >= count)
            break;
    }
    return peaks;
}

struct SplitFit {
    bool taken = false;
    double value = 0; // the score with the split
    double gain = 0;  // what the best split adds, in chance's spreads (taken or not)
    size_t at = 0;    // the first line after the split
    int64_t before = 0, after = 0;
};

SplitFit BestSplit(const Search& win, const Prefix& prefix,
                   const std::vector<SpeechInterval>& lines) {
    SplitFit split;
    const size_t n = lines.size();
    if (n < 2 * kMinSplitLines)
        return split;
    Steps steps = Scaled(lines, win.a);
    std::vector<int64_t> offsets;
    for (int64_t peak : Peaks(win, kSplitCandidates))
        offsets.push_back(Refine(prefix, steps, peak).first);
    std::vector<std::vector<double>> cumulative(offsets.size(), std::vector<double>(n + 1, 0));
    for (size_t k = 0; k < offsets.size(); ++k)
        for (size_t i = 0; i < n; ++i)
            cumulative[k][i + 1] = cumulative[k][i] + LineScore(prefix, steps, i, offsets[k]);
    double best = win.best;
    size_t at = 0, before = 0, after = 0;
    for (size_t i = kMinSplitLines; i + kMinSplitLines <= n; ++i)
        for (size_t k1 = 0; k1 < offsets.size(); ++k1)
            for (size_t k2 = 0; k2 < offsets.size(); ++k2) {
                if (k1 == k2)
                    continue;
                double v = cumulative[k1][i] + cumulative[k2][n] - cumulative[k2][i];
                if (v > best) {
                    best = v;
                    at = i;
                    before = k1;
                    after = k2;
                }
            }
    double gain = best - win.best;
    split.gain = gain / win.spread;
    if (at == 0 || gain < kSplitGain * (win.best - win.median) ||
        gain < kSplitGainScore * win.spread ||
        std::llabs(offsets[before] - offsets[after]) * kSpeechStepMs < kMinSplitShiftMs)
        return split;
    split.taken = true;
    split.value = best;
    split.at = at;
    split.before = offsets[before];
    split.after = offsets[after];
    return split;
}

} // namespace

const std::vector<SyncRate>& SyncRates() {
    static const std::vector<SyncRate> rates = [] {
        struct Fps {
            double value;
            const char* name;
        };
        const Fps fps[] = {
            {24000.0 / 1001, "23.976"}, {24, "24"}, {25, "25"}, {30000.0 / 1001, "29.97"}};
        std::vector<SyncRate> r{{1, "", ""}};
        // A subtitle timed for `from` frames a second, played with a movie of `to`: its times
        // stretch by from/to. 23.976 and 29.97 against 24 are no release pairs.
        const std::pair<int, int> pairs[] = {{2, 0}, {0, 2}, {1, 2}, {2, 1},
                                             {3, 2}, {2, 3}, {1, 0}, {0, 1}};
        for (auto [from, to] : pairs)
            r.push_back({fps[from].value / fps[to].value, fps[from].name, fps[to].name});
        return r;
    }();
    return rates;
}

double SyncFit::Map(double ms) const {
    double b = splitMs >= 0 && ms >= static_cast<double>(splitMs) ? offsetAfterMs : offsetMs;
    return rate.ratio * ms + b;
}

SyncFit FindSync(const std::vector<SpeechInterval>& lines, const std::vector<float>& track,
                 const SyncLimits& limits) {
    SyncFit fit;
    if (lines.empty()) {
        fit.why = "the subtitle has no lines";
        return fit;
    }
    if (track.size() < 100) {
        fit.why = "the movie's sound is too short to compare with";
        return fit;
    }
    double mean = 0;
    for (float v : track)
        mean += v;
    mean /= static_cast<double>(track.size());
    if (mean <= 0.001) {
        fit.why = "no speech was heard in the movie";
        return fit;
    }

    const int64_t range = limits.maxOffsetMs / kSpeechStepMs;
    const int64_t length = static_cast<int64_t>(track.size());
    int64_t longest = 0;
    for (const auto& l : lines)
        longest = std::max(longest, l.end);
    double maxRatio = 0;
    for (const auto& r : SyncRates())
        maxRatio = std::max(maxRatio, r.ratio);
    Prefix prefix;
    prefix.pad = range + kRefineSteps + kCoarseSteps + 1;
    int64_t after =
        std::max<int64_t>(0, static_cast<int64_t>(maxRatio * static_cast<double>(longest)) /
                                     kSpeechStepMs -
                                 static_cast<int64_t>(track.size())) +
        prefix.pad;
    prefix.sums.assign(
        static_cast<size_t>(prefix.pad) + track.size() + static_cast<size_t>(after) + 1, 0);
    double sum = 0;
    for (size_t k = 0; k < track.size(); ++k) {
        sum += track[k] - mean;
        prefix.sums[static_cast<size_t>(prefix.pad) + k + 1] = sum;
    }
    for (size_t k = static_cast<size_t>(prefix.pad) + track.size() + 1; k < prefix.sums.size(); ++k)
        prefix.sums[k] = sum;

    double totalSteps = 0;
    for (const auto& l : lines)
        totalSteps += static_cast<double>(std::max<int64_t>(0, l.end - l.start)) / kSpeechStepMs;
    if (totalSteps < 1) {
        fit.why = "the subtitle's lines have no duration";
        return fit;
    }

    // Every ratio over the whole range of b in coarse steps; the highest margin over chance
    // (the median score, in units of the scores' spread) wins.
    std::vector<Search> searches;
    const auto& rates = SyncRates();
    for (size_t r = 0; r < rates.size(); ++r) {
        Search search;
        search.a = rates[r].ratio;
        search.rate = r;
        search.half = range / kCoarseSteps;
        Steps steps = Scaled(lines, search.a);
        const size_t count = static_cast<size_t>(2 * search.half + 1);
        search.coarse.resize(count);
        std::vector<double> inside(count);
        for (int64_t k = -search.half; k <= search.half; ++k) {
            size_t i = static_cast<size_t>(k + search.half);
            search.coarse[i] = Score(prefix, steps, k * kCoarseSteps);
            inside[i] = Inside(steps, k * kCoarseSteps, length);
        }
        // Chance is judged, and the best taken, only where at least half as much of the
        // subtitle lies inside the movie as at the best overlap: far out, every offset
        // scores about nothing, which says nothing about chance.
        double most = *std::max_element(inside.begin(), inside.end());
        search.valid.resize(count);
        std::vector<double> scores;
        size_t top = 0;
        bool any = false;
        for (size_t i = 0; i < count; ++i) {
            search.valid[i] = inside[i] >= kMinInside * most && most > 0;
            if (!search.valid[i])
                continue;
            scores.push_back(search.coarse[i]);
            if (!any || search.coarse[i] > search.coarse[top])
                top = i;
            any = true;
        }
        if (scores.size() < kMinChanceOffsets)
            continue;
        search.median = Median(scores);
        for (double& v : scores)
            v = std::fabs(v - search.median);
        search.spread = std::max(1e-9, 1.4826 * Median(scores));
        search.bestOffset = (static_cast<int64_t>(top) - search.half) * kCoarseSteps;
        auto [at, value] = Refine(prefix, steps, search.bestOffset);
        search.bestOffset = at;
        search.best = value;
        searches.push_back(std::move(search));
    }
    if (searches.empty()) {
        fit.why = "the subtitle and the movie overlap too little to compare";
        return fit;
    }
    // One split per rate: each line is scored at the rate's best few offsets; the split point
    // and the pair of offsets before and after it that sum highest are kept when they add
    // clearly to the fit. The rate is chosen after that, or a slightly wrong rate would win
    // by bending its line through both halves of a cut subtitle.
    std::vector<SplitFit> splits;
    for (const Search& search : searches)
        splits.push_back(limits.allowSplit ? BestSplit(search, prefix, lines) : SplitFit{});
    auto total = [&](size_t k) { return splits[k].taken ? splits[k].value : searches[k].best; };
    // The same rate is what most subtitles have: another must fit clearly better, not by the
    // noise between two ratios that short movies cannot tell apart.
    auto margin = [&](size_t k) {
        const Search& x = searches[k];
        return (total(k) - x.median) / x.spread * (x.a == 1 ? kSameRateBonus : 1.0);
    };
    size_t w = 0;
    for (size_t k = 1; k < searches.size(); ++k)
        if (margin(k) > margin(w))
            w = k;
    const Search& win = searches[w];
    const SplitFit& split = splits[w];

    double scaledSteps = totalSteps * win.a;
    fit.rate = rates[win.rate];
    fit.score = (total(w) - win.median) / win.spread;
    fit.offsetMs = static_cast<double>(win.bestOffset * kSpeechStepMs);
    fit.speechShare = total(w) / scaledSteps + mean;
    fit.chanceShare = win.median / scaledSteps + mean;
    fit.splitGain = split.gain;
    if (split.taken) {
        fit.offsetMs = static_cast<double>(split.before * kSpeechStepMs);
        fit.offsetAfterMs = static_cast<double>(split.after * kSpeechStepMs);
        fit.splitMs = lines[split.at].start;
    }
    // Chance is judged on one offset for the whole subtitle: a free second offset for part of
    // it lifts another movie's subtitle as much as it lifts a cut one.
    const double single = (win.best - win.median) / win.spread;
    fit.singleScore = single;
    if (single < limits.minScore) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the subtitle does not match the speech of this movie (best fit %.1f, "
                      "needed %.1f): another release or another movie",
                      single, limits.minScore);
        fit.why = text;
        return fit;
    }
    fit.found = true;
    return fit;
}
