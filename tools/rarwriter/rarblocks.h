#pragma once
// Block encoding of RAR 1.5 - 4.x archives (the format RAR 2.9 writes): marker block, archive
// header, file header and end-of-archive block, each with its 16-bit header CRC.
#include <cstdint>
#include <ctime>
#include <string>

namespace rarwriter {

// Block types and flags this writer uses.
constexpr uint8_t kMainHead = 0x73;
constexpr uint8_t kFileHead = 0x74;
constexpr uint8_t kEndArc = 0x7B;

constexpr uint16_t kMainVolume = 0x0001;      // the archive is part of a volume set
constexpr uint16_t kMainFirstVolume = 0x0100; // ... and this is its first volume

constexpr uint16_t kFileSplitBefore = 0x0001; // continued from the previous volume
constexpr uint16_t kFileSplitAfter = 0x0002;  // continued in the next volume
constexpr uint16_t kFileLarge = 0x0100;       // high 32 bits of both sizes follow
constexpr uint16_t kLongBlock = 0x8000;       // data of the block's packed size follows it

constexpr uint16_t kEndNextVolume = 0x0001; // another volume follows this one
constexpr uint16_t kEndVolNumber = 0x0008;  // the volume number follows

constexpr uint8_t kMethodStore = 0x30;
constexpr uint8_t kHostUnix = 3;
constexpr uint8_t kUnpackVersion = 20; // stored data needs nothing newer than 2.0

constexpr size_t kMarkerSize = 7;
constexpr size_t kMainHeaderSize = 13;
constexpr size_t kEndArcSize = 9;

// Header CRC: the low 16 bits of the CRC32 of the header from its type byte on.
uint16_t HeaderCrc(const std::string& header);

// "Rar!\x1a\x07\x00"
std::string MarkerBlock();
std::string MainHeader(uint16_t flags);

// One piece of a stored file as it appears in one volume.
struct FilePiece {
    std::string name;       // as stored (bytes of the file system's name)
    uint64_t fileSize = 0;  // whole file
    uint64_t pieceSize = 0; // bytes of the file in this volume
    uint32_t crc = 0;       // CRC32 of this piece, or of the whole file in its last piece
    uint32_t unixMode = 0;  // st_mode
    std::time_t mtime = 0;
    bool splitBefore = false;
    bool splitAfter = false;
};

// True when the file needs the large-file fields (every piece of it then carries them, so the
// header has the same size in every volume).
bool NeedsLargeFields(uint64_t fileSize);
// Size of the file header FileHeader() writes for a file of this name and size.
size_t FileHeaderSize(const std::string& name, uint64_t fileSize);
std::string FileHeader(const FilePiece& piece);

// volumeNumber counts from 0; `last` is false when another volume follows.
std::string EndArcBlock(bool last, uint16_t volumeNumber);

// MS-DOS date and time (local time, 2-second steps) of `t`.
uint32_t DosTime(std::time_t t);

// CRC32 of `length` zero bytes appended to data whose CRC is `crc` (for holes of sparse files;
// logarithmic in the length).
uint32_t Crc32Zeros(uint32_t crc, uint64_t length);

} // namespace rarwriter
