#pragma once
// Recognising the player's status line "A: 12.3 ..." without touching the heap.

// Matches the line against "A:%d.%d " as sscanf would (two conversions filled). On a match
// stores the whole seconds in *seconds and returns true.
bool ParseStatusLine(const char* line, int* seconds);
