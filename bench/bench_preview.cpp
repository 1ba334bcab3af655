// The time slider's preview: from a request to the keyframe picture and to the rested (exact)
// picture, for 50 random points of a movie, through the frame server as the window uses it.
//   bench_preview PROGRAM_FOLDER MOVIE [POINTS]
#include "platform/paths.h"
#include "thumbs/frameserver.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_preview PROGRAM_FOLDER MOVIE [POINTS]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    // Absolute: the player starts in a folder of its own.
    SetProgramFolder(std::filesystem::absolute(argv[1]).string());
    const std::string movie = argv[2];
    const int points = argc > 3 ? std::atoi(argv[3]) : 50;
    const double length = argc > 4 ? std::atof(argv[4]) : 7200;

    std::mutex mutex;
    std::condition_variable arrived;
    unsigned long long waitingFor = 0;
    Clock::time_point asked, keyAt, exactAt;
    bool gotKey = false, gotExact = false;
    FrameServerOptions o;
    o.width = 160;
    o.onFrame = [&](const PreviewFrame& f) {
        std::lock_guard<std::mutex> lock(mutex);
        if (f.request != waitingFor)
            return;
        if (!gotKey) {
            gotKey = true;
            keyAt = Clock::now();
        }
        if (f.exact) {
            gotExact = true;
            exactAt = Clock::now();
        }
        arrived.notify_all();
    };
    o.onRefused = [](const std::string& m, const std::string& why) {
        std::fprintf(stderr, "refused %s: %s\n", m.c_str(), why.c_str());
    };
    if (std::getenv("BENCH_VERBOSE"))
        o.onFrame = [inner = o.onFrame](const PreviewFrame& f) {
            std::fprintf(stderr, "frame %llu at %.2f (asked %.0f) exact %d\n", f.request, f.seconds,
                         f.asked, f.exact);
            inner(f);
        };
    FrameServer server(o);
    // The first request starts the player: measured apart.
    std::mt19937 random(26);
    std::uniform_real_distribution<double> where(0, length - 1);
    std::vector<double> keyMs, exactMs;
    double startMs = -1;
    for (int i = 0; i <= points; ++i) {
        const double t = std::floor(where(random));
        {
            std::lock_guard<std::mutex> lock(mutex);
            gotKey = gotExact = false;
            asked = Clock::now();
            waitingFor = server.Request(movie, t);
        }
        std::unique_lock<std::mutex> lock(mutex);
        if (!arrived.wait_for(lock, std::chrono::seconds(30), [&] { return gotExact; })) {
            std::fprintf(stderr, "no exact frame for %.0f s\n", t);
            continue;
        }
        const double key = std::chrono::duration<double, std::milli>(keyAt - asked).count();
        const double exact = std::chrono::duration<double, std::milli>(exactAt - asked).count();
        if (i == 0) {
            startMs = exact;
            continue;
        }
        keyMs.push_back(key);
        exactMs.push_back(exact);
    }
    std::printf("%s: first request (player start) %.0f ms; %zu points: keyframe picture median "
                "%.0f ms p95 %.0f ms; rested picture median %.0f ms p95 %.0f ms\n",
                movie.c_str(), startMs, keyMs.size(), Percentile(keyMs, 0.5),
                Percentile(keyMs, 0.95), Percentile(exactMs, 0.5), Percentile(exactMs, 0.95));
    return 0;
}
