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
#include <tuple>
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
// The time to the first byte after a seek (a fresh connection each, as mplayer makes one per
// seek) on two servers, seek by seek in turn, so that whatever else the machine does falls on
// both alike: the medians of `count` seeks each.
std::pair<double, double> SeekPair(int portA, const std::string& pathA, int portB,
                                   const std::string& pathB, size_t size, int count) {
    auto seek = [size](int port, const std::string& path, size_t at) {
        auto t0 = Clock::now();
        httplib::Client fresh("127.0.0.1", port);
        fresh.Get(path.c_str(), {{"Range", "bytes=" + std::to_string(at % size) + "-"}},
                  [&](const char*, size_t) { return false; }); // stop at the first bytes
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    };
    std::mt19937_64 rng(3);
    std::vector<double> a, b;
    for (int i = 0; i < count; ++i) {
        size_t at = rng();
        // Which of the two goes first changes from seek to seek too.
        if (i % 2 == 0) {
            a.push_back(seek(portA, pathA, at));
            b.push_back(seek(portB, pathB, at));
        } else {
            b.push_back(seek(portB, pathB, at));
            a.push_back(seek(portA, pathA, at));
        }
    }
    return {Median(a), Median(b)};
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
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER [WORK_FOLDER [seeks]]\n", argv[0]);
        return 2;
    }
    const std::string stage = argv[1];
    const std::string work = argc > 2 ? argv[2] : "/tmp/quorvan-bench-bridge";
    // "seeks": only the seek latencies, side by side, round by round (quick to repeat).
    const bool seeksOnly = argc > 3 && std::string(argv[3]) == "seeks";
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
        // The bridge's own server and set (as RarBridge::Serve sets them up: a secret path, the
        // owner of each connection checked), beside a server on the same set and path that
        // admits every peer unlooked-at, as the bridge did before it checked. Both columns read
        // the one set: two sets over the same volumes, read in turn, slow each other's seeks
        // by up to a half (measured here), which is no part of what is compared.
        RarVolumeSet set;
        if (!set.OpenSet(work + "/big.rar")) {
            std::fprintf(stderr, "the set did not open\n");
            return 1;
        }
        const std::string path = "/0123456789abcdef0123456789abcdef/big.rar";
        auto content = [&] {
            RangeServer::Content c;
            c.size = [&] { return set.ContiguousExtent().bytes; };
            c.read = [&](char* buffer, uint64_t pos, size_t length) {
                return size_t(set.ReadUpToGap(buffer, int64_t(pos), int64_t(length)));
            };
            return c;
        };
        RangeServer oldServer;
        oldServer.SetPeerCheck(nullptr);
        RangeServer checked; // PeerIsThisUser, as in the bridge
        if (!oldServer.Start(path, content()) || !checked.Start(path, content())) {
            std::fprintf(stderr, "no server could be started\n");
            return 1;
        }
        const int oldPort = oldServer.port();
        const int port = checked.port();
        // Rounds alternate (and seeks go to the two servers in turn), and each column keeps its
        // best, so that a machine busy with other work for a while does not decide the
        // comparison.
        Figures before, after;
        if (seeksOnly) {
            for (int round = 0; round < 5; ++round) {
                auto [a, b] = SeekPair(oldPort, path, port, path, bigSize, 201);
                std::printf("seek to first byte: %.3f  %.3f ms median of 201 (%+.1f%%)\n", a, b,
                            (b / a - 1) * 100);
            }
            return 0;
        }
        for (int round = 0; round < 3; ++round) {
            Figures a = Measure(oldPort, path, bigSize);
            Figures b = Measure(port, path, bigSize);
            std::tie(a.seekMs, b.seekMs) = SeekPair(oldPort, path, port, path, bigSize, 201);
            Best(before, a, round);
            Best(after, b, round);
        }
        std::printf("                         no check  peer check\n");
        std::printf("bridge sequential read:   %7.0f  %7.0f MB/s (%+.1f%%)\n", before.mbs,
                    after.mbs, (after.mbs / before.mbs - 1) * 100);
        std::printf("seek to first byte:       %7.3f  %7.3f ms median of 201 (%+.1f%%)\n",
                    before.seekMs, after.seekMs, (after.seekMs / before.seekMs - 1) * 100);
        std::printf("read, 10 slow connections: %6.2f  %7.2f ms median, %.0f / %.0f ms worst "
                    "(64 KiB)\n",
                    before.slowMedianMs, after.slowMedianMs, before.slowWorstMs, after.slowWorstMs);
        std::printf("reads failed meanwhile:   %7d  %7d of 63\n", before.failedReads,
                    after.failedReads);
        ok = ok && after.failedReads == 0 && after.mbs >= before.mbs * 0.9 &&
             after.seekMs <= before.seekMs * 1.1 && after.slowWorstMs <= 100;
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
