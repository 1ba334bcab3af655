#include "tests/support/testmovies.h"

#include "tests/support/testenv.h"

#include <filesystem>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct Recipe {
    const char* name;
    std::vector<std::string> encoding; // after the two lavfi inputs
};

Recipe RecipeOf(TestMovie kind) {
    switch (kind) {
    case TestMovie::H264Ts:
        return {"h264-90s.ts",
                {"-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-c:a", "mp2", "-b:a",
                 "64k", "-output_ts_offset", "600", "-f", "mpegts"}};
    case TestMovie::Mpeg2Ts:
        return {
            "mpeg2-90s.ts",
            {"-c:v", "mpeg2video", "-b:v", "300k", "-c:a", "mp2", "-b:a", "64k", "-f", "mpegts"}};
    case TestMovie::LongKeyframes:
        break;
    }
    return {"h264-keyint250-90s.mkv",
            {"-c:v", "libx264", "-preset", "ultrafast", "-g", "250", "-c:a", "libmp3lame", "-b:a",
             "64k"}};
}
} // namespace

std::string MadeMovie(TestMovie kind) {
    Recipe recipe = RecipeOf(kind);
    std::string dir = TestBinDir() + "/movies";
    fs::create_directories(dir);
    std::string path = dir + "/" + recipe.name;
    if (fs::exists(path) && fs::file_size(path) > 0)
        return path;
    // Written under a name of this process first, so parallel tests never see half a movie.
    std::string tmp = path + "." + std::to_string(getpid()) + fs::path(path).extension().string();
    const std::string seconds = std::to_string(kMadeMovieSeconds);
    std::vector<std::string> argv = {
        "ffmpeg",
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        "testsrc=size=160x120:rate=" + std::to_string(kMadeMovieFps) + ":duration=" + seconds,
        "-f",
        "lavfi",
        "-i",
        "sine=frequency=440:duration=" + seconds};
    argv.insert(argv.end(), recipe.encoding.begin(), recipe.encoding.end());
    argv.push_back(tmp);
    if (RunCommand(argv, nullptr) != 0) {
        fs::remove(tmp);
        return "";
    }
    fs::rename(tmp, path);
    return path;
}
