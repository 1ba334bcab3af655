#pragma once
// MPEG transport streams (broadcast and camera recordings) through mplayer's own TS demuxer.
//
// That demuxer keeps the first picture after a seek (it moves on to the next keyframe), where
// libavformat's demuxer in mplayer shows grey pictures until the next keyframe; but it knows
// neither the recording's length (it guesses one from a bitrate, or says 0) nor where a time
// lies in the file, and its clock counts from the stream's first timestamp. So this plugin
// probes the container with libavformat once, and then:
//   - the length the front end is told (ID_LENGTH, ANS_LENGTH) is the real duration;
//   - times the front end is told count from the movie's start;
//   - absolute and percent seeks, and relative ones while the position is known, become
//     percent seeks to the byte where the keyframe at (or after) the asked time begins; "-ss"
//     becomes such a seek once playback starts.
// Any other movie, or a launch that chooses its demuxer itself, passes through untouched.
#include "online/moviesource.h"
#include "rar/rarvolumeset.h"
#include "tools/wrapper/containerprobe.h"
#include "tools/wrapper/playerproxy.h"
#include "tools/wrapper/streamtiming.h"

#include <functional>
#include <memory>
#include <string>

class TransportStreamPlugin : public WrapperPlugin {
  public:
    // `movieName` is the movie as the front end named it (a loose file or a volume of a RAR
    // set). `setServed` tells whether the RAR bridge serves it as a stored set, so that a set
    // the bridge refused is not opened (and complained about) twice. `clockMs` is a monotonic
    // clock in milliseconds (tests give their own).
    TransportStreamPlugin(std::string movieName, std::function<bool()> setServed,
                          std::function<long long()> clockMs = nullptr);
    ~TransportStreamPlugin() override;

    void Prepare(std::vector<std::string>& mplayerArgs) override;
    void Translate(std::string& command) override;
    bool OnOutput(const std::string& piece, PlayerIo& io) override;
    void Retell(std::string& piece) override;

    bool active() const { return active_; }
    const StreamTiming& timing() const { return timing_; }

  private:
    long long Now() const;
    // The command that seeks to `seconds` of the movie, with mplayer's `prefix`.
    std::string SeekTo(const std::string& prefix, double seconds);

    std::string movieName_;
    std::function<bool()> setServed_;
    std::function<long long()> clockMs_;
    // Declared in this order so the probe, which reads through the source, goes first.
    RarVolumeSet reader_;
    std::unique_ptr<MovieSource> source_;
    ContainerProbe probe_;
    bool active_ = false;
    StreamTiming timing_;
    double startAt_ = -1; // an "-ss" position to seek to when playback starts
    // The last position mplayer told (its own clock) and when.
    double lastPosition_ = 0;
    long long lastPositionMs_ = -1;
    bool paused_ = false;
};
