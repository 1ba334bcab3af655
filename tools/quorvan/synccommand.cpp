#include "tools/quorvan/synccommand.h"

#include "subtitles/subtitlesync.h"
#include "tools/quorvan/commands.h"
#include "tools/quorvan/jsonwriter.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <unistd.h>

CLI::App* AddSyncCommand(CLI::App& app, SyncOptions& o) {
    auto* sync = app.add_subcommand(
        "sync", "Synchronise a subtitle to the movie's speech (writes <subtitle>.synced.<ext>)");
    sync->add_option("movie", o.movie,
                     "Movie file, any volume of a RAR set, or - for the movie on standard input")
        ->required();
    sync->add_option("subtitle", o.subtitle, "SubRip, MicroDVD, MPL2, TMPlayer, SubViewer or ASS")
        ->required();
    sync->add_option("--out", o.out, "Synced subtitle file (default: <subtitle>.synced.<ext>)");
    sync->add_flag("--json", o.json, "Print one JSON object");
    sync->add_flag("--no-split", o.noSplit, "One offset for the whole subtitle");
    return sync;
}

namespace {

std::string Rate(const SyncFit& fit) {
    return fit.rate.ratio == 1 ? std::string("1") : std::string(fit.rate.from) + "->" + fit.rate.to;
}

} // namespace

int RunSync(const SyncOptions& o, FILE* out) {
    SubtitleSyncRequest request;
    request.movie = o.movie;
    request.subtitle = o.subtitle;
    request.out = o.out;
    request.limits.allowSplit = !o.noSplit;
    if (o.movie == "-")
        request.movieFd = STDIN_FILENO;
    SubtitleSyncResult r = SynchroniseSubtitle(request, nullptr, nullptr);
    const SyncFit& fit = r.fit;
    bool scored = fit.found || fit.score != 0;
    if (o.json) {
        JsonObject j;
        j.Add("synced", r.written);
        if (!r.written)
            j.Add("error", r.error);
        else
            j.Add("out", r.outPath);
        if (scored) {
            j.Add("offset", fit.offsetMs / 1000);
            j.Add("rate", fit.rate.ratio);
            j.Add("rate_name", Rate(fit));
            if (fit.splitMs >= 0) {
                j.Add("split", static_cast<double>(fit.splitMs) / 1000);
                j.Add("offset_after", fit.offsetAfterMs / 1000);
            } else {
                j.AddNull("split");
            }
            j.Add("score", fit.score);
            j.Add("split_gain", fit.splitGain);
            j.Add("speech_share", fit.speechShare);
            j.Add("chance_share", fit.chanceShare);
        }
        j.Add("format", SubFormatName(r.format));
        j.Add("encoding", r.encoding);
        j.Add("lines", r.lines);
        j.Add("fps", r.audio.videoFps);
        j.Add("decode_seconds", r.decodeSeconds);
        j.Add("align_seconds", r.alignSeconds);
        std::fprintf(out, "%s\n", j.str().c_str());
    } else if (r.written) {
        std::fprintf(out, "offset: %+.3f s\n", fit.offsetMs / 1000);
        std::fprintf(out, "rate: %s (%.6f)\n", Rate(fit).c_str(), fit.rate.ratio);
        if (fit.splitMs >= 0)
            std::fprintf(out, "split: at %.3f s, offset after: %+.3f s\n",
                         static_cast<double>(fit.splitMs) / 1000, fit.offsetAfterMs / 1000);
        else
            std::fprintf(out, "split: none\n");
        std::fprintf(out, "score: %.1f (speech under the lines %.0f%%, by chance %.0f%%)\n",
                     fit.score, 100 * fit.speechShare, 100 * fit.chanceShare);
        std::fprintf(out, "written: %s\n", r.outPath.c_str());
    }
    std::fflush(out);
    if (r.written)
        return 0;
    std::fprintf(stderr, "quorvan sync: %s\n", r.error.c_str());
    return fit.score != 0 && !fit.found ? kExitNoMatch : kExitUnreadable;
}
