#include "tools/quorvan/thumbscommand.h"

#include "online/moviehash.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/textutil.h"
#include "player/mplayerinfo.h"
#include "platform/rarnames.h"
#include "thumbs/capture.h"
#include "thumbs/captureplayer.h"
#include "thumbs/capturerules.h"
#include "thumbs/sheet.h"
#include "thumbs/thumbfiles.h"
#include "tools/quorvan/commands.h"
#include "tools/quorvan/jsonwriter.h"

#include <CLI/CLI.hpp>
#include <QGuiApplication>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

CLI::App* AddThumbsCommand(CLI::App& app, ThumbsOptions& o) {
    auto* thumbs = app.add_subcommand("thumbs", "Thumbnail sheet of each movie (a JPEG)");
    thumbs->add_option("--width", o.width, "Sheet width in pixels")
        ->check(CLI::Range(16, 16000))
        ->capture_default_str();
    thumbs->add_option("--across", o.across, "Frames side by side")
        ->check(CLI::Range(1, 79))
        ->capture_default_str();
    thumbs->add_option("--down", o.down, "Lines of frames")
        ->check(CLI::Range(1, 34))
        ->capture_default_str();
    thumbs->add_option("--out", o.out, "Sheet file (one movie only)");
    thumbs->add_option("movies", o.movies, "Movie files or any volume of stored RAR sets")
        ->required();
    thumbs->add_flag("--json", o.json, "Print one JSON object per movie");
    return thumbs;
}

namespace {
std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    return WorkingDirectory() + "/" + path;
}

struct SheetRun {
    int status = 0;
    std::string sheet;
    int width = 0, height = 0;
    float length = 0;
    long long size = 0; // the movie's (stored in a set: its own, not a volume's)
    std::vector<thumbitem> frames;
};

int LocalMilliseconds() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<int>(now.tv_usec / 1000);
}

SheetRun MakeSheet(const ThumbsOptions& o, std::string movie, const std::string& target,
                   const std::string& callerDir) {
    SheetRun run;
    struct stat st;
    if (stat(movie.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(movie.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "quorvan: %s: %s\n", movie.c_str(),
                     errno != 0 && !S_ISDIR(st.st_mode) ? std::strerror(errno)
                                                        : "not a regular movie file");
        run.status = kExitUnreadable;
        return run;
    }
    ZrobPierwszyPart(movie);
    if (!IsFileExist(PlayerWrapperPath().c_str())) {
        std::fprintf(stderr, "quorvan: no player at %s\n", PlayerWrapperPath().c_str());
        run.status = kExitPlayerFailed;
        return run;
    }
    ShotFolder folder;
    if (folder.path().empty()) {
        std::fprintf(stderr, "quorvan: cannot make a folder for the frames\n");
        run.status = kExitPlayerFailed;
        return run;
    }
    const int frameWidth = ThumbFrameWidth(o.width, o.across);
    QImage sheet;
    {
        CapturePlayerOptions options;
        options.movie = movie;
        options.frameWidth = frameWidth;
        options.folder = folder.path();
        CapturePlayer player(options);
        if (!player.started()) {
            std::fprintf(stderr, "quorvan: the player could not be started\n");
            run.status = kExitPlayerFailed;
        } else {
            FdChannel channel(player.output(),
                              [&player](const std::string& c) { return player.Send(c); });
            PlaybackStart start = WaitForPlaybackStart(channel);
            if (!start.started) {
                std::fprintf(stderr, "quorvan: %s: the player cannot play it\n", movie.c_str());
                run.status = kExitPlayerFailed;
            } else {
                run.length = start.length > 0 ? start.length : AskMovieLength(channel);
                SeriesPlan plan = PlanSeries(run.length, o.across * o.down, start);
                plan.pauseAfterSeek = movie.find(".rmvb") != std::string::npos;
                run.frames = TakeScreenshots(channel, plan).frames;
                ConvertPNG(folder.path(), frameWidth);
                SheetInput input;
                input.workDir = folder.path();
                input.width = o.width;
                input.across = o.across;
                input.down = o.down;
                input.viewName = GetViewNameFile(movie);
                input.videoInfoLine = start.videoLine + "\n";
                input.movieLength = run.length;
                input.fileSize = SheetMovieSize(movie);
                run.size = input.fileSize;
                input.logoPath = std::string(KatalogExe()) + "logo.bmp";
                input.milliseconds = LocalMilliseconds();
                sheet = ComposeSheet(input, run.frames);
                if (sheet.isNull())
                    run.status = kExitPlayerFailed;
            }
        }
    }
    if (run.status != 0)
        return run;
    run.sheet = target.empty() ? callerDir + "/" + FileNameFromPath(movie) + ".s.jpg" : target;
    if (!SaveSheetJpeg(sheet, run.sheet)) {
        std::fprintf(stderr, "quorvan: cannot write %s\n", run.sheet.c_str());
        run.status = kExitUnreadable;
        return run;
    }
    run.width = sheet.width();
    run.height = sheet.height();
    return run;
}

std::string FramesJson(const std::vector<thumbitem>& frames) {
    std::string json = "[";
    for (size_t i = 0; i < frames.size(); ++i) {
        const thumbitem& f = frames[i];
        JsonObject o;
        o.Add("seekPos", f.seekPos).Add("videoTime", f.videoTime).Add("x", f.x).Add("y", f.y);
        o.Add("cx", f.cx).Add("cy", f.cy);
        json += (i > 0 ? "," : "") + o.str();
    }
    return json + "]";
}
} // namespace

int RunThumbs(const ThumbsOptions& o, FILE* out) {
    if (!o.out.empty() && o.movies.size() != 1) {
        std::fprintf(stderr, "quorvan: --out names the sheet of one movie only\n");
        return 2;
    }
    // Text on the sheet needs a GUI application object, though no display is used.
    std::unique_ptr<QGuiApplication> app;
    if (QGuiApplication::instance() == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "quorvan";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    const std::string callerDir = WorkingDirectory();
    int status = 0;
    for (const std::string& name : o.movies) {
        std::string movie = Absolute(name);
        SheetRun run = MakeSheet(o, movie, o.out.empty() ? "" : Absolute(o.out), callerDir);
        if (run.status != 0) {
            status = status != 0 ? status : run.status;
            continue;
        }
        if (o.json) {
            JsonObject json;
            json.Add("movie", movie).Add("sheet", run.sheet).Add("width", run.width);
            json.Add("height", run.height).Add("length", static_cast<int64_t>(run.length));
            json.Add("size", static_cast<int64_t>(run.size));
            std::string text = json.str();
            text.insert(text.size() - 1, ",\"frames\":" + FramesJson(run.frames));
            std::fprintf(out, "%s\n", text.c_str());
        } else {
            std::fprintf(out, "%s\n", run.sheet.c_str());
        }
    }
    return status;
}
