#pragma once
// Unpacking a password-protected 7z archive with Debian's 7zz, flat into a folder, as the
// archive library call did: "e <archive> -o<folder> * -y -p<password>". The run has a time
// limit and stops at once when the exchange is cancelled.
#include <string>

enum class SevenZipRun {
    Done,        // 7zz ended with status 0
    Failed,      // 7zz ran and refused (wrong password, damaged archive)
    Missing,     // no 7zz to run
    Interrupted, // cancelled or over the time limit; the tool was stopped
};

// `tool` is the program to run ("7zz", looked up on PATH, unless QUORVAN_7ZZ names another).
SevenZipRun RunSevenZip(const std::string& archive, const std::string& folder,
                        const std::string& password, int timeLimitMs = 60000);
