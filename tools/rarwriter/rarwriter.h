#pragma once
// Writes stored (uncompressed) RAR volume sets with the old volume naming: name.rar, name.r00,
// name.r01, ... Every volume but the last is exactly the volume size long, and the header of a
// file has the same size in every volume, so a player can find any byte of the file by
// arithmetic alone.
#include "tools/rarwriter/rarblocks.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rarwriter {

struct InputFile {
    std::string path;       // where to read it
    std::string storedName; // name inside the archive
    uint64_t size = 0;
    uint32_t unixMode = 0;
    std::time_t mtime = 0;
};

// Where each piece of each file goes.
struct PlannedPiece {
    size_t file = 0;     // index into the input files
    uint64_t offset = 0; // first byte of the file in this piece
    uint64_t length = 0;
    bool splitBefore = false;
    bool splitAfter = false;
};
using PlannedVolume = std::vector<PlannedPiece>;

// Lays the files out over volumes of at most `volumeSize` bytes (0: one volume of any size).
// False, with a message, when the volume size cannot hold a file header and a byte of data.
bool PlanVolumes(const std::vector<InputFile>& files, uint64_t volumeSize,
                 std::vector<PlannedVolume>* volumes, std::string* error);

// The file name of volume `index` of the set whose first volume is `firstVolume` (a ".rar"
// name): the first volume itself, then .r00, .r01, ... (.r100 after .r99).
std::string OldVolumeName(const std::string& firstVolume, size_t index);

// CRC32s of the piece being written and of its whole file so far.
struct Crcs {
    unsigned long piece = 0;
    unsigned long file = 0;
};
// Copies `length` bytes of `in` from `offset` to the current position of `out`, adding them to
// both CRCs. Holes of a sparse input stay holes in the volume.
bool CopyRange(int in, uint64_t offset, uint64_t length, int out, Crcs* crcs, std::string* error,
               const std::string& path);

// Writes `piece` of `file` at the current end of `out`: the header `header(crc)` makes, the
// data (added to `crcs`), then the header again with the CRC it must carry, which is known only
// once the data is in: a piece continued in the next volume carries its own CRC, the last one
// that of the whole file. Both RAR formats lay their stored pieces out this way.
bool WriteStoredPiece(int out, const InputFile& file, const PlannedPiece& piece, Crcs* crcs,
                      const std::function<std::string(uint32_t crc)>& header, std::string* error);

// "<what> <path>: <the system's reason>", from errno.
std::string SysError(const std::string& what, const std::string& path);

struct WriteOptions {
    std::string firstVolume; // ends in ".rar"
    uint64_t volumeSize = 0;
    bool overwrite = false;
};

// Writes the set. On failure nothing of the new set is left behind, and `error` says why.
// `written` receives the names of the volumes written.
bool WriteVolumeSet(const std::vector<InputFile>& files, const WriteOptions& options,
                    std::vector<std::string>* written, std::string* error);

} // namespace rarwriter
