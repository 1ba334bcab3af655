#pragma once
// The five-digit token Napiprojekt asks for beside the MD5 fingerprint of a movie.
#include <string>

// One token digit from the MD5 hex text `md5`: the digit d at position p - 1, then the one
// or two hex digits at t - 1 and t (t = d + addend; one digit when t is past the end) read as
// a number v; the result is (v * multiplier) mod 16.
int getpseudohash_prv(const std::string& md5, int p, int addend, int multiplier);

// Five lowercase hex digits derived from the 32-digit Napiprojekt MD5 text.
std::string GeneratePseudoHashNapiprojekt(const std::string& md5);
