#pragma once
// `quorvan subtitles`: the subtitle downloads of the player without its window. Each movie
// (a loose file or any volume of a stored RAR set) gets its subtitle beside it; what went
// where, or why nothing came, is printed per movie (one JSON object per line with --json).
#include <cstdio>
#include <string>
#include <vector>

struct SubtitlesOptions {
    std::string service = "napiprojekt"; // or "opensubtitles"
    std::string language;                // "" = the service's default (PL, eng)
    bool list = false;                   // OpenSubtitles: print the results, fetch nothing
    bool json = false;
    std::vector<std::string> movies;
};

// Exit status: 0 when every movie got a subtitle (or, with --list, a result list), 1 when
// any did not, 2 for options that do not fit together.
int RunSubtitles(const SubtitlesOptions& options, FILE* out);
