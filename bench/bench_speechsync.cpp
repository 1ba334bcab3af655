// Subtitles synchronised to speech over generated movies (espeak-ng lines under noise, half of
// them with a tune): shifted, stretched by a frame-rate ratio and cut once. Reports the median
// and 95th-percentile start error after the sync, the refused and wrong cases, a subtitle of
// another movie against each movie (must be refused), and the time for a 2-hour movie with
// 5.1 sound beside what mplayer alone needs to decode that sound.
//
//     bench_speechsync FOLDER [CASES] [MINUTES_FROM] [MINUTES_TO]
//     bench_speechsync --two-hours FOLDER
#include "subtitles/speechalign.h"
#include "subtitles/subtitleparse.h"
#include "subtitles/subtitlesync.h"
#include "tests/support/speechmovie.h"
#include "tests/support/testenv.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

double Percentile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Distortion {
    std::string name;
    double scale = 1, offset = 0;
    int64_t split = -1;
    double after = 0;
};

Distortion Pick(int k, const std::vector<SpokenLine>& lines, std::mt19937& rng) {
    std::uniform_real_distribution<double> shift(-540000, 540000), jump(-60000, 60000);
    Distortion d;
    d.offset = shift(rng);
    const auto& rates = SyncRates();
    switch (k % 3) {
    case 0:
        d.name = "shift";
        break;
    case 1: {
        // The subtitle's times are the movie's stretched by the inverse of a ratio the sync
        // knows; the shift stays within what the sync searches after the stretch.
        const SyncRate& r = rates[1 + static_cast<size_t>(k / 3) % (rates.size() - 1)];
        d.scale = 1 / r.ratio;
        d.offset /= 3;
        d.name = std::string("rate ") + r.to + "->" + r.from;
        break;
    }
    default: {
        std::uniform_int_distribution<size_t> at(lines.size() / 5, lines.size() * 4 / 5);
        d.split = lines[at(rng)].startMs;
        d.after = d.offset + (jump(rng) > 0 ? 1 : -1) * (2000 + std::fabs(jump(rng)));
        d.name = "split";
        break;
    }
    }
    return d;
}

