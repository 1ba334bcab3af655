#pragma once
// The movie's description on the Napiprojekt web site, found by the movie's fingerprint.
#include <string>

// Opens the movie's description page on the Napiprojekt web site, found by the fingerprint of
// the movie (also inside a RAR set). Returns 0.
int PokazOpisFilmuRAR(const char* movie);
// The address of that page for a digest and a movie path (pure).
std::string MovieDescriptionUrl(const std::string& webHost, const std::string& hexDigest,
                                const std::string& moviePath);
