#pragma once
// What libavformat reads from a movie's container: its format, its real duration and start
// time, and where in the file the keyframe of a given time begins. mplayer's own MPEG-TS demuxer
// guesses the length of a recording from a bitrate and seeks by that guess; with these facts the
// wrapper answers the real length and turns an absolute seek into a byte position.
//
// The bytes come through a read function, so a movie stored in a RAR set is probed through the
// RAR reader exactly like a loose file. Not thread-safe: one caller at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct ContainerBytes {
    uint64_t size = 0;
    // Fills up to `length` bytes at `pos`; returns the count (0 at the end or at a gap).
    std::function<size_t(char* buffer, uint64_t pos, size_t length)> read;
};

class ContainerProbe {
  public:
    ContainerProbe();
    ~ContainerProbe();
    ContainerProbe(const ContainerProbe&) = delete;
    ContainerProbe& operator=(const ContainerProbe&) = delete;

    // Opens the container and reads its timing; false when libavformat cannot read it.
    bool Open(ContainerBytes bytes);
    bool open() const;
    // libavformat's short name of the format ("mpegts"); "" before a successful Open.
    std::string format() const;
    // The movie's duration in seconds (last timestamp less the first); 0 when unknown.
    double duration() const;
    // The first timestamp of the movie in seconds (a recording's clock does not start at 0).
    double start() const;
    uint64_t size() const;

    // Where the first video keyframe at or after `seconds` of the movie (counted from its
    // start) begins in the file, and its time; false when none was found.
    struct Keyframe {
        uint64_t offset = 0;
        double seconds = 0;
    };
    bool FindKeyframe(double seconds, Keyframe* found);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// True when `head` (the first bytes of a file) is an MPEG transport stream: sync bytes every 188
// bytes, or every 192 bytes after a 4-byte time code (Blu-ray and camera .m2ts / .mts).
bool LooksLikeTransportStream(const std::string& head);
