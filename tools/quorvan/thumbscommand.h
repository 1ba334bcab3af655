#pragma once
// `quorvan thumbs`: the thumbnail sheet of movies without a window. The player runs with
// `-vo null` in a private folder; the sheet is saved as "<movie file name>.s.jpg" in the
// working directory (or --out) and its path printed.
#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

constexpr int kExitPlayerFailed = 4; // the player could not make the frames

struct ThumbsOptions {
    int width = 800;
    int across = 7;
    int down = 7;
    std::string out;
    std::vector<std::string> movies;
    bool json = false;
};

// Registers the subcommand on `app`, its values going to `options`.
CLI::App* AddThumbsCommand(CLI::App& app, ThumbsOptions& options);

int RunThumbs(const ThumbsOptions& options, FILE* out);
