#pragma once
// Reading subtitle files: SubRip, MicroDVD, MPL2, TMPlayer, SubViewer 2 and the dialogue lines
// of ASS/SSA. Pure functions of the bytes; a file that is not a subtitle, is empty, binary or
// enormous is refused with a reason.
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

// Bigger files are no subtitles (a feature film's SubRip is well under 1 MB).
constexpr size_t kMaxSubtitleFileBytes = 50u * 1024 * 1024;

// The file's bytes in any of the known encodings.
ParsedSubtitles ParseSubtitleFile(const std::string& bytes);
// Text already in UTF-8.
ParsedSubtitles ParseSubtitleText(const std::string& utf8);

// Cue times in milliseconds: frames are counted at `movieFps` unless the file names its own
// frame rate or `forcedFps` (the player's -subfps) is given.
std::vector<SubtitleCue> CuesInMilliseconds(const ParsedSubtitles& parsed, double movieFps,
                                            double forcedFps = 0);

// A cue's text as one output line: its lines joined with a blank, and every other control
// character (C0, DEL, and the C1 controls of UTF-8) a blank too, so the text can neither end
// the line early nor pass for a line of the player's own.
std::string OneLine(const std::string& text);

const char* SubFormatName(SubFormat format);
