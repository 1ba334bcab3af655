#pragma once
// Writing a subtitle file again with new times: only the time stamps change; every other byte
// (the text, its tags, the line ends, the encoding, a byte-order mark) stays as it was.
#include "subtitles/subtitleparse.h"

#include <functional>
#include <string>

// New time of `ms` for a line that starts at `lineStartMs` (both in the file's own time): the
// line's start decides which offset applies, so no line is torn across a split.
using RetimeMap = std::function<double(double lineStartMs, double ms)>;

struct RetimedFile {
    std::string bytes;
    std::string error; // "" when written
    SubFormat format = SubFormat::None;
    int lines = 0; // time stamps lines rewritten
};

// `bytes` is the whole file; `fps` counts MicroDVD frames when the file names no rate of its
// own (the movie's rate, as the player would use it). SubRip, MicroDVD, MPL2, TMPlayer,
// SubViewer 2 and ASS/SSA; times before the movie's start become 0.
RetimedFile RetimeSubtitleFile(const std::string& bytes, const RetimeMap& map, double fps);

// "<name>.synced.<ext>" beside it: "a/movie.srt" -> "a/movie.synced.srt".
std::string SyncedSubtitleName(const std::string& path);
