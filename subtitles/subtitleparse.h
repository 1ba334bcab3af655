#pragma once
// Reading subtitle files: SubRip, MicroDVD, MPL2, TMPlayer, SubViewer 2 and the dialogue lines
// of ASS/SSA. Pure functions of the bytes; a file that is not a subtitle, is empty, binary or
// enormous is refused with a reason.
#include "platform/limits.h"
#include "platform/textutil.h"

#include <cstdint>
#include <string>
#include <vector>

enum class SubFormat { None, SubRip, MicroDvd, Mpl2, TmPlayer, SubViewer2, Ass };

struct SubtitleCue {
    int64_t start = 0; // milliseconds, or frames for MicroDVD
    int64_t end = 0;
    std::string text; // UTF-8, tags removed, its lines separated by '\n'
};

struct ParsedSubtitles {
    SubFormat format = SubFormat::None;
    bool inFrames = false; // MicroDVD: start and end count frames
    double fileFps = 0;    // MicroDVD's own "{1}{1}23.976" line; 0 when it has none
    std::vector<SubtitleCue> cues;
    std::string error;    // why the file was refused; "" when it was read
    std::string encoding; // iconv name of the encoding it was read in
};

// kMaxSubtitleFile (platform/limits.h): bigger files are no subtitles.

// The file's bytes in any of the known encodings.
ParsedSubtitles ParseSubtitleFile(const std::string& bytes);
// Text already in UTF-8.
ParsedSubtitles ParseSubtitleText(const std::string& utf8);

// Cue times in milliseconds: frames are counted at `movieFps` unless the file names its own
// frame rate or `forcedFps` (the player's -subfps) is given.
std::vector<SubtitleCue> CuesInMilliseconds(const ParsedSubtitles& parsed, double movieFps,
                                            double forcedFps = 0);

// OneLine (platform/textutil.h) makes a cue's text one output line.

const char* SubFormatName(SubFormat format);
