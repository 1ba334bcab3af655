#pragma once
// Finding where a subtitle's lines fall in a movie's speech: the mapping t' = a·t + b (a from
// the frame-rate ratios that releases differ by, b within ten minutes either way), and at most
// one place after which b changes (a cut scene or an advertisement break), chosen by how much
// of the subtitle's time lands on speech. Pure; the speech track comes from SpeechActivity.
#include <cstdint>
#include <string>
#include <vector>

struct SpeechInterval {
    int64_t start = 0; // milliseconds
    int64_t end = 0;
};

struct SyncRate {
    double ratio = 1;      // a
    const char* from = ""; // the frame rate the subtitle was timed for ("25"), "" for 1
    const char* to = "";   // the movie's ("23.976")
};

// The ratios tried: 1 first, then the pairs of 23.976, 24, 25 and 29.97 frames a second.
const std::vector<SyncRate>& SyncRates();

struct SyncFit {
    bool found = false;   // a fit clearly better than chance
    std::string why;      // when not found: the reason, for the user
    SyncRate rate;        // a
    double offsetMs = 0;  // b
    int64_t splitMs = -1; // subtitle time from which offsetAfterMs holds instead; -1: none
    double offsetAfterMs = 0;
    double score = 0;       // how far the best fit stands above chance, in chance's spreads
    double speechShare = 0; // share of the subtitle's time that lands on speech, 0..1
    double chanceShare = 0; // the same for a typical offset
    double splitGain = 0;   // what the best split would add to the score (taken or not)
    double singleScore = 0; // the score of one offset for the whole subtitle (judges chance)
    // Maps a subtitle time (ms) to the movie's.
    double Map(double ms) const;
};

struct SyncLimits {
    int64_t maxOffsetMs = 10 * 60 * 1000;
    double minScore = 6; // below this the best fit could be chance (other movies score 2-4)
    bool allowSplit = true;
};

// `track` holds one value 0..1 per 10 ms step of the movie.
SyncFit FindSync(const std::vector<SpeechInterval>& lines, const std::vector<float>& track,
                 const SyncLimits& limits = {});
