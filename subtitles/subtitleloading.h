#pragma once
// Giving the player a subtitle file: the file-type test of dropped names, the frame rate a
// MicroDVD file's first line names, and the options of a forced subtitle. The loading into the
// running player itself (LoadSUB).
#include <string>

class MplayerInfo;

// Loads a subtitle file into the running player (it lives as long as that player). 0, with
// the user told why, when the name cannot travel as one slave command.
int LoadSUB(MplayerInfo& player, const std::string& file);

// A name longer than four characters ending in .txt .srt .ssa .sub .smi or .idx (any case).
bool CzyToNapis(const char* name);

// True for the digits and '.', the characters of a frame rate.
bool isDigOrComma(char c);

// The frame rate written right before the first "fps " of the line ("25fps " gives "25"),
// or "".
std::string GetFpsFromLine(std::string line);

// The text of a file up to its first line feed ("" when it cannot be read); at most `limit`
// bytes are read.
std::string ReadFirstLine(const std::string& path, size_t limit = 64 * 1024);

// The options that relaunch the player with `file` as its subtitle: " -subfps R" when the
// first line names a rate R, then " -sub " and the quoted file name.
std::string ForcedSubtitleOptions(const std::string& file, const std::string& firstLine);
