// Voice-over latency: from a subtitle line reaching the interpreter to the first audio sample
// the speech server produces, and the reader-thread time spent per spoken line.
// usage: bench_voiceover <program folder> <scratch folder>
#include "platform/process.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    size_t at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_voiceover <program folder> <scratch folder>\n");
        return 2;
    }
    std::string scratch = argv[2];
    std::string wav = scratch + "/wav";
    std::string run = scratch + "/run";
    std::string times = scratch + "/times.txt";
    mkdir(scratch.c_str(), 0755);
    mkdir(wav.c_str(), 0755);
    mkdir(run.c_str(), 0700);
    unlink(times.c_str());
    unlink((wav + "/index.txt").c_str());
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    setenv("QUORVAN_SPEAKER_WAV_DIR", wav.c_str(), 1);
    setenv("QUORVAN_SPEAKER_TIMES", times.c_str(), 1);

    SpawnOptions options;
    options.argv = {std::string(argv[1]) + "/binary/quorvan-speaker"};
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult speaker = SpawnProcess(options);
    pollfd p{speaker.outputFd, POLLIN, 0};
    char ready[256];
    if (!speaker.ok() || poll(&p, 1, 10000) <= 0 || read(speaker.outputFd, ready, 256) <= 0) {
        std::fprintf(stderr, "the speaker did not start\n");
        return 1;
    }

    const int lines = 50;
    const char* texts[] = {"Dzień dobry, panie kapitanie.", "Gdzie jest moja łódź?",
                           "Żółw płynie powoli.", "Nie wiem, co powiedzieć."};
    std::vector<int64_t> sent;
    std::vector<double> readerMs;
    Mp1.voiceOverMode = 4;
    for (int i = 0; i < lines; ++i) {
        std::string line = std::string("XX : ") + texts[i % 4] + "\r";
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        int64_t start = NowNs();
        obsluzto_co_mplayer_podeslal(buffer.data());
        int64_t end = NowNs();
        sent.push_back(start);
        readerMs.push_back(static_cast<double>(end - start) / 1e6);
        // Lines of a film come a second or two apart; these interrupt each other on purpose.
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    close(speaker.stdinFd);
    int status = 0;
    WaitProcess(speaker.pid, 5000, &status);

    std::ifstream in(times);
    std::string number;
    long long received = 0, first = 0;
    std::vector<double> latencyMs;
    size_t i = 0;
    while (in >> number >> received >> first && i < sent.size()) {
        if (first > 0)
            latencyMs.push_back(static_cast<double>(first - sent[i]) / 1e6);
        ++i;
    }
    if (latencyMs.size() != static_cast<size_t>(lines)) {
        std::fprintf(stderr, "only %zu of %d lines were spoken\n", latencyMs.size(), lines);
        return 1;
    }
    std::printf("line reaching the interpreter -> first audio sample, %d lines: median %.1f ms, "
                "95th percentile %.1f ms, worst %.1f ms\n",
                lines, Percentile(latencyMs, 0.5), Percentile(latencyMs, 0.95),
                Percentile(latencyMs, 1.0));
    std::printf("reader-thread time per spoken line: median %.3f ms, 95th percentile %.3f ms, "
                "worst %.3f ms\n",
                Percentile(readerMs, 0.5), Percentile(readerMs, 0.95), Percentile(readerMs, 1.0));
    return 0;
}
