#include "tools/wrapper/transportstream.h"

#include "platform/textutil.h"
#include "platform/rarnames.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
// A position told this long ago still says where a playing movie stands, well enough for a
// relative seek (the front end asks five times a second); a paused movie stays where it was.
constexpr long long kPositionFreshMs = 2000;
constexpr size_t kHeadBytes = 1024;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}
} // namespace

TransportStreamPlugin::TransportStreamPlugin(std::string movieName, std::function<bool()> setServed,
                                             std::function<long long()> clockMs)
    : movieName_(std::move(movieName)), setServed_(std::move(setServed)),
      clockMs_(std::move(clockMs)) {}

TransportStreamPlugin::~TransportStreamPlugin() = default;

long long TransportStreamPlugin::Now() const {
    if (clockMs_)
        return clockMs_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TransportStreamPlugin::Prepare(std::vector<std::string>& args) {
    // A launch that names its demuxer has chosen how the movie is read.
    if (std::find(args.begin(), args.end(), "-demuxer") != args.end())
        return;
    std::string name = movieName_;
    if (name.empty() || name == "-")
        return;
    std::string first = name;
    ZrobPierwszyPart(first);
    if (FindFirstVolumeRule(first) != nullptr) {
        if (!setServed_ || !setServed_())
            return; // mplayer gets the volume as it is
        name = first;
    }
    source_ = std::make_unique<MovieSource>(name, reader_);
    if (!source_->ok() || source_->size() == 0) {
        source_.reset();
        return;
    }
    std::string head(static_cast<size_t>(std::min<uint64_t>(kHeadBytes, source_->size())), '\0');
    head.resize(source_->Read(0, head.data(), head.size()));
    if (!LooksLikeTransportStream(head)) {
        source_.reset();
        return;
    }
    MovieSource* source = source_.get();
    ContainerBytes bytes;
    bytes.size = source->size();
    bytes.read = [source](char* buffer, uint64_t pos, size_t length) {
        return source->Read(pos, buffer, length);
    };
    if (!probe_.Open(std::move(bytes)) || probe_.format() != "mpegts" || probe_.duration() <= 0)
        return;
    active_ = true;
    timing_.length = probe_.duration();
    timing_.start = probe_.start();

    // mplayer would start by its own guess of the bitrate; the start position becomes a seek
    // of ours once playback runs.
    for (size_t i = 0; i + 1 < args.size();) {
        double seconds = 0;
        if (args[i] == "-ss" && ParseStartPosition(args[i + 1], &seconds)) {
            startAt_ = seconds;
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
        } else {
            ++i;
        }
    }
}

std::string TransportStreamPlugin::SeekTo(const std::string& prefix, double seconds) {
    seconds = std::clamp(seconds, 0.0, timing_.length);
    ContainerProbe::Keyframe keyframe;
    std::string command;
    if (seconds <= 0) {
        command = ByteSeekCommand(prefix, 0, probe_.size());
    } else if (probe_.FindKeyframe(seconds, &keyframe)) {
        command = ByteSeekCommand(prefix, keyframe.offset, probe_.size());
        seconds = keyframe.seconds;
    } else {
        // No keyframe after it (the movie's last seconds): where the bytes say.
        command = prefix + Format("seek %.6f 1", 100.0 * seconds / timing_.length);
    }
    // Where it lands, until mplayer says: a second relative seek right after counts from here.
    lastPosition_ = seconds + timing_.start;
    lastPositionMs_ = Now();
    return command;
}

void TransportStreamPlugin::Translate(std::string& command) {
    if (!active_)
        return;
    if (!StartsWith(command, "pausing"))
        paused_ = StartsWith(command, "frame_step") || (StartsWith(command, "pause") && !paused_);
    else if (StartsWith(command, "pausing "))
        paused_ = true;
    SeekCommand seek;
    if (!ParseSeekCommand(command, &seek))
        return;
    if (seek.type == 2) {
        command = SeekTo(seek.prefix, seek.value);
    } else if (seek.type == 1) {
        // A percent of the movie's time, as mplayer means it elsewhere (here it would be of
        // the bytes, which a recording does not spend evenly).
        command = SeekTo(seek.prefix, seek.value * timing_.length / 100.0);
    } else if (seek.type == 0 && lastPositionMs_ >= 0 &&
               (paused_ || Now() - lastPositionMs_ <= kPositionFreshMs)) {
        command = SeekTo(seek.prefix, lastPosition_ - timing_.start + seek.value);
    }
}

bool TransportStreamPlugin::OnOutput(const std::string& piece, PlayerIo& io) {
    if (!active_)
        return true;
    double seconds = 0;
    if (PositionInPiece(piece, &seconds)) {
        lastPosition_ = seconds;
        lastPositionMs_ = Now();
        if (!StartsWith(piece, "ANS_"))
            paused_ = false; // status lines come while it plays
    } else if (StartsWith(piece, "ID_PAUSED") || StartsWith(piece, "  =====  PAUSE  =====")) {
        paused_ = true;
    } else if (StartsWith(piece, "Starting playback...") && startAt_ > 0) {
        io.SendToPlayer(SeekTo("", startAt_));
        startAt_ = -1;
    }
    return true;
}

void TransportStreamPlugin::Retell(std::string& piece) {
    if (active_)
        piece = RetellPiece(piece, timing_);
}
