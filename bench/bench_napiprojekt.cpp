// A Napiprojekt subtitle for a 4 GB movie, end to end against a local server: fingerprint
// (10 MiB MD5 through the RAR reader), the HTTP request, the 7z unpacked by 7zz and the
// subtitle placed beside the movie. Median of 10 for the movie stored in 45 volumes and for
// the same movie loose (sparse files: 10 MiB of data at the start, some at the end).
// Usage: bench_napiprojekt [folder=/tmp]
#include "online/moviehash.h"
#include "online/napiprojekt.h"
#include "platform/textutil.h"
#include "tests/online/fakeservices.h"
#include "tests/rar/rarfixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double MedianMs(const std::string& movie, const std::string& target) {
    std::vector<double> times;
    for (int i = 0; i < 10; ++i) {
        std::filesystem::remove(target);
        auto start = Clock::now();
        NapiResult r = DownloadNapiprojekt(movie, "PL");
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!r.downloaded || r.subtitle != target) {
            std::fprintf(stderr, "no subtitle for %s: %s\n", movie.c_str(), r.reason.c_str());
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    return (times[4] + times[5]) / 2;
}
} // namespace

int main(int argc, char** argv) {
    std::string folder = std::string(argc > 1 ? argv[1] : "/tmp") + "/quorvan-bench-napi";
    std::filesystem::create_directories(folder);
    const uint64_t size = 4000000000ull;
    const int32_t share = int32_t((size + 44) / 45);
    RarMarks marks = {{0, RandomBytes(10u << 20, 3)}, {size - 65536, RandomBytes(65536, 4)}};
    std::vector<std::string> volumes;
    for (int k = 1; k <= 45; ++k)
        volumes.push_back(folder + Format("/movie.part%02d.rar", k));
    StoredSetOptions options;
    options.share = share;
    std::string loose = folder + "/movie.avi";
    if (!WriteStoredSet(volumes, size, marks, options) || !WriteLooseFile(loose, size, marks)) {
        std::fprintf(stderr, "cannot write the movies in %s\n", folder.c_str());
        return 1;
    }
    FakeNapiprojekt server;
    setenv("QUORVAN_NAPIPROJEKT_URL", server.url().c_str(), 1);
    std::string md5 = MovieHash(loose).hashNapiprojekt;
    server.Answer(md5, Make7z(md5 + ".txt", SampleSubtitle(40000, "bench"), kNapiprojektPassword));

    double set = MedianMs(volumes[0], folder + "/movie.part01.txt");
    double plain = MedianMs(loose, folder + "/movie.txt");
    std::printf("4 GB movie, 45 stored volumes: %.1f ms (median of 10)\n", set);
    std::printf("4 GB movie, loose:             %.1f ms (median of 10)\n", plain);
    std::printf("ratio set / loose:             %.2f\n", set / plain);
    std::filesystem::remove_all(folder);
    return server.Complaints().empty() ? 0 : 1;
}
