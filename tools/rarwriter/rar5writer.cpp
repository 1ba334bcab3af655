#include "tools/rarwriter/rar5writer.h"

#include "platform/fdio.h"
#include "rar/rar5header.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace rarwriter {
namespace {

constexpr size_t kSizeWidth = 9; // vint bytes of every size: 63 bits, room for any file
constexpr uint64_t kTypeMain = 1, kTypeFile = 2, kTypeEnd = 5;
constexpr uint64_t kHasData = 0x0002, kSplitBefore = 0x0008, kSplitAfter = 0x0010;
constexpr uint64_t kVolume = 0x0001, kVolumeNumber = 0x0002;
constexpr uint64_t kFileMtime = 0x0002, kFileCrc = 0x0004;
constexpr uint64_t kHost5Unix = 1;
constexpr uint64_t kEndNotLast = 0x0001;

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

const char kSignature[] = "Rar!\x1a\x07\x01\x00";

} // namespace

std::string PaddedVint(uint64_t value, size_t width) {
    std::string v = EncodeVint(value);
    if (v.size() >= width)
        return v;
    v.back() = char(v.back() | 0x80);
    while (v.size() + 1 < width)
        v.push_back(char(0x80));
    v.push_back(0);
    return v;
}

std::string Rar5Block(const std::string& body) {
    std::string sized = EncodeVint(body.size()) + body;
    std::string block;
    Put32(block,
          uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(sized.data()), uInt(sized.size()))));
    return block + sized;
}

std::string Rar5MainHeader(bool multi, size_t volume) {
    uint64_t flags = multi ? kVolume : 0;
    if (multi && volume > 0)
        flags |= kVolumeNumber;
    std::string body = EncodeVint(kTypeMain) + EncodeVint(0) + EncodeVint(flags);
    if (flags & kVolumeNumber)
        body += EncodeVint(volume);
    return Rar5Block(body);
}

std::string Rar5EndHeader(bool last) {
    return Rar5Block(EncodeVint(kTypeEnd) + EncodeVint(0) + EncodeVint(last ? 0 : kEndNotLast));
}

std::string Rar5FileHeader(const Rar5Piece& piece) {
    uint64_t flags = kHasData;
    if (piece.splitBefore)
        flags |= kSplitBefore;
    if (piece.splitAfter)
        flags |= kSplitAfter;
    std::string body = EncodeVint(kTypeFile) + EncodeVint(flags) +
                       PaddedVint(piece.pieceSize, kSizeWidth) + EncodeVint(kFileMtime | kFileCrc) +
                       PaddedVint(piece.fileSize, kSizeWidth) + EncodeVint(piece.unixMode);
    Put32(body, uint32_t(piece.mtime));
    Put32(body, piece.crc);
    body += EncodeVint(0); // compression information: version 0, stored
    body += EncodeVint(kHost5Unix);
    body += EncodeVint(piece.name.size());
    body += piece.name;
    return Rar5Block(body);
}

std::string Rar5VolumeName(const std::string& firstVolume, size_t index, size_t count,
                           bool oldNaming) {
    if (oldNaming)
        return OldVolumeName(firstVolume, index);
    std::string base = firstVolume.substr(0, firstVolume.size() - 4); // without ".rar"
    // "film.part1.rar" given as the archive name: the number is ours to write.
    size_t part = base.rfind(".part");
    if (part != std::string::npos && part + 5 < base.size() &&
        base.find_first_not_of("0123456789", part + 5) == std::string::npos)
        base.resize(part);
    if (count <= 1)
        return firstVolume;
    size_t width = std::to_string(count).size();
    std::string number = std::to_string(index + 1);
    number.insert(0, width - number.size(), '0');
    return base + ".part" + number + ".rar";
}

namespace {

size_t HeaderSize(const InputFile& f) {
    return Rar5FileHeader({f.storedName, f.size, 0, 0, f.unixMode, f.mtime, true, true}).size();
}

bool Plan(const std::vector<InputFile>& files, uint64_t volumeSize,
          std::vector<PlannedVolume>* volumes, std::string* error) {
    const uint64_t capacity = volumeSize == 0 ? ~0ull : volumeSize;
    const uint64_t end = Rar5EndHeader(false).size();
    // Volumes after the first carry their number: the room left depends on the volume.
    auto startOf = [](size_t volume) { return 8 + Rar5MainHeader(true, volume).size(); };
    volumes->assign(1, {});
    uint64_t start = startOf(0);
    uint64_t used = start;
    for (size_t f = 0; f < files.size(); ++f) {
        const uint64_t header = HeaderSize(files[f]);
        uint64_t offset = 0;
        do {
            uint64_t remaining = files[f].size - offset;
            uint64_t needed = header + end + (remaining > 0 ? 1 : 0);
            if (capacity < used || capacity - used < needed) {
                if (used == start) {
                    *error = "Volume size " + std::to_string(volumeSize) +
                             " is too small to hold the header of " + files[f].storedName;
                    return false;
                }
                volumes->emplace_back();
                used = start = startOf(volumes->size() - 1);
                continue;
            }
            uint64_t take = std::min(remaining, capacity - used - header - end);
            volumes->back().push_back({f, offset, take, offset > 0, take < remaining});
            used += header + take;
            offset += take;
            if (offset < files[f].size) {
                volumes->emplace_back();
                used = start = startOf(volumes->size() - 1);
            }
        } while (offset < files[f].size);
    }
    return true;
}

} // namespace

bool WriteRar5VolumeSet(const std::vector<InputFile>& files, const WriteOptions& options,
                        bool oldNaming, std::vector<std::string>* written, std::string* error) {
    std::vector<PlannedVolume> plan;
    if (!Plan(files, options.volumeSize, &plan, error))
        return false;
    const size_t count = plan.size();
    written->clear();
    auto fail = [&](const std::string& message) {
        for (const std::string& name : *written)
            unlink(name.c_str());
        written->clear();
        *error = message;
        return false;
    };
    if (!options.overwrite)
        for (size_t v = 0; v < count; ++v) {
            std::string name = Rar5VolumeName(options.firstVolume, v, count, oldNaming);
            if (access(name.c_str(), F_OK) == 0) {
                *error = "Archive " + name + " already exists (use -o+ to overwrite it)";
                return false;
            }
        }
    std::vector<Crcs> fileCrcs(files.size());
    const bool multi = count > 1;
    for (size_t v = 0; v < count; ++v) {
        std::string name = Rar5VolumeName(options.firstVolume, v, count, oldNaming);
        int out = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0)
            return fail(SysError("Cannot create", name));
        written->push_back(name);
        bool ok = WriteAllBlocking(out, std::string(kSignature, 8)) &&
                  WriteAllBlocking(out, Rar5MainHeader(multi, v));
        std::string message;
        for (const PlannedPiece& p : plan[v]) {
            if (!ok)
                break;
            const InputFile& file = files[p.file];
            ok = WriteStoredPiece(
                out, file, p, &fileCrcs[p.file],
                [&](uint32_t crc) {
                    return Rar5FileHeader({file.storedName, file.size, p.length, crc, file.unixMode,
                                           file.mtime, p.splitBefore, p.splitAfter});
                },
                &message);
        }
        if (ok)
            ok = WriteAllBlocking(out, Rar5EndHeader(v + 1 == count));
        if (close(out) != 0)
            ok = false;
        if (!ok)
            return fail(message.empty() ? SysError("Cannot write", name) : message);
    }
    return true;
}

} // namespace rarwriter
