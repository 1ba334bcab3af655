// What the slave-command builder costs per command: a sub_load of a typical movie path, an
// on-screen text with its duration, a seek, and the check SendCommand runs on a fixed command,
// next to plain string concatenation of the same lines (what the program did before).
#include "player/slavecommand.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Keeps the optimiser from dropping the work.
volatile size_t g_sink = 0;

template <typename F> double NanosecondsPer(int count, F&& build) {
    auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        g_sink = g_sink + build(i);
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / count;
}
} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000000;
    std::vector<std::string> paths;
    for (int i = 0; i < 64; ++i)
        paths.push_back("/home/user/Filmy/Some.Movie.2009.720p.BluRay.x264-GROUP/napisy \"" +
                        std::to_string(i) + "\" CD1.srt");
    const std::string text = "Please wait. Downoland Sub.";

    double load = NanosecondsPer(count, [&](int i) {
        SlaveCommand c("sub_load");
        c.Text(paths[static_cast<size_t>(i) & 63]);
        return c.line().size();
    });
    double osd = NanosecondsPer(count, [&](int i) {
        SlaveCommand c("pausing osd_show_text");
        c.Text(text).Int(2000 + (i & 7)).Int(1);
        return c.line().size();
    });
    double seek = NanosecondsPer(count, [&](int i) {
        SlaveCommand c("seek");
        c.Real(12.5 + (i & 15)).Int(1);
        return c.line().size();
    });
    double check = NanosecondsPer(count, [&](int i) {
        return SlaveLineRefusal(i & 1 ? "pausing_keep get_time_pos" : "get_time_length").size();
    });
    double plain = NanosecondsPer(count, [&](int i) {
        std::string line = "sub_load \"" + paths[static_cast<size_t>(i) & 63] + "\"";
        return line.size();
    });

    std::printf("slave-command builder, %d commands each (ns per command):\n", count);
    std::printf("  sub_load with a %zu-byte path      %7.1f\n", paths[0].size(), load);
    std::printf("  osd_show_text with two numbers    %7.1f\n", osd);
    std::printf("  seek with a real and an int       %7.1f\n", seek);
    std::printf("  check of a fixed command          %7.1f\n", check);
    std::printf("  bare concatenation of sub_load    %7.1f   (the unchecked way, for scale)\n",
                plain);
    double worst = std::max(std::max(load, osd), std::max(seek, check));
    std::printf("worst case %.1f ns: %s the 1 us a command may cost\n", worst,
                worst < 1000.0 ? "under" : "OVER");
    return worst < 1000.0 ? 0 : 1;
}
