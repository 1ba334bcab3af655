// quorvan: the command-line companion of Quorvan Rar Player (fingerprints and RAR sets).
#include "tools/quorvan/commands.h"
#include "tools/quorvan/framecommand.h"
#include "tools/quorvan/subtitlescommand.h"
#include "tools/quorvan/synccommand.h"
#include "tools/quorvan/thumbscommand.h"
#include "tools/quorvan/uploadcommand.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    CLI::App app{"quorvan: fingerprints of movies and the movies stored in RAR volume sets"};
    app.require_subcommand(1);

    std::string movie, volume;
    bool json = false;
    uint64_t offset = 0, length = 0;

    auto* hash = app.add_subcommand("hash", "Size, OpenSubtitles hash, Napiprojekt MD5 and token, "
                                            "NapisyInfo MD5 (and the RAR set's geometry)");
    hash->add_option("movie", movie, "Movie file or any volume of a stored RAR set")->required();
    hash->add_flag("--json", json, "Print one JSON object");

    auto* info = app.add_subcommand("rar-info", "Geometry of the RAR set a volume belongs to");
    info->add_option("volume", volume, "Any volume of the set")->required();
    info->add_flag("--json", json, "Print one JSON object");

    auto* cat = app.add_subcommand("cat", "Write the stored movie's bytes to standard output");
    cat->add_option("volume", volume, "Any volume of the set")->required();
    cat->add_option("--offset", offset, "First byte to write")->capture_default_str();
    auto* lengthOption = cat->add_option("--length", length, "Number of bytes to write");

    SubtitlesOptions subs;
    auto* subtitles = app.add_subcommand(
        "subtitles", "Download subtitles beside each movie (found by its fingerprint)");
    subtitles->add_option("--service", subs.service, "napiprojekt or opensubtitles")
        ->capture_default_str();
    subtitles->add_option("--lang", subs.language,
                          "Language: PL or ENG (Napiprojekt), a three-letter code (OpenSubtitles)");
    subtitles->add_flag("--list", subs.list, "OpenSubtitles: list the results, fetch nothing");
    subtitles->add_flag("--json", subs.json, "Print one JSON object per movie");
    subtitles->add_option("movie", subs.movies, "Movie files or volumes of stored RAR sets")
        ->required();

    UploadOptions up;
    auto* upload = app.add_subcommand("upload", "Upload a subtitle of a movie to OpenSubtitles");
    upload->add_option("--subtitle", up.subtitle, "The subtitle file")->required();
    upload->add_option("--imdb", up.imdb, "The movie's IMDB number (else the first search result)");
    upload->add_option("movie", up.movie, "The movie file or a volume of its stored RAR set")
        ->required();

    ThumbsOptions thumbsOptions;
    auto* thumbs = AddThumbsCommand(app, thumbsOptions);

    FrameOptions frameOptions;
    auto* frame = AddFrameCommand(app, frameOptions);

    SyncOptions syncOptions;
    auto* sync = AddSyncCommand(app, syncOptions);

    CLI11_PARSE(app, argc, argv);

    // Results and movie bytes go to the real standard output; anything the core prints by
    // itself (the reader's "file > 2GB") is sent to stderr so it cannot mix into them.
    std::fflush(stdout);
    FILE* out = fdopen(dup(STDOUT_FILENO), "wb");
    if (out == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("quorvan");
        return kExitUnreadable;
    }

    int status;
    if (hash->parsed())
        status = RunHash(movie, json, out);
    else if (subtitles->parsed())
        status = RunSubtitles(subs, out);
    else if (upload->parsed())
        status = RunUpload(up, out);
    else if (info->parsed())
        status = RunRarInfo(volume, json, out);
    else if (thumbs->parsed())
        status = RunThumbs(thumbsOptions, out);
    else if (frame->parsed())
        status = RunFrame(frameOptions, out);
    else if (sync->parsed())
        status = RunSync(syncOptions, out);
    else
        status =
            RunCat(volume, offset,
                   lengthOption->count() > 0 ? std::optional<uint64_t>(length) : std::nullopt, out);
    if (std::fclose(out) != 0 && status == 0)
        status = kExitUnreadable;
    return status;
}
