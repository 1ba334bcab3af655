// Measurements of the RAR reader and the fingerprints, side by side with the same movie loose:
//  1. sequential 1 MiB reads through rarread vs fread (warm cache for both);
//  2. all three fingerprints of a 4 GB stored set over 45 volumes vs the loose 4 GB file
//     (sparse files with data at both ends and 500,000 bytes in).
// Usage: bench_rar [folder=/tmp] [sequential MiB=512]
#include "online/moviehash.h"
#include "platform/textutil.h"
#include "rar/rarreader.h"
#include "tests/rar/rarfixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
    auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of `rounds` (the cache is warm after the first).
double Best(int rounds, const std::function<void()>& work) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, Seconds(work));
    return best;
}

std::vector<std::string> Numbered(const std::string& base, uint64_t size, uint64_t share) {
    std::vector<std::string> names;
    for (uint64_t k = 0; k * share < size; ++k)
        names.push_back(base + Format(".part%02llu.rar", (unsigned long long)(k + 1)));
    return names;
}

void SequentialReads(const std::string& folder, uint64_t mib) {
    const uint64_t size = mib << 20;
    const int32_t share = 50000000;
    std::string movie = RandomBytes(size_t(size), 42);
    std::string loose = folder + "/bench-seq.avi";
    std::vector<std::string> names = Numbered(folder + "/bench-seq", size, uint64_t(share));
    StoredSetOptions options;
    options.share = share;
    if (!WriteLooseFile(loose, size, {{0, movie}}) ||
        !WriteStoredSet(names, size, {{0, movie}}, options)) {
        std::fprintf(stderr, "cannot write the files in %s\n", folder.c_str());
        std::exit(1);
    }
    movie.clear();
    movie.shrink_to_fit();
    std::vector<char> buffer(1 << 20);

    uint64_t sink = 0;
    auto freadPass = [&] {
        FILE* f = std::fopen(loose.c_str(), "rb");
        size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            sink += uint8_t(buffer[n - 1]);
        std::fclose(f);
    };
    RarVolumeSet reader;
    reader.OpenSet(names[0]);
    auto rarPass = [&] {
        for (uint64_t pos = 0; pos < size; pos += buffer.size()) {
            int n = int(std::min<uint64_t>(buffer.size(), size - pos));
            reader.rarread(buffer.data(), int64_t(pos), n);
            sink += uint8_t(buffer[size_t(n) - 1]);
        }
    };
    // Warm both, then alternate the rounds so that neither profits from running later.
    freadPass();
    rarPass();
    double freadTime = 1e9, rarTime = 1e9;
    for (int round = 0; round < 5; ++round) {
        freadTime = std::min(freadTime, Seconds(freadPass));
        rarTime = std::min(rarTime, Seconds(rarPass));
    }
    double mb = double(size) / 1e6;
    std::printf("sequential 1 MiB reads, %llu MiB over %zu volumes (sink %llu)\n",
                (unsigned long long)mib, names.size(), (unsigned long long)sink);
    std::printf("  fread loose file : %8.1f MB/s\n", mb / freadTime);
    std::printf("  rarread stored   : %8.1f MB/s\n", mb / rarTime);
    std::printf("  rarread / fread  : %8.1f %%   (target >= 90 %%)\n", 100.0 * freadTime / rarTime);
    std::filesystem::remove(loose);
    for (const std::string& n : names)
        std::filesystem::remove(n);
}

void Fingerprints(const std::string& folder) {
    const uint64_t size = 4000000000ull;
    const uint64_t share = (size + 44) / 45; // 45 volumes
    RarMarks marks = {{0, RandomBytes(11 << 20, 1)}, {size - 70000, RandomBytes(70000, 2)}};
    std::string loose = folder + "/bench-fp.mkv";
    std::vector<std::string> names = Numbered(folder + "/bench-fp", size, share);
    StoredSetOptions options;
    options.share = int32_t(share);
    if (!WriteLooseFile(loose, size, marks) || !WriteStoredSet(names, size, marks, options)) {
        std::fprintf(stderr, "cannot write the files in %s\n", folder.c_str());
        std::exit(1);
    }
    std::string a, b;
    double looseTime = Best(7, [&] { a = MovieHash(loose).hashOpenSubtitles; });
    double setTime = Best(7, [&] { b = MovieHash(names[0]).hashOpenSubtitles; });
    std::printf("all three fingerprints, 4 GB movie (sparse), best of 7\n");
    std::printf("  loose file            : %8.2f ms\n", looseTime * 1e3);
    std::printf("  stored, %zu volumes   : %8.2f ms\n", names.size(), setTime * 1e3);
    std::printf("  stored / loose        : %8.2f x   (target <= 1.5 x)\n", setTime / looseTime);
    std::printf("  same OpenSubtitles hash: %s (%s)\n", a == b ? "yes" : "NO", a.c_str());
    std::filesystem::remove(loose);
    for (const std::string& n : names)
        std::filesystem::remove(n);
}
} // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "/tmp";
    uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 512;
    SequentialReads(folder, mib);
    Fingerprints(folder);
    return 0;
}
