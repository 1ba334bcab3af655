#pragma once
// Names of RAR volume sets.
#include <string>

// True when the name is longer than 4 characters and ends in ".rar", ignoring case.
bool CzyToRar(const char* name);
inline bool CzyToRar(const std::string& name) { return CzyToRar(name.c_str()); }

// Rewrites the name of any volume of a set, in place, into the name of the set's first volume
// (movie.r07 -> movie.rar, movie.part05.rar -> movie.part01.rar, movie.part3.rar ->
// movie.part1.rar, unfinished-download suffixes removed). Other names stay.
void ZrobPierwszyPart(std::string& name);
