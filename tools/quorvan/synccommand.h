#pragma once
// `quorvan sync MOVIE SUBTITLE`: the subtitle synchronised to the movie's speech, written as
// "<subtitle>.synced.<ext>" (or --out). Prints the offset, the rate, a split and the score;
// exit 0 only when the synced file was written.
#include <cstdio>
#include <string>

namespace CLI {
class App;
}

constexpr int kExitNoMatch = 5; // the subtitle does not fit the movie's speech

struct SyncOptions {
    std::string movie; // "-": the movie's bytes on standard input
    std::string subtitle;
    std::string out;
    bool json = false;
    bool noSplit = false;
};

CLI::App* AddSyncCommand(CLI::App& app, SyncOptions& options);

int RunSync(const SyncOptions& options, FILE* out);
