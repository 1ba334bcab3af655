#pragma once
// The rules by which the wrapper corrects mplayer's own MPEG-TS demuxer, which takes a
// recording's length from a guessed bitrate and counts its clock from the stream's first
// timestamp (a broadcast recording's clock may stand at hours when it starts). Pure functions:
// what the front end is told instead of mplayer's lines, and how seek commands are read and
// turned into byte positions.
#include <cstdint>
#include <string>

struct StreamTiming {
    double length = 0; // the movie's real duration in seconds
    double start = 0;  // the stream's first timestamp, where mplayer's clock stands at 0 s
};

// The piece as the front end is told it: "ID_LENGTH=", "ANS_LENGTH=" and "ANS_length=" give
// `length`; "ANS_TIME_POSITION=" and the A: and V: values of a status line count from the
// movie's start (never below 0). Any other piece, and the line end of these, are unchanged.
std::string RetellPiece(const std::string& piece, const StreamTiming& timing);

// The position a piece tells in mplayer's own clock (an answer or a status line); false when it
// tells none.
bool PositionInPiece(const std::string& piece, double* seconds);

struct SeekCommand {
    std::string prefix; // "pausing ", "pausing_keep " ... with its blank, or ""
    double value = 0;
    int type = 0; // 0 relative, 1 percent, 2 absolute seconds
};
// Reads "[prefix ]seek <value> [type]" as mplayer's slave parser does; false for any other
// command and for one mplayer would refuse (no number, words after the type).
bool ParseSeekCommand(const std::string& command, SeekCommand* seek);

// The percent seek (type 1) that puts mplayer's demuxer a little before byte `offset` of a
// file of `size` bytes: mplayer's percent is a single-precision float, so it lands up to a few
// hundred bytes off, and from there its demuxer moves on to the next keyframe.
std::string ByteSeekCommand(const std::string& prefix, uint64_t offset, uint64_t size);

// Seconds of an "-ss" value: "90", "90.5", "1:30" or "0:01:30"; false for anything else.
bool ParseStartPosition(const std::string& text, double* seconds);
