// The RAR bridge of the player wrapper: sequential throughput and time to first byte after a
// seek over loopback, and mplayer's CPU time for a stored set next to the loose movie.
#include "platform/process.h"
#include "tools/wrapper/rarbridge.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
int Run(const std::vector<std::string>& argv, double* cpuSeconds = nullptr) {
    SpawnOptions options;
    options.argv = argv;
    options.nullStdio = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return -1;
    int status = 0;
    rusage usage{};
    wait4(child.pid, &status, 0, &usage);
    if (cpuSeconds != nullptr)
        *cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                      usage.ru_stime.tv_usec / 1e6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<int, std::string> PortAndPath(const std::string& address) {
    std::string rest = address.substr(std::string("ffmpeg://http://127.0.0.1:").size());
    size_t slash = rest.find('/');
    return {std::stoi(rest.substr(0, slash)), rest.substr(slash)};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER [WORK_FOLDER]\n", argv[0]);
        return 2;
    }
    const std::string stage = argv[1];
    const std::string work = argc > 2 ? argv[2] : "/tmp/quorvan-bench-bridge";
    fs::create_directories(work);
    bool ok = true;

    // 1. Throughput and seeks on a 256 MiB stored set of random bytes in 50 MB volumes.
    const std::string big = work + "/big.bin";
    const size_t bigSize = 256u << 20;
    if (!fs::exists(big) || fs::file_size(big) != bigSize) {
        std::ofstream out(big, std::ios::binary);
        std::mt19937_64 rng(1);
        std::vector<uint64_t> block(1 << 17);
        for (size_t done = 0; done < bigSize; done += block.size() * 8) {
            for (auto& w : block)
                w = rng();
            out.write(reinterpret_cast<const char*>(block.data()), block.size() * 8);
        }
    }
    if (!fs::exists(work + "/big.rar"))
        Run({stage + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v50M", "-vn", work + "/big.rar",
             big});
    {
        RarBridge bridge;
        std::string address = bridge.Serve(work + "/big.rar");
        if (address.empty()) {
            std::fprintf(stderr, "the bridge did not open the set\n");
            return 1;
        }
        auto [port, path] = PortAndPath(address);
        httplib::Client client("127.0.0.1", port);
        size_t received = 0;
        client.Get(path.c_str(), [&](const char*, size_t n) { // warm the page cache
            received += n;
            return true;
        });
        received = 0;
        auto start = Clock::now();
        client.Get(path.c_str(), [&](const char*, size_t n) {
            received += n;
            return true;
        });
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        double mbs = received / seconds / 1e6;
        std::printf("bridge sequential read:   %.0f MB/s (%zu bytes)\n", mbs, received);

        std::mt19937_64 rng(2);
        std::vector<double> seeks;
        for (int i = 0; i < 51; ++i) {
            size_t at = rng() % bigSize;
            auto t0 = Clock::now();
            httplib::Client fresh("127.0.0.1", port);
            fresh.Get(path.c_str(), {{"Range", "bytes=" + std::to_string(at) + "-"}},
                      [&](const char*, size_t) { return false; }); // stop at the first bytes
            seeks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        double median = Median(seeks);
        std::printf("seek to first byte:       %.2f ms median of %zu\n", median, seeks.size());
        ok = ok && mbs >= 200 && median <= 20;
    }

    // 2. mplayer's CPU time for 30 s of movie, loose and through the bridge.
    const std::string movie = work + "/movie30.avi";
    if (!fs::exists(movie))
        Run({"ffmpeg", "-v",         "error",     "-y",
             "-f",     "lavfi",      "-i",        "testsrc=size=640x480:rate=25:duration=30",
             "-f",     "lavfi",      "-i",        "sine=frequency=440:duration=30",
             "-c:v",   "mpeg4",      "-q:v",      "4",
             "-c:a",   "libmp3lame", "-shortest", movie});
    if (!fs::exists(work + "/movie30.rar"))
        Run({stage + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v1000k", "-vn",
             work + "/movie30.rar", movie});
    RarBridge bridge;
    std::string address = bridge.Serve(work + "/movie30.rar");
    double loose = 1e9;
    double stored = 1e9;
    for (int round = 0; round < 3; ++round) {
        double a = 0;
        double b = 0;
        Run({"mplayer", "-benchmark", "-vo", "null", "-ao", "null", "-nolirc", "-really-quiet",
             movie},
            &a);
        Run({"mplayer", "-benchmark", "-vo", "null", "-ao", "null", "-nolirc", "-really-quiet",
             address},
            &b);
        loose = std::min(loose, a);
        stored = std::min(stored, b);
    }
    std::printf("mplayer CPU, loose movie: %.3f s\n", loose);
    std::printf("mplayer CPU, stored set:  %.3f s (%+.1f%%)\n", stored, (stored / loose - 1) * 100);
    ok = ok && stored <= loose * 1.10;
    return ok ? 0 : 1;
}