// The time for a 2-hour movie with 5.1 sound and a picture, beside mplayer's own decoding of
// that sound to nothing (the floor) and ffmpeg's.
int TwoHours(const std::string& folder) {
    SpeechMovieSpec spec;
    spec.folder = folder;
    spec.seed = 2;
    spec.seconds = 7200;
    spec.channels = 6;
    double t0 = Now();
    SpeechMovie movie = MakeSpeechMovie(spec);
    if (movie.path.empty()) {
        std::fprintf(stderr, "%s\n", movie.error.c_str());
        return 1;
    }
    std::printf("2-hour movie (%zu lines, AC-3 5.1, MPEG-4 picture) ready in %.0f s\n",
                movie.lines.size(), Now() - t0);
    std::string sub = folder + "/twohours.srt";
    WriteFile(sub, SubRipOf(movie.lines, 25 / (24000.0 / 1001), 95000));
    SubtitleSyncRequest request;
    request.movie = movie.path;
    request.subtitle = sub;
    t0 = Now();
    SubtitleSyncResult r = SynchroniseSubtitle(request, nullptr, nullptr);
    double took = Now() - t0;
    std::printf("sync: %s, %s in %.1f s (decoding and speech %.1f s, alignment %.2f s)\n",
                r.written ? "written" : r.error.c_str(), SyncSummary(r.fit).c_str(), took,
                r.decodeSeconds, r.alignSeconds);
    t0 = Now();
    std::string out;
    int rc = RunCommand({"mplayer", "-really-quiet", "-nolirc", "-noconsolecontrols", "-vo", "null",
                         "-novideo", "-ao", "pcm:fast:file=/dev/null", movie.path},
                        &out);
    std::printf("mplayer decoding the sound alone: %.1f s (exit %d)\n", Now() - t0, rc);
    t0 = Now();
    rc = RunCommand({"ffmpeg", "-v", "error", "-i", movie.path, "-vn", "-f", "null", "-"}, &out);
    std::printf("ffmpeg decoding the sound alone: %.1f s (exit %d)\n", Now() - t0, rc);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--two-hours")
        return TwoHours(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_speechsync FOLDER [CASES] [MIN_FROM] [MIN_TO]\n");
        return 2;
    }
    std::string folder = argv[1];
    int cases = argc > 2 ? std::atoi(argv[2]) : 30;
    int from = argc > 3 ? std::atoi(argv[3]) : 20;
    int to = argc > 4 ? std::atoi(argv[4]) : 90;
    std::filesystem::create_directories(folder);

    std::vector<double> errors, caseMedians;
    int refused = 0, wrong = 0, strangerAccepted = 0, splitsFound = 0, splits = 0;
    double audioSeconds = 0, syncSeconds = 0;
    std::vector<SpeechMovie> movies;
    for (int k = 0; k < cases; ++k) {
        SpeechMovieSpec spec;
        spec.folder = folder;
        spec.seed = 1000 + static_cast<uint32_t>(k);
        spec.seconds = 60 * (from + (cases > 1 ? (to - from) * k / (cases - 1) : 0));
        spec.music = k % 2 == 1;
        spec.video = false;
        double t0 = Now();
        SpeechMovie movie = MakeSpeechMovie(spec);
        if (movie.path.empty()) {
            std::fprintf(stderr, "case %d: %s\n", k, movie.error.c_str());
            return 1;
        }
        double made = Now() - t0;
        std::mt19937 rng(spec.seed);
        Distortion d = Pick(k, movie.lines, rng);
        std::string sub = folder + "/case" + std::to_string(k) + ".srt";
        WriteFile(sub, SubRipOf(movie.lines, d.scale, d.offset, d.split, d.after));
        SubtitleSyncRequest request;
        request.movie = movie.path;
        request.subtitle = sub;
        t0 = Now();
        SubtitleSyncResult r = SynchroniseSubtitle(request, nullptr, nullptr);
        double took = Now() - t0;
        audioSeconds += spec.seconds;
        syncSeconds += took;
        splits += d.split >= 0;
        std::printf("case %2d %3d min %-5s %-18s", k, spec.seconds / 60,
                    spec.music ? "music" : "noise", d.name.c_str());
        if (!r.written) {
            ++refused;
            std::printf(" REFUSED (%s) score %.1f\n", r.error.c_str(), r.fit.score);
            continue;
        }
        splitsFound += r.fit.splitMs >= 0 && d.split >= 0;
        std::vector<SpokenLine> kept;
        for (const auto& l : movie.lines) {
            double b = d.split >= 0 && l.startMs >= d.split ? d.after : d.offset;
            if (static_cast<double>(l.startMs) * d.scale + b >= 0)
                kept.push_back(l);
        }
        std::vector<SubtitleCue> cues = ParseSubtitleFile(ReadFile(r.outPath)).cues;
        std::vector<double> own;
        for (size_t i = 0; i < cues.size() && i < kept.size(); ++i)
            own.push_back(std::fabs(static_cast<double>(cues[i].start - kept[i].startMs)));
        double median = Percentile(own, 0.5);
        caseMedians.push_back(median);
        errors.insert(errors.end(), own.begin(), own.end());
        if (median > 500)
            ++wrong;
        std::printf(" %s  score %5.1f (one offset %5.1f)  median %4.0f ms  p95 %5.0f ms  %5.1f s "
                    "(made in %.0f s)\n",
                    SyncSummary(r.fit).c_str(), r.fit.score, r.fit.singleScore, median,
                    Percentile(own, 0.95), took, made);
        std::fflush(stdout);
        movies.push_back(movie);
    }
    // Each movie against the subtitle of the next one: nothing may be written.
    for (size_t k = 0; k < movies.size(); ++k) {
        const SpeechMovie& other = movies[(k + 1) % movies.size()];
        std::string sub = folder + "/stranger" + std::to_string(k) + ".srt";
        WriteFile(sub, SubRipOf(other.lines, 1, 0));
        SubtitleSyncRequest request;
        request.movie = movies[k].path;
        request.subtitle = sub;
        SubtitleSyncResult r = SynchroniseSubtitle(request, nullptr, nullptr);
        if (r.written) {
            ++strangerAccepted;
            std::printf("stranger %zu ACCEPTED: %s score %.1f\n", k, SyncSummary(r.fit).c_str(),
                        r.fit.score);
        } else {
            std::printf("stranger %zu refused, one-offset score %.1f\n", k, r.fit.singleScore);
        }
    }
    std::printf("\n%d cases of %d to %d minutes: %zu lines\n", cases, from, to, errors.size());
    std::printf("start error after sync: median %.0f ms, 95th percentile %.0f ms\n",
                Percentile(errors, 0.5), Percentile(errors, 0.95));
    std::printf("refused %d, wrong (median over 0.5 s) %d, splits found %d of %d\n", refused, wrong,
                splitsFound, splits);
    std::printf("another movie's subtitle accepted: %d of %zu\n", strangerAccepted, movies.size());
    std::printf("speed: %.0f s of movie in %.1f s (%.0fx real time)\n", audioSeconds, syncSeconds,
                audioSeconds / std::max(0.001, syncSeconds));
    return 0;
}
