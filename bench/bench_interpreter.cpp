// How many status lines a second the output interpreter takes, next to a plain sscanf loop over
// the same lines, and how many heap allocations it makes for them (none expected).
#include "platform/headlessport.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<long> g_allocations{0};
} // namespace

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 3000000;
    HeadlessPort port;
    SetWindowPort(&port);
    timelenght = 1e9f;

    // The lines as the reader delivers them: one buffer, rewritten in place, like bufnamplayera.
    std::vector<std::string> lines;
    for (int i = 0; i < 1000; ++i) {
        char text[128];
        std::snprintf(text, sizeof(text),
                      "A:%6d.%d V:%6d.%d A-V:  0.000 ct:  0.000 %4d/%4d  1%%  0%%  0.2%% 0 0 \r",
                      i * 7, i % 10, i * 7, i % 10, i, i);
        lines.push_back(text);
    }
    std::vector<std::vector<char>> buffers;
    for (const auto& l : lines)
        buffers.emplace_back(l.c_str(), l.c_str() + l.size() + 1);

    long before = g_allocations;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        obsluzto_co_mplayer_podeslal(buffers[static_cast<size_t>(i) % buffers.size()].data());
    double ours = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long allocations = g_allocations - before;

    long sink = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        int s = 0;
        int f = 0;
        if (std::sscanf(buffers[static_cast<size_t>(i) % buffers.size()].data(), "A:%d.%d ", &s,
                        &f) == 2)
            sink += s;
    }
    double plain = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("status lines:          %d\n", count);
    std::printf("interpreter:           %.0f lines/s\n", count / ours);
    std::printf("plain sscanf loop:     %.0f lines/s\n", count / plain);
    std::printf("heap allocations:      %ld\n", allocations);
    std::printf("(checksum %ld, position %d)\n", sink, Mp1.timePosition.load());
    SetWindowPort(nullptr);
    return count / ours >= 1000000.0 && allocations == 0 ? 0 : 1;
}
