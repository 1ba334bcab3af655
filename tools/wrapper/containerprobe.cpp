#include "tools/wrapper/containerprobe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

namespace {
constexpr int kIoBufferSize = 64 * 1024;
// Packets read after a timestamp search before giving up on a keyframe: ten seconds of a
// high-rate recording between keyframes are some thousands of packets.
constexpr int kMaxPacketsAfterSearch = 30000;
// A keyframe's decoding time lies before its presentation time (reordered pictures), and a
// timestamp search lands near the decoding time: the search starts this much earlier.
constexpr double kSearchLeadSeconds = 1.0;
// A keyframe this little before the asked time counts as at it (a frame's rounding).
constexpr double kFrameSlackSeconds = 0.02;

struct IoState {
    ContainerBytes bytes;
    uint64_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* io = static_cast<IoState*>(opaque);
    if (size <= 0 || io->position >= io->bytes.size)
        return AVERROR_EOF;
    size_t length = static_cast<size_t>(
        std::min<uint64_t>(static_cast<uint64_t>(size), io->bytes.size - io->position));
    size_t got = io->bytes.read(reinterpret_cast<char*>(buffer), io->position, length);
    if (got == 0)
        return AVERROR_EOF;
    io->position += got;
    return static_cast<int>(got);
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    auto* io = static_cast<IoState*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return static_cast<int64_t>(io->bytes.size);
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<int64_t>(io->position);
    else if (whence == SEEK_END)
        base = static_cast<int64_t>(io->bytes.size);
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    if (offset < -base)
        return AVERROR(EINVAL);
    io->position = static_cast<uint64_t>(base + offset);
    return base + offset;
}
} // namespace

struct ContainerProbe::State {
    IoState io;
    AVIOContext* avio = nullptr;
    AVFormatContext* format = nullptr;
    int video = -1;
    double duration = 0;
    double start = 0;

    ~State() {
        if (format != nullptr)
            avformat_close_input(&format); // leaves our own I/O context alone
        if (avio != nullptr) {
            av_freep(&avio->buffer);
            avio_context_free(&avio);
        }
    }
};

ContainerProbe::ContainerProbe() = default;
ContainerProbe::~ContainerProbe() = default;

bool ContainerProbe::Open(ContainerBytes bytes) {
    state_.reset();
    if (!bytes.read || bytes.size == 0)
        return false;
    // Its complaints about a damaged stream would reach the front end's console as player
    // output; mplayer reports what matters itself.
    av_log_set_level(AV_LOG_QUIET);
    auto state = std::make_unique<State>();
    state->io.bytes = std::move(bytes);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr)
        return false;
    state->avio =
        avio_alloc_context(buffer, kIoBufferSize, 0, &state->io, ReadPacket, nullptr, SeekBytes);
    if (state->avio == nullptr) {
        av_free(buffer);
        return false;
    }
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr)
        return false;
    format->pb = state->avio;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&format, nullptr, nullptr, nullptr) < 0)
        return false; // the context is freed by the failed open
    state->format = format;
    if (avformat_find_stream_info(format, nullptr) < 0)
        return false;
    state->video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (format->start_time != AV_NOPTS_VALUE)
        state->start = static_cast<double>(format->start_time) / AV_TIME_BASE;
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        state->duration = static_cast<double>(format->duration) / AV_TIME_BASE;
    state_ = std::move(state);
    return true;
}

bool ContainerProbe::open() const {
    return state_ != nullptr;
}

std::string ContainerProbe::format() const {
    return open() && state_->format->iformat != nullptr ? state_->format->iformat->name : "";
}

double ContainerProbe::duration() const {
    return open() ? state_->duration : 0;
}

double ContainerProbe::start() const {
    return open() ? state_->start : 0;
}

uint64_t ContainerProbe::size() const {
    return open() ? state_->io.bytes.size : 0;
}

bool ContainerProbe::FindKeyframe(double seconds, Keyframe* found) {
    if (!open() || state_->video < 0 || !std::isfinite(seconds))
        return false;
    AVFormatContext* format = state_->format;
    AVStream* stream = format->streams[state_->video];
    const double unit = av_q2d(stream->time_base);
    if (!(unit > 0))
        return false;
    const double target = state_->start + std::max(0.0, seconds);
    const auto searchAt = static_cast<int64_t>(std::llround((target - kSearchLeadSeconds) / unit));
    if (av_seek_frame(format, state_->video, searchAt, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format, state_->video, searchAt, 0) < 0)
        return false;
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr)
        return false;
    bool ok = false;
    for (int n = 0; !ok && n < kMaxPacketsAfterSearch && av_read_frame(format, packet) >= 0; ++n) {
        int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (packet->stream_index == state_->video && (packet->flags & AV_PKT_FLAG_KEY) != 0 &&
            packet->pos >= 0 && stamp != AV_NOPTS_VALUE) {
            double time = static_cast<double>(stamp) * unit;
            if (time >= target - kFrameSlackSeconds) {
                found->offset = static_cast<uint64_t>(packet->pos);
                found->seconds = time - state_->start;
                ok = true;
            }
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return ok;
}

bool LooksLikeTransportStream(const std::string& head) {
    auto syncEvery = [&head](size_t first, size_t stride) {
        const size_t packets = 5;
        if (head.size() < first + stride * (packets - 1) + 1)
            return false;
        for (size_t k = 0; k < packets; ++k)
            if (static_cast<unsigned char>(head[first + k * stride]) != 0x47)
                return false;
        return true;
    };
    return syncEvery(0, 188) || syncEvery(4, 192);
}
