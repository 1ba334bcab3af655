// Relaunches through the real player wrapper with the fake player standing in for mplayer:
// open descriptors, threads and resident memory of the front end before and after, as growth
// per 100 relaunches (what a long evening of seeking and pan-and-scan costs).
#include "platform/paths.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {
long StatusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(name + ":", 0) == 0)
            return std::atol(line.c_str() + name.size() + 1);
    return -1;
}

struct Sample {
    int fds;
    long threads;
    long rssKb;
};

Sample Take() {
    return {CountOpenDescriptors(), StatusField("Threads"), StatusField("VmRSS")};
}

// One launch that the player answered (its length arrived), then the next one replaces it.
bool LaunchAndWait() {
    Mp1.movieLength = 0;
    Mp1.LanchMovie();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Mp1.movieLength.load() != 100.0f) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_relaunch PROGRAM_FOLDER FAKE_PLAYER [RELAUNCHES]\n");
        return 2;
    }
    const int relaunches = argc > 3 ? std::atoi(argv[3]) : 200;
    SetProgramFolder(argv[1]);
    setenv("QUORVAN_MPLAYER", argv[2], 1);
    unsetenv("FAKEPLAYER_SCRIPT");
    IgnoreSigPipe();
    Mp1.videoWindow = 0;
    Mp1.extraOptions = "-vo null -ao null";
    Mp1.init();
    Mp1.movieFile = "/nonexistent/bench movie.avi";

    for (int i = 0; i < 10; ++i) // warm-up: caches, first allocations, the option table
        LaunchAndWait();
    ClosePlayer();
    Sample before = Take();
    auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 0; i < relaunches; ++i)
        failed += !LaunchAndWait();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ClosePlayer();
    Sample after = Take();

    double per100 = 100.0 / relaunches;
    std::printf("%d relaunches in %.1f s (%.1f ms each), %d unanswered\n", relaunches, seconds,
                1000 * seconds / relaunches, failed);
    std::printf("open descriptors: %d -> %d (%+.1f per 100)\n", before.fds, after.fds,
                (after.fds - before.fds) * per100);
    std::printf("threads:          %ld -> %ld (%+.1f per 100)\n", before.threads, after.threads,
                (after.threads - before.threads) * per100);
    std::printf("resident memory:  %ld KB -> %ld KB (%+.1f KB per 100)\n", before.rssKb,
                after.rssKb, (after.rssKb - before.rssKb) * per100);
    return failed == 0 && after.fds == before.fds && after.threads == before.threads ? 0 : 1;
}
