#pragma once
// The block walk over the start of a RAR 1.5-4.x first volume: a pure function over bytes read
// from outside, so it never trusts a size it reads and is exercised by a fuzz target.
#include <cstddef>
#include <cstdint>

// How far the reader looks into a first volume for the stored file's header.
constexpr size_t kRarHeaderWindow = 5000;

enum class RarHeaderResult {
    Ok,           // a usable file header was found
    NotRar,       // the first 4 bytes are not "Rar!" (any case)
    NoFileHeader, // no usable file header among the first three blocks inside the window
};

struct RarHeaderInfo {
    RarHeaderResult result = RarHeaderResult::NoFileHeader;
    int64_t volumeDataSize = 0; // bytes of the stored file each volume carries (> 0 when Ok)
    uint64_t unpackedSize = 0;  // the stored file's size
    int32_t dataOffset = 0;     // where the stored data begins in each volume file
    bool largeFile = false;     // the high unpacked-size field was used
    bool stored = false;        // method 0x30 (store) and not encrypted: the bytes lie as they are
    bool encrypted = false;     // the file's data is encrypted (flag 0x0004)
};

// Walks at most three blocks of `data` (the first `length` bytes of the first volume) and
// reads the first file header. A block shorter than its 7-byte base header, a header size
// below 7 (a size of 0 would never advance), a file header that runs past `length` (the bytes
// there are: a header cut short by the end of its volume), and a packed size of 0 all give
// NoFileHeader. With the large-file flag the high packed and unpacked sizes are read too, so a
// single volume may carry a movie past 2 GiB.
RarHeaderInfo ParseRarGeometry(const unsigned char* data, size_t length);
