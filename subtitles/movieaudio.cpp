#include "subtitles/movieaudio.h"

#include "platform/rarnames.h"
#include "rar/rarvolumeset.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kIoBufferBytes = 256 * 1024;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// What the custom reads of libavformat come from: a stored RAR set or a descriptor.
struct IoState {
    RarVolumeSet* set = nullptr;
    int64_t size = 0;
    int64_t position = 0;
    int fd = -1;
    const std::atomic<bool>* cancel = nullptr;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* io = static_cast<IoState*>(opaque);
    if (io->cancel != nullptr && io->cancel->load())
        return AVERROR_EXIT;
    if (io->set != nullptr) {
        int64_t got = io->set->ReadUpToGap(reinterpret_cast<char*>(buffer), io->position, size);
        if (got <= 0)
            return AVERROR_EOF;
        io->position += got;
        return static_cast<int>(got);
    }
    for (;;) {
        ssize_t got = ::read(io->fd, buffer, static_cast<size_t>(size));
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* io = static_cast<IoState*>(opaque);
    if (io->set == nullptr)
        return -1;
    if (whence & AVSEEK_SIZE)
        return io->size;
    whence &= ~AVSEEK_FORCE;
    int64_t to = whence == SEEK_SET   ? offset
                 : whence == SEEK_CUR ? io->position + offset
                 : whence == SEEK_END ? io->size + offset
                                      : -1;
    if (to < 0)
        return -1;
    io->position = to;
    return to;
}

int Interrupt(void* opaque) {
    auto* cancel = static_cast<const std::atomic<bool>*>(opaque);
    return cancel != nullptr && cancel->load() ? 1 : 0;
}

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct IoCloser {
    void operator()(AVIOContext* io) const {
        if (io != nullptr)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct SwrCloser {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Turns decoded frames into 16 kHz mono and counts where they lie.
class Resampler {
  public:
    bool Open(const AVCodecContext* codec) {
        SwrContext* raw = nullptr;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        AVChannelLayout in;
        if (codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || codec->ch_layout.nb_channels <= 0)
            av_channel_layout_default(
                &in, codec->ch_layout.nb_channels > 0 ? codec->ch_layout.nb_channels : 2);
        else if (av_channel_layout_copy(&in, &codec->ch_layout) < 0)
            return false;
        int rc = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, kSpeechSampleRate, &in,
                                     codec->sample_fmt, codec->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        swr_.reset(raw);
        inRate_ = codec->sample_rate;
        return rc >= 0 && swr_init(swr_.get()) >= 0;
    }

    // `first` is the frame's place in samples at 16 kHz; -1 when it has no time stamp.
    void Push(const AVFrame* frame, int64_t first, const AudioSink& sink) {
        if (!started_) {
            next_ = first < 0 ? 0 : first;
            started_ = true;
        }
        int room = swr_get_out_samples(swr_.get(), frame->nb_samples);
        if (room <= 0)
            return;
        out_.resize(static_cast<size_t>(room));
        auto* dest = reinterpret_cast<uint8_t*>(out_.data());
        int got = swr_convert(swr_.get(), &dest, room,
                              const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        Deliver(got, sink);
    }

    void Flush(const AudioSink& sink) {
        if (!swr_)
            return;
        out_.resize(4096);
        auto* dest = reinterpret_cast<uint8_t*>(out_.data());
        Deliver(swr_convert(swr_.get(), &dest, 4096, nullptr, 0), sink);
    }

    int inRate() const { return inRate_; }

  private:
    void Deliver(int got, const AudioSink& sink) {
        if (got <= 0)
            return;
        sink(out_.data(), static_cast<size_t>(got), next_);
        next_ += got;
    }

    std::unique_ptr<SwrContext, SwrCloser> swr_;
    std::vector<float> out_;
    int64_t next_ = 0;
    bool started_ = false;
    int inRate_ = 0;
};

} // namespace

MovieAudioResult DecodeMovieAudio(const MovieAudioSource& source, const AudioSink& sink,
                                  const AudioProgress& progress, const std::atomic<bool>* cancel) {
    MovieAudioResult result;
    av_log_set_level(AV_LOG_ERROR);

    IoState io;
    io.cancel = cancel;
    RarVolumeSet set;
    std::unique_ptr<AVIOContext, IoCloser> avio;
    std::unique_ptr<AVFormatContext, FormatCloser> format(avformat_alloc_context());
    if (!format) {
        result.error = "out of memory";
        return result;
    }
    format->interrupt_callback.callback = Interrupt;
    format->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(cancel);

    bool custom = source.fd >= 0;
    // Any volume names its set, as for the player.
    std::string first = source.path;
    ZrobPierwszyPart(first);
    if (!custom && FindFirstVolumeRule(first) != nullptr && set.isRarFileName(first.c_str())) {
        auto lock = set.Lock();
        if (!set.raropen() || !set.stored) {
            result.error = set.volumeDataSize == 0
                               ? "cannot read the RAR set of " + source.path
                               : "the movie is compressed in its RAR set; it can only be "
                                 "streamed through the extractor";
            return result;
        }
        io.set = &set;
        io.size = static_cast<int64_t>(set.unpackedSize);
        custom = true;
    } else if (!custom) {
        // Only regular files: opening a FIFO without a writer would wait for ever.
        struct stat info;
        if (::stat(source.path.c_str(), &info) != 0 || ::access(source.path.c_str(), R_OK) != 0) {
            result.error = "cannot open " + source.path;
            return result;
        }
        if (!S_ISREG(info.st_mode)) {
            result.error = source.path + " is not a movie file";
            return result;
        }
    }
    if (custom) {
        io.fd = source.fd;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
        avio.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, &io, ReadPacket, nullptr,
                                      io.set != nullptr ? SeekPacket : nullptr));
        if (!avio) {
            av_free(buffer);
            result.error = "out of memory";
            return result;
        }
        avio->seekable = io.set != nullptr ? AVIO_SEEKABLE_NORMAL : 0;
        format->pb = avio.get();
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
    }

    AVFormatContext* raw = format.release();
    int rc = avformat_open_input(&raw, custom ? "" : source.path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        // avformat_open_input frees the context on failure.
        result.error = cancel != nullptr && cancel->load()
                           ? "cancelled"
                           : "not a movie the decoder can read (" + AvError(rc) + ")";
        result.cancelled = cancel != nullptr && cancel->load();
        return result;
    }
    format.reset(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        result.error = "not a movie the decoder can read (no stream information)";
        return result;
    }
    const AVCodec* decoder = nullptr;
    int audio = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (audio < 0 || decoder == nullptr) {
        result.error = audio == AVERROR_DECODER_NOT_FOUND ? "no decoder for the movie's sound"
                                                          : "the movie has no sound";
        return result;
    }
    AVStream* stream = format->streams[audio];
    int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, audio, nullptr, 0);
    if (video >= 0) {
        AVRational fps = av_guess_frame_rate(format.get(), format->streams[video], nullptr);
        if (fps.num > 0 && fps.den > 0)
            result.info.videoFps = av_q2d(fps);
    }
    if (format->duration > 0)
        result.info.durationSeconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    result.info.codec = decoder->name;
    // Only the sound is wanted: the demuxer drops the other streams' packets.
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != audio)
            format->streams[i]->discard = AVDISCARD_ALL;

