#pragma once
// The block walk over the start of one RAR5 volume: where the first file's bytes lie in it, and
// how the file continues. A pure function over bytes read from outside: every size is checked
// against the bytes there, and every header against its CRC32.
#include <cstddef>
#include <cstdint>
#include <string>

// "Rar!\x1a\x07\x01\x00"
constexpr size_t kRar5SignatureSize = 8;
bool IsRar5Signature(const unsigned char* data, size_t length);
// How far the reader looks into a RAR5 volume for the first file header.
constexpr size_t kRar5HeaderWindow = 65536;

// Reads one vint (1 to 10 bytes, 7 bits each, least significant group first) at `*at`,
// advancing it. False when the number runs past `end` or past 64 bits.
bool ReadVint(const unsigned char* data, size_t end, size_t* at, uint64_t* value);
// The vint bytes of `value` (the shortest form).
std::string EncodeVint(uint64_t value);

enum class Rar5Result {
    Ok,           // a file header with its data was found
    NotRar5,      // no RAR5 signature at the start
    Encrypted,    // the archive's headers are encrypted: nothing is readable without it
    NoFileHeader, // no usable file header inside the bytes given
};

struct Rar5VolumeInfo {
    Rar5Result result = Rar5Result::NoFileHeader;
    bool isVolume = false;     // the main header says the archive is a volume
    uint64_t volumeNumber = 0; // 0 for the first volume (which has no number field)
    // The first file header of the volume (a continued file in all but the first).
    int64_t dataOffset = 0;    // where its data begins in this volume file
    uint64_t dataSize = 0;     // bytes of it in this volume
    uint64_t unpackedSize = 0; // the whole file's size
    bool stored = false;       // method 0 and not encrypted: the bytes lie as they are
    bool compressed = false;   // method other than 0
    bool encrypted = false;    // the file carries an encryption record
    bool splitBefore = false;  // continued from the previous volume
    bool splitAfter = false;   // continued in the next volume
    std::string name;          // UTF-8, '/' separated
};

// Walks the headers of `data` (the first `length` bytes of a volume): the signature, the main
// archive header, any service headers with their data (comments), up to the first file header
// that is not a folder. A header whose CRC32 does not match, whose size runs past `length` or
// past 2 MB, an unknown unpacked size and a file with no data in this volume all give
// NoFileHeader.
Rar5VolumeInfo ParseRar5Volume(const unsigned char* data, size_t length);
