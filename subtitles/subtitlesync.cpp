#include "subtitles/subtitlesync.h"

#include "platform/paths.h"
#include "platform/process.h"
#include "platform/rarnames.h"
#include "rar/rarvolumeset.h"
#include "subtitles/speechactivity.h"
#include "subtitles/subtitleretime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double kDecodeShare = 0.95; // of the progress bar

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxSubtitleFile + 1)
        return false;
    in.seekg(0);
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), size);
    return static_cast<bool>(in);
}

// Written under a temporary name and renamed, so a reader never sees half a file.
bool WriteWhole(const std::string& path, const std::string& bytes) {
    std::string temp = path + ".part";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FirstVolumeOf(const std::string& path) {
    std::string first = path;
    ZrobPierwszyPart(first);
    return first;
}

// A RAR set whose movie is compressed: the extractor's output is the stream.
bool IsCompressedSet(const std::string& path) {
    std::string first = FirstVolumeOf(path);
    RarVolumeSet set;
    if (FindFirstVolumeRule(first) == nullptr || !set.isRarFileName(first.c_str()))
        return false;
    auto lock = set.Lock();
    return set.raropen() && !set.stored;
}

std::string Clock(double ms) {
    long long s = std::llround(ms / 1000);
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string Seconds(double ms) {
    char text[40];
    std::snprintf(text, sizeof text, "%+.2f s", ms / 1000);
    return text;
}

} // namespace

std::string SyncSummary(const SyncFit& fit) {
    std::string text = Seconds(fit.offsetMs);
    if (fit.rate.ratio != 1)
        text += std::string(", ") + fit.rate.from + "\u2192" + fit.rate.to;
    if (fit.splitMs >= 0)
        text += ", " + Seconds(fit.offsetAfterMs) + " after " + Clock(fit.Map(fit.splitMs));
    return text;
}

SpeechTrackResult MovieSpeechTrack(const MovieAudioSource& source,
                                   const std::function<void(double)>& progress,
                                   const std::atomic<bool>* cancel) {
    SpeechTrackResult result;
    SpeechActivity activity;
    result.audio = DecodeMovieAudio(
        source,
        [&](const float* samples, size_t count, int64_t first) {
            activity.Feed(samples, count, first);
        },
        progress, cancel);
    if (result.audio.ok)
        result.track = activity.Track();
    return result;
}

SubtitleSyncResult SynchroniseSubtitle(const SubtitleSyncRequest& request,
                                       const std::function<void(double)>& progress,
                                       const std::atomic<bool>* cancel) {
    SubtitleSyncResult result;
    std::string bytes;
    if (!ReadWhole(request.subtitle, bytes)) {
        result.error = "cannot read the subtitle file " + request.subtitle;
        return result;
    }
    ParsedSubtitles parsed = ParseSubtitleFile(bytes);
    if (!parsed.error.empty()) {
        result.error = request.subtitle + ": " + parsed.error;
        return result;
    }
    result.format = parsed.format;
    result.encoding = parsed.encoding;

    // The movie: a file, a stored set, or a stream (given, or out of the extractor).
    MovieAudioSource source;
    pid_t extractor = -1;
    if (request.movie == "-") {
        source.fd = request.movieFd >= 0 ? request.movieFd : STDIN_FILENO;
    } else if (IsCompressedSet(request.movie)) {
        SpawnOptions spawn;
        spawn.argv = {request.extractor.empty() ? std::string(KatalogExe()) + "binary/unrar"
                                                : request.extractor,
                      "p", "-inul", FirstVolumeOf(request.movie)};
        spawn.pipeOutput = true;
        spawn.newProcessGroup = true;
        SpawnResult started = SpawnProcess(spawn);
        if (!started.ok()) {
            result.error = "cannot start the extractor for " + request.movie;
            return result;
        }
        extractor = started.pid;
        source.fd = started.outputFd;
    } else {
        source.path = request.movie;
    }

    auto begin = std::chrono::steady_clock::now();
    SpeechTrackResult speech = MovieSpeechTrack(
        source,
        [&](double f) {
            if (progress)
                progress(f * kDecodeShare);
        },
        cancel);
    if (extractor > 0) {
        ::close(source.fd);
        KillProcessGroup(extractor, 500);
    }
    result.decodeSeconds = SecondsSince(begin);
    result.audio = speech.audio.info;
    if (!speech.audio.ok) {
        result.cancelled = speech.audio.cancelled;
        result.error = speech.audio.cancelled ? "cancelled" : speech.audio.error;
        return result;
    }

    begin = std::chrono::steady_clock::now();
    double fps = result.audio.videoFps;
    std::vector<SubtitleCue> cues = CuesInMilliseconds(parsed, fps);
    std::vector<SpeechInterval> lines;
    for (const auto& cue : cues)
        lines.push_back({cue.start, cue.end});
    result.lines = static_cast<int>(lines.size());
    result.fit = FindSync(lines, speech.track, request.limits);
    result.alignSeconds = SecondsSince(begin);
    if (!result.fit.found) {
        result.error = result.fit.why;
        return result;
    }
    if (cancel != nullptr && cancel->load()) {
        result.cancelled = true;
        result.error = "cancelled";
        return result;
    }

    const SyncFit fit = result.fit;
    RetimedFile retimed = RetimeSubtitleFile(
        bytes,
        [&fit](double lineStart, double ms) {
            double b = fit.splitMs >= 0 && lineStart >= static_cast<double>(fit.splitMs)
                           ? fit.offsetAfterMs
                           : fit.offsetMs;
            return fit.rate.ratio * ms + b;
        },
        fps);
    if (!retimed.error.empty()) {
        result.error = request.subtitle + ": " + retimed.error;
        return result;
    }
    std::string out = request.out.empty() ? SyncedSubtitleName(request.subtitle) : request.out;
    if (!WriteWhole(out, retimed.bytes)) {
        std::string second =
            request.out.empty() && !request.fallbackFolder.empty()
                ? request.fallbackFolder + "/" + FileName(SyncedSubtitleName(request.subtitle))
                : "";
        if (second.empty() || !WriteWhole(second, retimed.bytes)) {
            result.error = "cannot write " + out;
            return result;
        }
        out = second;
    }
    result.outPath = out;
    result.written = true;
    if (progress)
        progress(1.0);
    return result;
}
