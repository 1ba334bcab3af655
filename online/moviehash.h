#pragma once
// The three fingerprints by which the subtitle services find a movie, and its size.
// A movie in a stored RAR set is fingerprinted from the stored file, through the global
// reader `s`, so that it hashes exactly as the same movie loose on disk.
//
// Sizes are 64-bit throughout: movies of 2 GiB and more keep their true size, also in
// `fileSize` and in the text getfilesize() gives the services.
#include <cstdint>
#include <istream>
#include <string>

class MovieSource;

class MovieHash {
  public:
    explicit MovieHash(const std::string& path);

    // 32 lowercase hex digits of the Napiprojekt MD5, or "0" when the movie cannot be read.
    std::string hashNapiprojekt;
    // 32 lowercase hex digits of the NapisyInfo MD5, or "0" when the movie cannot be read.
    std::string hashNapisyInfo;
    // 16 lowercase hex digits, or "" when the movie cannot be read.
    std::string hashOpenSubtitles;
    int64_t fileSize = 0;

    // fileSize as decimal text.
    std::string getfilesize() const;
};

// The OpenSubtitles hash of the movie at `path` as 16 lowercase hex digits, or "" (and
// "Error opening file" on stderr) when it cannot be read.
std::string GenerateHashOpenSubtitles(const std::string& path);
// The OpenSubtitles sum over an open binary stream: its size plus the little-endian 64-bit
// words of its first and last 64 KiB (whole words only), modulo 2^64. A stream shorter than
// 64 KiB has each whole word counted once.
uint64_t compute_hash(std::istream& stream);
// Size of the file in bytes, or 0 when it cannot be opened.
int64_t GetFileSizeForName(const std::string& path);

// MD5 of up to 10 MiB of the file from `start` on (1024-byte chunks). 0, or 1 when the file
// cannot be opened.
int napiproj_file(const std::string& path, unsigned char digest[16], int64_t start);
// MD5 of up to 1024 bytes of the file from `start` on. 0, or 1 when it cannot be opened.
int napisyinfo_file(const std::string& path, unsigned char digest[16], int64_t start);

int MAX(int a, int b);

// The same fingerprints over a movie source (a loose file or a stored set).
uint64_t OpenSubtitlesSum(MovieSource& movie);
std::string OpenSubtitlesHex(uint64_t hash);
void NapiprojektDigest(MovieSource& movie, unsigned char digest[16]);
void NapisyInfoDigest(MovieSource& movie, unsigned char digest[16]);
