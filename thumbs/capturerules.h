#pragma once
// The rules of a screenshot series that need no player: the positions, the player options and
// the reading of the player's lines.
#include <string>
#include <vector>

// " -xy %d -nosound " with width / across: the width each frame is asked to have.
std::string ThumbExtraOptions(int width, int across);
// Frame width on the sheet, width / across (integer division); 1 at least.
int ThumbFrameWidth(int width, int across);
// The seconds of frame i = 0 .. count - 1: i * ((movieLength - 60) / count) + 10, truncated
// toward zero. When that span (10 s to movieLength - 50 s) holds fewer seconds than frames, the
// frames spread evenly over the whole movie instead, each in the middle of its share. Never
// below 0 nor past the movie's last second; all 0 for an unknown length.
std::vector<int> SeriesPositions(float movieLength, int count);
// For a movie whose length stays unknown: percent positions, each in the middle of its share
// of 0 .. 100 (truncated), never 100.
std::vector<int> SeriesPercentPositions(int count);
// The frame rate of a "VIDEO:" line ("VIDEO:  [H264]  160x120  24bpp  25.000 fps ..."); 0 when
// it names none.
double FramesPerSecond(const std::string& videoLine);
// The big series: 1, 3, 5, ..., 99 percent.
std::vector<int> PercentPositions();

// A line that parses as "V:%d ": the whole seconds after "V:" and any blanks (the fraction is
// ignored). False for other lines.
bool ParseVideoTime(const char* line, int* seconds);
// "ANS_TIME_POSITION=12.8" gives 12. False for other lines.
bool ParseTimePositionAnswer(const char* line, int* seconds);
// The same answer with its fraction: 12.8.
bool ParseTimePositionSeconds(const char* line, double* seconds);
// "ANS_LENGTH=..." gives the length in seconds. False for other lines.
bool ParseLengthAnswer(const char* line, float* seconds);
// The first 14 characters of "Starting playback...", any case.
bool IsStartingPlayback(const char* line);
// The first 13 characters of "*** screenshot", any case.
bool IsScreenshotLine(const char* line);
// The first 6 characters of "Exiting", any case.
bool IsExitingLine(const char* line);
