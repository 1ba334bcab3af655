#pragma once
// Decoding a movie's sound to 16 kHz mono for the speech detector. The movie is a loose file,
// a stored RAR set read through its own reader (any volume names the set), or a byte stream
// from a descriptor (a compressed set coming out of the extractor). Nothing is stored: the
// samples go to `sink` as they are decoded.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

constexpr int kSpeechSampleRate = 16000;

struct MovieAudioSource {
    std::string path; // a movie file or a volume of a stored RAR set
    int fd = -1;      // else a stream to read (not seekable); not closed here
};

struct MovieAudioInfo {
    double durationSeconds = 0; // 0 when the container does not say
    double videoFps = 0;        // the video stream's frame rate, 0 without one
    std::string codec;          // the audio codec's name
};

// Called with mono samples at kSpeechSampleRate; `first` counts samples from the movie's
// start (the audio stream's own start offset included).
using AudioSink = std::function<void(const float* samples, size_t count, int64_t first)>;
// Fraction of the movie decoded, 0..1.
using AudioProgress = std::function<void(double fraction)>;

struct MovieAudioResult {
    bool ok = false;
    bool cancelled = false;
    std::string error; // why nothing (or not all) could be decoded
    MovieAudioInfo info;
};

// Decodes the best audio stream. `cancel` (may be null) is looked at between packets and
// inside reads. A decoding error in a packet skips that packet; a movie without audio, or one
// the demuxer cannot read, fails with a reason.
MovieAudioResult DecodeMovieAudio(const MovieAudioSource& source, const AudioSink& sink,
                                  const AudioProgress& progress, const std::atomic<bool>* cancel);
