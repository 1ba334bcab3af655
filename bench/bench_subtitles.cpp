// Subtitle lines of the player wrapper against the real mplayer: how far each "XX :" line is
// from its time in the file over a 60 s movie with 30 lines, and the wrapper's CPU time with
// and without subtitle tracking.
#include "platform/process.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {
double Seconds(Clock::time_point t, Clock::time_point start) {
    return std::chrono::duration<double>(t - start).count();
}

// utime + stime of a running process, in seconds.
double CpuOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i)
        fields >> skip;
    double utime = 0, stime = 0;
    fields >> utime >> stime;
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Run {
    std::vector<std::pair<double, std::string>> lines; // arrival, text
    std::vector<std::pair<double, double>> positions;  // arrival, answered position
    double cpu = 0;
    double played = 0;
};

// Plays `args` through the wrapper for `seconds`; with `ask`, asks the position every 20 ms.
Run Play(const std::string& wrapper, std::vector<std::string> args, double seconds, bool ask) {
    Run run;
    SpawnOptions options;
    options.argv.push_back(wrapper);
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return run;
    Clock::time_point start = Clock::now();
    Clock::time_point playing{};
    Clock::time_point nextAsk = start;
    std::string pending;
    bool started = false;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (started && Seconds(now, playing) > seconds)
            break;
        if (Seconds(now, start) > seconds + 30)
            break;
        if (ask && started && now >= nextAsk) {
            const char q[] = "get_time_pos\n";
            WriteAllNonBlocking(child.stdinFd, q, sizeof(q) - 1, 1000);
            nextAsk = now + std::chrono::milliseconds(20);
        }
        pollfd fd{child.outputFd, POLLIN, 0};
        if (poll(&fd, 1, 5) <= 0)
            continue;
        char buf[4096];
        ssize_t n = read(child.outputFd, buf, sizeof(buf));
        if (n <= 0)
            break;
        double at = Seconds(Clock::now(), start);
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] != '\n' && buf[i] != '\r') {
                pending += buf[i];
                continue;
            }
            if (pending.rfind("Starting playback...", 0) == 0) {
                started = true;
                playing = Clock::now();
            } else if (pending.rfind("XX : ", 0) == 0 && pending.rfind("XX :  movie", 0) != 0) {
                run.lines.emplace_back(at, pending.substr(5));
            } else if (pending.rfind("ANS_TIME_POSITION=", 0) == 0) {
                run.positions.emplace_back(at, std::atof(pending.c_str() + 18));
            }
            pending.clear();
        }
    }
    run.played = Seconds(Clock::now(), playing);
    run.cpu = CpuOf(child.pid);
    const char quit[] = "quit\n";
    WriteAllNonBlocking(child.stdinFd, quit, sizeof(quit) - 1, 1000);
    close(child.stdinFd);
    if (!WaitProcess(child.pid, 5000, nullptr))
        KillProcess(child.pid, 500);
    close(child.outputFd);
    return run;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_subtitles STAGE_DIR WORK_DIR\n");
        return 2;
    }
    const std::string wrapper = std::string(argv[1]) + "/binary/QUORVAN";
    const std::string work = argv[2];
    std::system(("mkdir -p '" + work + "'").c_str());
    const std::string movie = work + "/bench60.avi";
    const std::string sub = work + "/bench60.srt";
    std::string make = "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=62 "
                       "-f lavfi -i sine=frequency=440:duration=62 -c:v mpeg4 -c:a libmp3lame "
                       "-shortest '" +
                       movie + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the movie\n");
        return 1;
    }
    // 30 lines, one every 2 s from 1.237 s on, 1.5 s each; times off the tenths on purpose.
    std::vector<double> starts;
    std::ofstream srt(sub);
    for (int k = 0; k < 30; ++k) {
        double s = 1.237 + 2.0 * k;
        starts.push_back(s);
        auto clock = [](double t) {
            int ms = static_cast<int>(std::lround(t * 1000));
            char buf[32];
            std::snprintf(buf, sizeof(buf), "00:%02d:%02d,%03d", ms / 60000, ms / 1000 % 60,
                          ms % 1000);
            return std::string(buf);
        };
        srt << k + 1 << "\r\n"
            << clock(s) << " --> " << clock(s + 1.5) << "\r\nLine " << k + 1 << "\r\n\r\n";
    }
    srt.close();

    const std::vector<std::string> base = {"-slave", "-quiet", "-identify", "-vo",
                                           "null",   "-ao",    "null",      "-noautosub"};
    auto with = base;
    with.insert(with.end(), {"-sub", sub, movie});
    auto without = base;
    without.push_back(movie);
    Run timed, tracked, plain;
    std::thread a([&] { timed = Play(wrapper, with, 61, true); });
    std::thread b([&] { tracked = Play(wrapper, with, 61, false); });
    std::thread c([&] { plain = Play(wrapper, without, 61, false); });
    a.join();
    b.join();
    c.join();

    // The movie's clock from the answers: position = arrival + offset, the offset bounded by
    // every answer (rounded to 0.1 s) while the movie plays on after its start.
    double lo = -1e9, hi = 1e9;
    for (const auto& [at, pos] : timed.positions)
        if (pos > 1.0) {
            lo = std::max(lo, pos - 0.05 - at);
            hi = std::min(hi, pos + 0.05 - at);
        }
    const double offset = (lo + hi) / 2;
    std::vector<double> errors;
    for (const auto& [at, text] : timed.lines) {
        int k = std::atoi(text.c_str() + 5) - 1;
        if (k >= 0 && k < static_cast<int>(starts.size()))
            errors.push_back(std::fabs(at + offset - starts[static_cast<size_t>(k)]) * 1000);
    }
    std::sort(errors.begin(), errors.end());
    // Bounds that cross by a few ms are answers delayed on a loaded machine.
    std::printf("lines printed: %zu of 30; the answers bound the movie clock within %.0f ms\n",
                errors.size(), std::fabs(hi - lo) * 1000);
    if (!errors.empty())
        std::printf("XX : line against the file: median %.0f ms, worst %.0f ms\n",
                    errors[errors.size() / 2], errors.back());
    std::printf("wrapper CPU over %.0f s: %.2f s with subtitles (%.2f%% of a core), %.2f s "
                "without (%.2f%%); tracking costs %.2f%% of a core\n",
                tracked.played, tracked.cpu, 100 * tracked.cpu / tracked.played, plain.cpu,
                100 * plain.cpu / plain.played, 100 * (tracked.cpu - plain.cpu) / tracked.played);
    return errors.size() == 30 ? 0 : 1;
}
