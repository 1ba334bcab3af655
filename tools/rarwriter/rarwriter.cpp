#include "tools/rarwriter/rarwriter.h"

#include "platform/fdio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace rarwriter {
namespace {

constexpr uint64_t kUnlimited = ~0ull;
constexpr size_t kChunk = 1 << 20;

} // namespace

std::string SysError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Copies `length` bytes of `in` from `offset` to the current position of `out`. Holes of a
// sparse input stay holes in the volume (their CRC is computed without reading them).
bool CopyRange(int in, uint64_t offset, uint64_t length, int out, Crcs* crcs, std::string* error,
               const std::string& path) {
    std::vector<char> buf(kChunk);
    uint64_t end = offset + length;
    while (offset < end) {
        off_t dataAt = lseek(in, static_cast<off_t>(offset), SEEK_DATA);
        uint64_t holeEnd = offset;
        if (dataAt < 0 && errno == ENXIO)
            holeEnd = end; // nothing but a hole up to the end of the file
        else if (dataAt > static_cast<off_t>(offset))
            holeEnd = std::min<uint64_t>(static_cast<uint64_t>(dataAt), end);
        if (holeEnd > offset) {
            uint64_t zeros = holeEnd - offset;
            if (lseek(out, static_cast<off_t>(zeros), SEEK_CUR) < 0) {
                *error = SysError("Cannot write", "volume");
                return false;
            }
            crcs->piece = Crc32Zeros(static_cast<uint32_t>(crcs->piece), zeros);
            crcs->file = Crc32Zeros(static_cast<uint32_t>(crcs->file), zeros);
            offset = holeEnd;
            continue;
        }
        off_t holeAt = lseek(in, static_cast<off_t>(offset), SEEK_HOLE);
        uint64_t dataEnd = holeAt > static_cast<off_t>(offset)
                               ? std::min<uint64_t>(static_cast<uint64_t>(holeAt), end)
                               : end;
        while (offset < dataEnd) {
            size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, dataEnd - offset));
            ssize_t n = pread(in, buf.data(), want, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                *error = SysError("Cannot read", path);
                return false;
            }
            if (n == 0) {
                *error = "File " + path + " became shorter while it was being packed";
                return false;
            }
            auto bytes = reinterpret_cast<const Bytef*>(buf.data());
            crcs->piece = crc32(crcs->piece, bytes, static_cast<uInt>(n));
            crcs->file = crc32(crcs->file, bytes, static_cast<uInt>(n));
            if (!WriteAllBlocking(out, buf.data(), static_cast<size_t>(n))) {
                *error = SysError("Cannot write", "volume");
                return false;
            }
            offset += static_cast<uint64_t>(n);
        }
    }
    return true;
}

bool PlanVolumes(const std::vector<InputFile>& files, uint64_t volumeSize,
                 std::vector<PlannedVolume>* volumes, std::string* error) {
    const uint64_t capacity = volumeSize == 0 ? kUnlimited : volumeSize;
    const uint64_t start = kMarkerSize + kMainHeaderSize;
    volumes->assign(1, {});
    uint64_t used = start;
    for (size_t f = 0; f < files.size(); ++f) {
        const uint64_t header = FileHeaderSize(files[f].storedName, files[f].size);
        uint64_t offset = 0;
        do {
            uint64_t remaining = files[f].size - offset;
            uint64_t needed = header + kEndArcSize + (remaining > 0 ? 1 : 0);
            if (capacity < used || capacity - used < needed) {
                if (used == start) {
                    *error = "Volume size " + std::to_string(volumeSize) +
                             " is too small to hold the header of " + files[f].storedName;
                    return false;
                }
                volumes->emplace_back();
                used = start;
                continue;
            }
            uint64_t room = capacity - used - header - kEndArcSize;
            uint64_t take = std::min(remaining, room);
            volumes->back().push_back({f, offset, take, offset > 0, take < remaining});
            used += header + take;
            offset += take;
            if (offset < files[f].size) {
                volumes->emplace_back();
                used = start;
            }
        } while (offset < files[f].size);
    }
    return true;
}

std::string OldVolumeName(const std::string& firstVolume, size_t index) {
    if (index == 0)
        return firstVolume;
    std::string base = firstVolume.substr(0, firstVolume.size() - 4);
    std::string number = std::to_string(index - 1);
    if (number.size() < 2)
        number.insert(0, 2 - number.size(), '0');
    return base + ".r" + number;
}

bool WriteStoredPiece(int out, const InputFile& file, const PlannedPiece& piece, Crcs* crcs,
                      const std::function<std::string(uint32_t crc)>& header, std::string* error) {
    off_t headerAt = lseek(out, 0, SEEK_CUR);
    if (headerAt < 0 || !WriteAllBlocking(out, header(0)))
        return false;
    int in = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = SysError("Cannot open", file.path);
        return false;
    }
    crcs->piece = crc32(0L, Z_NULL, 0);
    if (piece.offset == 0)
        crcs->file = crc32(0L, Z_NULL, 0);
    bool ok = CopyRange(in, piece.offset, piece.length, out, crcs, error, file.path);
    close(in);
    if (!ok)
        return false;
    std::string final = header(static_cast<uint32_t>(piece.splitAfter ? crcs->piece : crcs->file));
    return pwrite(out, final.data(), final.size(), headerAt) == static_cast<ssize_t>(final.size());
}

bool WriteVolumeSet(const std::vector<InputFile>& files, const WriteOptions& options,
                    std::vector<std::string>* written, std::string* error) {
    std::vector<PlannedVolume> plan;
    if (!PlanVolumes(files, options.volumeSize, &plan, error))
        return false;
    written->clear();
    auto fail = [&](const std::string& message) {
        for (const std::string& name : *written)
            unlink(name.c_str());
        written->clear();
        *error = message;
        return false;
    };
    if (!options.overwrite)
        for (size_t v = 0; v < plan.size(); ++v) {
            std::string name = OldVolumeName(options.firstVolume, v);
            if (access(name.c_str(), F_OK) == 0) {
                *error = "Archive " + name + " already exists (use -o+ to overwrite it)";
                return false;
            }
        }

    std::vector<Crcs> fileCrcs(files.size());
    const bool multi = plan.size() > 1;
    for (size_t v = 0; v < plan.size(); ++v) {
        std::string name = OldVolumeName(options.firstVolume, v);
        int out = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0)
            return fail(SysError("Cannot create", name));
        written->push_back(name);
        uint16_t mainFlags =
            multi ? static_cast<uint16_t>(kMainVolume | (v == 0 ? kMainFirstVolume : 0)) : 0;
        bool ok =
            WriteAllBlocking(out, MarkerBlock()) && WriteAllBlocking(out, MainHeader(mainFlags));
        std::string message;
        for (const PlannedPiece& p : plan[v]) {
            if (!ok)
                break;
            const InputFile& file = files[p.file];
            ok = WriteStoredPiece(
                out, file, p, &fileCrcs[p.file],
                [&](uint32_t crc) {
                    return FileHeader({file.storedName, file.size, p.length, crc, file.unixMode,
                                       file.mtime, p.splitBefore, p.splitAfter});
                },
                &message);
        }
        if (ok)
            ok = WriteAllBlocking(out, EndArcBlock(v + 1 == plan.size(), static_cast<uint16_t>(v)));
        if (close(out) != 0)
            ok = false;
        if (!ok)
            return fail(message.empty() ? SysError("Cannot write", name) : message);
    }
    return true;
}

} // namespace rarwriter
