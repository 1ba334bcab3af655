#pragma once
// Splitting the current movie into a stored RAR volume set on the desktop ("Split file for
// RapidShare"): 99 MB volumes with the old naming, playable without unpacking, together with
// the page that tells the receiver how to play them.
#include <string>

// The archive tool: the program's binary/rar, else `rar` on PATH; "" (after telling the user
// where to put one) when there is none.
std::string GetRarEXE();

// The command: packs Mp1.movieFile into <desktop>/<name with '.' as '_'>(KTZ).rar, .r00, ...
void SplitFile2RS();
