#pragma once
// The player output interpreter: everything the system knows about the playing movie it
// learns from the player's lines, handed over one at a time by the reader thread.
#include <atomic>

// Interprets one line as ReadLine delivers it (ending in '\r'). May modify it in place.
void obsluzto_co_mplayer_podeslal(char* line);

// Called by the reader thread before the first line of a newly started player: an end of file
// hands over to the next movie only when that player has started playing.
void PlayerOutputBegins();

extern std::atomic<bool> isPaused;
extern std::atomic<int> oldTime;
extern std::atomic<float> timelenght;
