#include "tools/quorvan/framecommand.h"

#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "platform/rarnames.h"
#include "thumbs/capture.h"
#include "thumbs/captureplayer.h"
#include "thumbs/framegrab.h"
#include "thumbs/thumbfiles.h"
#include "tools/quorvan/commands.h"
#include "tools/quorvan/thumbscommand.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <unistd.h>

CLI::App* AddFrameCommand(CLI::App& app, FrameOptions& o) {
    auto* frame = app.add_subcommand("frame", "One frame of a movie as a PNG picture");
    frame->add_option("--at", o.at, "The movie's time in seconds")
        ->required()
        ->check(CLI::Range(0.0, 1e7));
    frame->add_option("--width", o.width, "Picture width in pixels (default: the movie's own)")
        ->check(CLI::Range(0, 16000));
    frame->add_option("--out", o.out, "The PNG file to write")->required();
    frame->add_option("movie", o.movie, "Movie file or any volume of a stored RAR set")->required();
    return frame;
}

namespace {
constexpr int kOneFrameLimitMs = 30000;
} // namespace

int RunFrame(const FrameOptions& o, FILE* out) {
    std::string movie = o.movie;
    if (movie.empty() || movie[0] != '/')
        movie = WorkingDirectory() + "/" + movie;
    if (std::string why = NotAMovieFile(movie); !why.empty()) {
        std::fprintf(stderr, "quorvan: %s: %s\n", movie.c_str(), why.c_str());
        return kExitUnreadable;
    }
    ZrobPierwszyPart(movie);
    if (!IsFileExist(PlayerWrapperPath().c_str())) {
        std::fprintf(stderr, "quorvan: no player at %s\n", PlayerWrapperPath().c_str());
        return kExitPlayerFailed;
    }
    ShotFolder folder("quorvan-frame-");
    if (folder.path().empty()) {
        std::fprintf(stderr, "quorvan: cannot make a folder for the frame\n");
        return kExitPlayerFailed;
    }
    CapturePlayerOptions options;
    options.movie = movie;
    options.frameWidth = o.width;
    options.folder = folder.path();
    options.startPaused = true;
    CapturePlayer player(options);
    if (!player.started()) {
        std::fprintf(stderr, "quorvan: the player could not be started\n");
        return kExitPlayerFailed;
    }
    FdChannel channel(player.output(), [&player](const std::string& c) { return player.Send(c); });
    PlaybackStart start = WaitForPlaybackStart(channel);
    if (!start.started) {
        std::fprintf(stderr, "quorvan: %s: the player cannot play it\n", movie.c_str());
        return kExitPlayerFailed;
    }
    const float length = start.length > 0 ? start.length : AskMovieLength(channel);
    if (length > 0 && o.at >= length) {
        std::fprintf(stderr, "quorvan: %s: %.3f s is past the end of the movie (%.3f s)\n",
                     movie.c_str(), o.at, static_cast<double>(length));
        return kExitPastTheEnd;
    }
    FrameGrabber grabber(channel, folder.path(), start);
    GrabbedFrame frame;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOneFrameLimitMs);
    if (grabber.Exact(o.at, deadline, &frame) != FrameGrabber::Status::Ok) {
        std::fprintf(stderr, "quorvan: %s: the player could not take the frame at %.3f s\n",
                     movie.c_str(), o.at);
        return kExitPlayerFailed;
    }
    std::string target = o.out;
    if (target.empty() || target[0] != '/')
        target = WorkingDirectory() + "/" + target;
    if (!frame.image.save(QString::fromStdString(target), "PNG")) {
        std::fprintf(stderr, "quorvan: cannot write %s\n", target.c_str());
        unlink(target.c_str());
        return kExitUnreadable;
    }
    std::fprintf(out, "%.3f\n", frame.seconds);
    return 0;
}
