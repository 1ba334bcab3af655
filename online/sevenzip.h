#pragma once
// Password-protected 7z archives from a service, read with Debian's 7zz without ever letting
// the archive write a file: the listing ("l -slt") is read first, and the one member asked for
// is unpacked to 7zz's standard output ("e -so") into memory, the run stopped as soon as it
// passes the size allowed (the sizes in a 7z header are the sender's word, not a limit).
// Every run has a time limit and stops at once when the exchange is cancelled. Arguments go
// to 7zz as they are, no shell.
#include <cstdint>
#include <string>
#include <vector>

enum class SevenZipRun {
    Done,        // 7zz ended with status 0
    Failed,      // 7zz ran and refused (wrong password, damaged archive)
    Missing,     // no 7zz to run
    Interrupted, // cancelled or over the time limit; the tool was stopped
    TooLarge,    // the output passed its limit; the tool was stopped
};

// One member as the listing names it.
struct SevenZipEntry {
    std::string path;
    uint64_t size = 0;
    bool sizeKnown = false;
    bool folder = false;
    // A symbolic or hard link. Other kinds (an archive made from a pipe lists its member
    // as a FIFO) are only data once unpacked to memory.
    bool link = false;
};

struct SevenZipListing {
    std::string type; // the archive's "Type" ("7z")
    std::vector<SevenZipEntry> entries;
};

// The listing's text as "7zz l -slt" prints it (pure; for tests and fuzzing). False when the
// text holds no archive block.
bool ParseSevenZipListing(const std::string& text, SevenZipListing* listing);

// Lists the archive. A listing longer than `outputLimit` bytes (an archive of countless
// members) gives TooLarge.
SevenZipRun ListSevenZip(const std::string& archive, const std::string& password,
                         SevenZipListing* listing, size_t outputLimit = 1u << 20,
                         int timeLimitMs = 60000);

// The bytes of the member whose path is exactly `member` (no wildcards), at most `limit` of
// them: more gives TooLarge and nothing in `bytes`.
SevenZipRun ExtractSevenZipMember(const std::string& archive, const std::string& password,
                                  const std::string& member, size_t limit, std::string* bytes,
                                  int timeLimitMs = 60000);

// The program run: "7zz" looked up on PATH, unless QUORVAN_7ZZ names another.
std::string SevenZipTool();
