#pragma once
// `quorvan frame --at SECONDS [--width W] --out FILE.png MOVIE`: one frame of a movie (loose or
// stored in a RAR set) with the engine of the seek previews, the frame nearest the asked time.
// Prints the frame's own time in seconds; exit 0 only when the picture was written.
#include <cstdio>
#include <string>

namespace CLI {
class App;
}

constexpr int kExitPastTheEnd = 6; // the asked time lies at or past the movie's end

struct FrameOptions {
    double at = 0;
    int width = 0; // 0: the movie's own width
    std::string out;
    std::string movie;
};

CLI::App* AddFrameCommand(CLI::App& app, FrameOptions& options);

int RunFrame(const FrameOptions& options, FILE* out);
