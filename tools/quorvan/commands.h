#pragma once
// The commands of the `quorvan` companion, writing their results to `out` (the program's
// standard output) and their complaints to stderr. Each returns the process exit status.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// Exit statuses besides 0.
constexpr int kExitUnreadable = 1; // the movie or set cannot be read
constexpr int kExitNotASet = 3;    // rar-info / cat given a name that is no RAR set
constexpr int kExitIncomplete = 4; // cat: a volume is missing or short; what is there was written

// Size and the three fingerprints of a movie (any volume of a stored set names the set),
// plus the set's geometry for a RAR volume name. With `json`, one JSON object.
int RunHash(const std::string& movie, bool json, FILE* out);

// The geometry of the set a volume belongs to, and which volume files are present.
int RunRarInfo(const std::string& volume, bool json, FILE* out);

// The stored movie's bytes from `offset` on, `length` of them (default: to the end), clipped
// to the stored size. Stops at a missing or short volume, naming it on stderr.
int RunCat(const std::string& volume, uint64_t offset, std::optional<uint64_t> length, FILE* out);