    std::unique_ptr<AVCodecContext, CodecCloser> codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0) {
        result.error = "cannot set up the sound decoder";
        return result;
    }
    codec->thread_count = 1;
    // Decoders that can mix down themselves (AC-3, DTS) save most of the work of 5.1 sound.
    AVDictionary* options = nullptr;
    if (codec->ch_layout.nb_channels > 2)
        av_dict_set(&options, "downmix", "stereo", 0);
    rc = avcodec_open2(codec.get(), decoder, &options);
    av_dict_free(&options);
    if (rc < 0) {
        result.error = std::string("cannot open the sound decoder ") + decoder->name;
        return result;
    }

    int64_t startPts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    int64_t origin = format->start_time != AV_NOPTS_VALUE
                         ? av_rescale_q(format->start_time, AV_TIME_BASE_Q, stream->time_base)
                         : startPts;
    double duration = result.info.durationSeconds;

    Resampler resampler;
    bool resamplerOpen = false;
    std::unique_ptr<AVPacket, PacketCloser> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameCloser> frame(av_frame_alloc());
    double lastReported = -1;

    auto drain = [&]() {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            if (!resamplerOpen || frame->sample_rate != resampler.inRate() ||
                frame->format != codec->sample_fmt ||
                av_channel_layout_compare(&frame->ch_layout, &codec->ch_layout) != 0) {
                // The first frame (or a change mid-stream) tells the real layout.
                if (resamplerOpen)
                    resampler.Flush(sink);
                codec->sample_rate = frame->sample_rate;
                codec->sample_fmt = static_cast<AVSampleFormat>(frame->format);
                av_channel_layout_uninit(&codec->ch_layout);
                av_channel_layout_copy(&codec->ch_layout, &frame->ch_layout);
                Resampler fresh;
                resampler = std::move(fresh);
                if (!resampler.Open(codec.get()))
                    return false;
                resamplerOpen = true;
            }
            int64_t first = -1;
            int64_t pts = frame->best_effort_timestamp;
            if (pts != AV_NOPTS_VALUE)
                first =
                    av_rescale_q(pts - origin, stream->time_base, AVRational{1, kSpeechSampleRate});
            resampler.Push(frame.get(), first, sink);
            if (pts != AV_NOPTS_VALUE && duration > 0 && progress) {
                double at =
                    av_q2d(stream->time_base) * static_cast<double>(pts - origin) / duration;
                if (at - lastReported >= 0.005) {
                    lastReported = at;
                    progress(std::min(1.0, std::max(0.0, at)));
                }
            }
            av_frame_unref(frame.get());
        }
        return true;
    };

    bool any = false;
    for (;;) {
        if (cancel != nullptr && cancel->load()) {
            result.cancelled = true;
            result.error = "cancelled";
            return result;
        }
        rc = av_read_frame(format.get(), packet.get());
        if (rc < 0)
            break;
        if (packet->stream_index == audio) {
            if (avcodec_send_packet(codec.get(), packet.get()) >= 0)
                any = true;
            if (!drain()) {
                result.error = "cannot convert the movie's sound";
                return result;
            }
        }
        av_packet_unref(packet.get());
    }
    if (cancel != nullptr && cancel->load()) {
        result.cancelled = true;
        result.error = "cancelled";
        return result;
    }
    avcodec_send_packet(codec.get(), nullptr);
    drain();
    if (resamplerOpen)
        resampler.Flush(sink);
    if (!any) {
        result.error = "no sound could be decoded from the movie";
        return result;
    }
    if (progress)
        progress(1.0);
    result.ok = true;
    return result;
}
