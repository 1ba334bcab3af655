// The preparation of a 100 KB subtitle for the OpenSubtitles upload: read, zlib compress and
// Base64 of the file and of its 4096-byte sample, and the two MD5s. Median of 50 (the movie's
// fingerprint is left out: it is the download's measurement). Usage: bench_upload [folder=/tmp]
#include "online/osupload.h"
#include "tests/online/fakeservices.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

int main(int argc, char** argv) {
    std::string path = std::string(argc > 1 ? argv[1] : "/tmp") + "/quorvan-bench-upload.txt";
    std::ofstream(path, std::ios::binary) << SampleSubtitle(100 * 1024, "bench");
    UploadRequest request;
    request.subtitle = path;
    std::vector<double> times;
    std::streambuf* console = std::cout.rdbuf();
    std::ostringstream quiet; // the preparation's diagnostic lines
    for (int i = 0; i < 50; ++i) {
        OShelpFunctions os;
        std::cout.rdbuf(quiet.rdbuf());
        auto start = std::chrono::steady_clock::now();
        bool ok = PrepareUpload(os, request);
        auto end = std::chrono::steady_clock::now();
        std::cout.rdbuf(console);
        if (!ok || os.subcontent.empty()) {
            std::fprintf(stderr, "bench_upload: the subtitle could not be prepared\n");
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::remove(path.c_str());
    std::sort(times.begin(), times.end());
    std::printf("100 KB subtitle prepared for upload: median %.2f ms (min %.2f, max %.2f)\n",
                times[times.size() / 2], times.front(), times.back());
    return 0;
}
