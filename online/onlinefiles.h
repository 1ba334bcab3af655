#pragma once
// Files of the online code: the private temporary folder that stands in for the root of
// drive C, and writes and copies with the semantics the subtitle placement relies on.
#include <string>
#include <sys/types.h>

// A folder only this user can enter, made once per process under the temporary directory,
// ending with '/'. "" when it cannot be made.
std::string PrivateTempFolder();

// Copies `from` over `to` (replacing it) through a temporary file and a rename, so a failed
// copy never leaves half a file. False on any error.
bool CopyFileReplace(const std::string& from, const std::string& to);

// True for a regular file (a link to one too). Fingerprinting opens the movie, and opening
// a FIFO would wait for a writer for ever, so nothing else is fingerprinted.
bool IsMovieFile(const std::string& path);

// Creates `path` with `data`, never replacing or writing through anything already there (a
// link included). False on any error, and then nothing of it is left.
bool WriteNewFile(const std::string& path, const std::string& data, mode_t mode = 0644);
// Writes `data` to `path` (replacing it). False on any error.
bool WriteWholeFile(const std::string& path, const std::string& data);
// Reads the whole file into `data` when it is a regular file of at most `limit` bytes.
bool ReadWholeFile(const std::string& path, std::string* data, size_t limit);
