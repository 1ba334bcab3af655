#pragma once
// Names of RAR volume sets (below every subsystem: the launch, the lists and the tools all
// need them): recognising a set, its first volume, and the name of volume k.
#include <cstdint>
#include <string>

// True when the name is longer than 4 characters and ends in ".rar", ignoring case.
bool CzyToRar(const char* name);
inline bool CzyToRar(const std::string& name) {
    return CzyToRar(name.c_str());
}

// Rewrites the name of any volume of a set, in place, into the name of the set's first volume
// (movie.r07 -> movie.rar, movie.part05.rar -> movie.part01.rar, movie.part3.rar ->
// movie.part1.rar, unfinished-download suffixes removed). Letters of the endings match without
// regard to case and keep the case they had (FILM.R07 -> FILM.RAR). Other names stay.
void ZrobPierwszyPart(std::string& name);

// One way of numbering the volumes of a set, recognised by the first volume's ending.
struct RarNamingRule {
    const char* ending; // first-volume ending, matched without regard to case
    const char* prefix; // text before the volume number
    int digits;         // minimum digits of the number (printing widens past it)
    const char* tail;   // text after the number
    int scheme;         // 1 = old (.rar, .r00, .r01 ...), 2 = numbered
};

// The rule whose ending the name has (endings tried in their fixed order), or nullptr.
const RarNamingRule* FindFirstVolumeRule(const std::string& name);

// Name of volume k (0 = first) of the set whose first volume is `firstVolume` and whose name
// without the rule's ending is `base`. Old-scheme sets call volume 0 by the first volume's name
// and volume k >= 1 by the number k - 1; numbered sets use k + 1. The letters around the number
// keep the case the first volume has them in (FILM.RAR -> FILM.R00).
std::string RarVolumeName(const std::string& firstVolume, const std::string& base,
                          const RarNamingRule& rule, int64_t k);

// The set's printf-style name pattern: `base` with every '%' doubled, so that the one integer
// conversion of the suffix is the only conversion in it.
std::string RarNamePattern(const std::string& firstVolume, const std::string& base,
                           const RarNamingRule& rule);

// What every volume of one set has in common, for any naming the reader knows: the name with
// its volume number (and an unfinished-download suffix) taken out, in lower case
// ("/m/film.part#.rar" for /m/Film.part3.rar, "/m/film.r#" for /m/film.rar and /m/film.r07,
// "/m/film.#" for /m/film.001). "" for a name that is no RAR volume.
std::string RarSetKey(const std::string& name);
