// binary/unrar p of a large compressed RAR5 set, through our own decompressor and through
// libarchive, best of three each. No real rar compressor is packaged in Debian's main archive,
// so the set is packed by the tests' RAR5 compressor (solid, 4 MiB window, x86 filters) from
// the files given, by default the programs of /usr/bin larger than 1 MB up to 128 MiB.
// Usage: bench_rar5unpack STAGE_FOLDER [FILE...]
#include "tests/support/rar5packer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> DefaultFiles() {
    std::vector<std::string> files;
    uintmax_t total = 0;
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/bin"))
        if (entry.is_regular_file() && !entry.is_symlink() && entry.file_size() > (1 << 20))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    for (const auto& path : found) {
        uintmax_t size = std::filesystem::file_size(path);
        if (total + size > (uintmax_t(128) << 20))
            continue;
        total += size;
        files.push_back(path.string());
    }
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s STAGE_FOLDER [FILE...]\n", argv[0]);
        return 2;
    }
    const std::string unrar = std::string(argv[1]) + "/binary/unrar";
    std::vector<std::string> paths(argv + 2, argv + argc);
    if (paths.empty())
        paths = DefaultFiles();
    std::vector<Rar5PackedFile> files;
    uint64_t unpacked = 0;
    for (const std::string& path : paths) {
        files.push_back({std::filesystem::path(path).filename().string(), ReadAll(path)});
        unpacked += files.back().data.size();
    }
    const std::string archive = std::filesystem::temp_directory_path().string() + "/bench-rar5-" +
                                std::to_string(getpid()) + ".rar";
    auto packStart = std::chrono::steady_clock::now();
    std::string packed = Rar5CompressedArchive(files, true, 22, Rar5Filter::E8E9);
    double packSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - packStart).count();
    std::ofstream(archive, std::ios::binary).write(packed.data(), std::streamsize(packed.size()));
    std::printf("set: %zu files, %.1f MB unpacked, %.1f MB packed (in %.0f s)\n", files.size(),
                double(unpacked) / 1e6, double(packed.size()) / 1e6, packSeconds);
    int status = 0;
    for (const char* decoder : {"own", "libarchive"}) {
        const std::string command = std::string("QUORVAN_UNRAR_DECODER=") + decoder + " '" + unrar +
                                    "' p -inul '" + archive + "' > /dev/null";
        double best = 0;
        for (int run = 0; run < 3; ++run) {
            auto start = std::chrono::steady_clock::now();
            int rc = std::system(command.c_str());
            double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (rc != 0) {
                std::printf("%s: failed (status %d)\n", decoder, rc);
                status = 1;
                break;
            }
            best = run == 0 ? seconds : std::min(best, seconds);
        }
        if (best > 0)
            std::printf("unrar p, compressed RAR5 set, %s: %.1f MB/s (%.2f s)\n", decoder,
                        double(unpacked) / 1e6 / best, best);
    }
    std::filesystem::remove(archive);
    return status;
}
