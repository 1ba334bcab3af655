#pragma once
// Movies that speak their subtitle: espeak-ng says each line at its time, noise (and a tune,
// when asked) plays 10 dB under the speech, and ffmpeg muxes the sound with a plain picture.
// The lines and their true times come back with the movie, for the synchronisation tests and
// measurements. Movies are cached in the build folder by their parameters.
#include <cstdint>
#include <string>
#include <vector>

struct SpokenLine {
    int64_t startMs = 0; // when the speech starts in the movie
    int64_t endMs = 0;   // when the line's subtitle ends (a little after the speech)
    std::string text;
};

struct SpeechMovieSpec {
    int seconds = 180;
    uint32_t seed = 1;
    double fps = 24000.0 / 1001; // of the picture
    double noiseDb = -10;        // noise level against the speech
    bool music = false;          // a tune beside the noise, at the same level
    bool video = true;           // false: the sound alone (a .mka), quicker to make
    int channels = 2;            // of the AC-3 sound (6 for 5.1)
    std::string folder;          // "" = the build's movie cache
};

struct SpeechMovie {
    std::string path; // "" when espeak-ng or ffmpeg failed
    std::vector<SpokenLine> lines;
    std::string error;
};

SpeechMovie MakeSpeechMovie(const SpeechMovieSpec& spec);

// The lines as a SubRip file, their times scaled, then moved by `offsetMs` (by `offsetAfterMs`
// from the line starting at `splitAfterMs` on). Lines moved before 0 are left out.
std::string SubRipOf(const std::vector<SpokenLine>& lines, double scale, double offsetMs,
                     int64_t splitAfterMs = -1, double offsetAfterMs = 0);
