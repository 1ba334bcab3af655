#pragma once
// Extracting the files of a RAR set (RAR 1.5 to 5, stored, compressed or encrypted, all
// volumes) to a descriptor. Stored files are copied from the volumes by our own header walk;
// compressed and encrypted ones go through the decoder measured exact for their format.
#include <string>
#include <vector>

// Exit codes of binary/unrar.
enum UnrarExit : int {
    kUnrarOk = 0,
    kUnrarSkipped = 1,   // some files were not extracted (each named on stderr)
    kUnrarFatal = 2,     // unreadable archive, damaged headers
    kUnrarDamaged = 3,   // data that fails its check, or a missing volume
    kUnrarWrite = 5,     // the output could not be written
    kUnrarOpen = 6,      // the archive (first volume) cannot be opened
    kUnrarUsage = 7,     // bad command line
    kUnrarNoFiles = 10,  // nothing in the archive matched
    kUnrarPassword = 11, // encrypted, and the password does not open it
};

struct ExtractRequest {
    std::vector<std::string> volumes; // every volume present, first volume first
    std::string nextVolume;           // the volume that would follow the last one, if any
    std::string password;             // empty: none given
    std::vector<std::string> masks;   // wildcards on the names inside; empty: every file
};

// Writes the contents of every matching file, one after another, to `outFd`. Returns an
// UnrarExit; on failure `message` says what went wrong in words for the user.
int ExtractFiles(const ExtractRequest& request, int outFd, std::string* message);
