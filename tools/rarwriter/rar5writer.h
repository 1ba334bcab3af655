#pragma once
// Writes stored (uncompressed) RAR5 volume sets, named name.part1.rar, name.part2.rar, ...
// (zero-padded to the width of the last number), or name.rar, name.r00, ... with -vn. Every
// volume but the last is exactly the volume size long; a file's header has the same size in
// every volume (its sizes are written as vints of fixed width), so only the archive header's
// volume number makes the volumes differ, by a byte at most.
#include "tools/rarwriter/rarwriter.h"

#include <string>
#include <vector>

namespace rarwriter {

// The vint of `value` padded to `width` bytes with continuation bits (width >= its length).
std::string PaddedVint(uint64_t value, size_t width);

// Header blocks of a RAR5 volume: CRC32, size, then the given body (type, flags, fields).
std::string Rar5Block(const std::string& body);
std::string Rar5MainHeader(bool multi, size_t volume);
std::string Rar5EndHeader(bool last);
struct Rar5Piece {
    std::string name;
    uint64_t fileSize = 0;
    uint64_t pieceSize = 0;
    uint32_t crc = 0;
    uint32_t unixMode = 0;
    std::time_t mtime = 0;
    bool splitBefore = false;
    bool splitAfter = false;
};
std::string Rar5FileHeader(const Rar5Piece& piece);

// Name of volume `index` of a set whose archive name is `firstVolume` (".rar" or
// ".partN.rar" form given by the caller's choice of naming) and that has `count` volumes.
std::string Rar5VolumeName(const std::string& firstVolume, size_t index, size_t count,
                           bool oldNaming);

bool WriteRar5VolumeSet(const std::vector<InputFile>& files, const WriteOptions& options,
                        bool oldNaming, std::vector<std::string>* written, std::string* error);

} // namespace rarwriter
