// The RAR bridge of the player wrapper: sequential throughput and time to first byte after a
// seek over loopback, with the check of each connection's owner beside the same server without
// it (one run, side by side), the time of the player's reads while 10 slow connections are open,
// and mplayer's CPU time for a stored set next to the loose movie.
#include "platform/fdio.h"
#include "platform/process.h"
#include "tools/wrapper/rarbridge.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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

struct Figures {
    double mbs = 0;
    double seekMs = 0;
    double slowMedianMs = 0;
    double slowWorstMs = 0;
    int failedReads = 0;
};

// Sequential throughput, time to the first byte after a seek, and the time of 64 KiB reads
// while 10 connections sit idle or trickle a header (each read waits at most 10 s).
Figures Measure(int port, const std::string& path, size_t size) {
    Figures f;
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
    f.mbs = received / std::chrono::duration<double>(Clock::now() - start).count() / 1e6;

    std::mt19937_64 rng(2);
    std::vector<double> seeks;
    for (int i = 0; i < 51; ++i) {
        size_t at = rng() % size;
        auto t0 = Clock::now();
        httplib::Client fresh("127.0.0.1", port);
        fresh.Get(path.c_str(), {{"Range", "bytes=" + std::to_string(at) + "-"}},
                  [&](const char*, size_t) { return false; }); // stop at the first bytes
        seeks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    f.seekMs = Median(seeks);

    std::vector<int> slow;
    for (int i = 0; i < 10; ++i)
        slow.push_back(ConnectLoopback(port));
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        for (size_t i = 0; trickling && i < request.size(); ++i) {
            for (size_t k = 5; k < slow.size(); ++k) // half idle, half trickling
                send(slow[k], &request[i], 1, MSG_NOSIGNAL);
            for (int w = 0; trickling && w < 10; ++w)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::vector<double> reads;
    for (int i = 0; i < 21; ++i) {
        size_t at = rng() % (size - 65536);
        auto t0 = Clock::now();
        httplib::Client fresh("127.0.0.1", port);
        fresh.set_read_timeout(10, 0);
        auto answer = fresh.Get(path.c_str(), {{"Range", "bytes=" + std::to_string(at) + "-" +
                                                             std::to_string(at + 65535)}});
        reads.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (!answer || answer->body.size() != 65536)
            ++f.failedReads;
    }
    trickling = false;
    trickle.join();
    for (int fd : slow)
        close(fd);
    f.slowMedianMs = Median(reads);
    f.slowWorstMs = *std::max_element(reads.begin(), reads.end());
    return f;
}
void Best(Figures& best, const Figures& f, int round) {
    if (round == 0) {
        best = f;
        return;
    }
    best.mbs = std::max(best.mbs, f.mbs);
    best.seekMs = std::min(best.seekMs, f.seekMs);
    best.slowMedianMs = std::min(best.slowMedianMs, f.slowMedianMs);
    best.slowWorstMs = std::max(best.slowWorstMs, f.slowWorstMs); // the worst stays the worst
    best.failedReads += f.failedReads;
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
        // The same set served by the same server that admits every peer unlooked-at, as the
        // bridge did before it checked the owner of each connection.
        RarVolumeSet oldSet;
        oldSet.OpenSet(work + "/big.rar");
        RangeServer oldServer;
        oldServer.SetPeerCheck(nullptr);
        RangeServer::Content content;
        content.size = [&] { return oldSet.ContiguousExtent().bytes; };
        content.read = [&](char* buffer, uint64_t pos, size_t length) {
            return size_t(oldSet.ReadUpToGap(buffer, int64_t(pos), int64_t(length)));
        };
        const bool oldStarted = oldServer.Start("/big.rar", std::move(content));
        const int oldPort = oldStarted ? oldServer.port() : 0;

        RarBridge bridge;
        std::string address = bridge.Serve(work + "/big.rar");
        if (address.empty() || oldPort <= 0) {
            std::fprintf(stderr, "the bridge did not open the set\n");
            return 1;
        }
        auto [port, path] = PortAndPath(address);
        // Rounds alternate, and each column keeps its best, so that a machine busy with other
        // work for a while does not decide the comparison.
        Figures before, after;
        for (int round = 0; round < 3; ++round) {
            Best(before, Measure(oldPort, "/big.rar", bigSize), round);
            Best(after, Measure(port, path, bigSize), round);
        }
        std::printf("                         no check  peer check\n");
        std::printf("bridge sequential read:   %7.0f  %7.0f MB/s (%+.1f%%)\n", before.mbs,
                    after.mbs, (after.mbs / before.mbs - 1) * 100);
        std::printf("seek to first byte:       %7.2f  %7.2f ms median of 51 (%+.1f%%)\n",
                    before.seekMs, after.seekMs, (after.seekMs / before.seekMs - 1) * 100);
        std::printf("read, 10 slow connections: %6.2f  %7.2f ms median, %.0f / %.0f ms worst "
                    "(64 KiB)\n",
                    before.slowMedianMs, after.slowMedianMs, before.slowWorstMs, after.slowWorstMs);
        std::printf("reads failed meanwhile:   %7d  %7d of 63\n", before.failedReads,
                    after.failedReads);
        oldServer.Stop();
        ok = ok && after.failedReads == 0 && after.mbs >= before.mbs * 0.9 &&
             after.seekMs <= before.seekMs * 1.1 + 0.1 && after.slowWorstMs <= 100;
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
