#pragma once
// Files of the online code: the private temporary folder that stands in for the root of
// drive C, and moves and copies with the semantics the subtitle placement relies on.
#include <string>

// A folder only this user can enter, made once per process under the temporary directory,
// ending with '/'. "" when it cannot be made.
std::string PrivateTempFolder();

// Moves `from` to `to` without ever replacing an existing `to` (also across file systems,
// where the file is copied and the source removed). False when `to` exists or on any error;
// `from` is then left as it was.
bool MoveFileNoReplace(const std::string& from, const std::string& to);

// Copies `from` over `to` (replacing it) through a temporary file and a rename, so a failed
// copy never leaves half a file. False on any error.
bool CopyFileReplace(const std::string& from, const std::string& to);

// True for a regular file (a link to one too). Fingerprinting opens the movie, and opening
// a FIFO would wait for a writer for ever, so nothing else is fingerprinted.
bool IsMovieFile(const std::string& path);

// Writes `data` to `path` (replacing it). False on any error.
bool WriteWholeFile(const std::string& path, const std::string& data);
// Reads the whole file into `data` when it is a regular file of at most `limit` bytes.
bool ReadWholeFile(const std::string& path, std::string* data, size_t limit);
