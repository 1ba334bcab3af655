#include "tests/support/testmovies.h"

#include "tests/support/testenv.h"

#include <cmath>
#include <cstdio>
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

std::string ColourSegmentsMovie() {
    std::string dir = TestBinDir() + "/movies";
    fs::create_directories(dir);
    std::string path = dir + "/colour-segments-100s.mkv";
    if (fs::exists(path) && fs::file_size(path) > 0)
        return path;
    std::string tmp = path + "." + std::to_string(getpid()) + ".mkv";
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y"};
    std::string concat;
    for (int k = 0; k < kSegmentCount; ++k) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "0x%06X", kSegmentColours[k]);
        argv.insert(argv.end(), {"-f", "lavfi", "-i",
                                 std::string("color=c=") + colour +
                                     ":s=160x120:r=25:d=" + std::to_string(kSegmentSeconds)});
        concat += "[" + std::to_string(k) + ":v]";
    }
    concat += "concat=n=" + std::to_string(kSegmentCount) + ":v=1:a=0";
    argv.insert(argv.end(), {"-filter_complex", concat, "-c:v", "libx264", "-preset", "ultrafast",
                             "-g", "250", "-sc_threshold", "0", "-pix_fmt", "yuv420p", tmp});
    if (RunCommand(argv, nullptr) != 0) {
        fs::remove(tmp);
        return "";
    }
    fs::rename(tmp, path);
    return path;
}

int NearestSegment(unsigned rgb, double* distance) {
    int best = 0;
    double bestDistance = 1e9;
    for (int k = 0; k < kSegmentCount; ++k) {
        const unsigned c = kSegmentColours[k];
        const double dr = double((rgb >> 16) & 255) - double((c >> 16) & 255);
        const double dg = double((rgb >> 8) & 255) - double((c >> 8) & 255);
        const double db = double(rgb & 255) - double(c & 255);
        const double d = std::sqrt(dr * dr + dg * dg + db * db);
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    if (distance != nullptr)
        *distance = bestDistance;
    return best;
}
