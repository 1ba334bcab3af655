#include "tools/unrar/rar4check.h"

#include "platform/fdio.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr uint8_t kFileHead = 0x74;
constexpr uint8_t kEndArc = 0x7B;
constexpr uint16_t kSplitBefore = 0x0001;
constexpr uint16_t kSplitAfter = 0x0002;
constexpr uint16_t kEncrypted = 0x0004;
constexpr uint16_t kDirectoryMask = 0x00E0;
constexpr uint16_t kLarge = 0x0100;
constexpr uint16_t kUnicode = 0x0200;
constexpr uint16_t kLongBlock = 0x8000;

uint16_t Get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadAt(int fd, off_t at, unsigned char* buf, size_t size) {
    while (size > 0) {
        ssize_t n = pread(fd, buf, size, at);
        if (n <= 0)
            return false;
        buf += n;
        size -= static_cast<size_t>(n);
        at += n;
    }
    return true;
}

// Walks one volume's blocks; appends files and pieces. False on anything unreadable.
bool ScanVolume(int fd, size_t volume, std::vector<Rar4File>* files) {
    unsigned char marker[7];
    if (!ReadAt(fd, 0, marker, sizeof marker) || std::memcmp(marker, "Rar!\x1a\x07\x00", 7) != 0)
        return false;
    off_t end = lseek(fd, 0, SEEK_END);
    off_t at = 7;
    std::vector<unsigned char> header;
    while (at + 7 <= end) {
        unsigned char base[7];
        if (!ReadAt(fd, at, base, sizeof base))
            return false;
        uint8_t type = base[2];
        uint16_t flags = Get16(base + 3);
        uint16_t size = Get16(base + 5);
        if (size < 7)
            return false;
        header.resize(size);
        if (!ReadAt(fd, at, header.data(), size))
            return false;
        if ((crc32(0L, header.data() + 2, size - 2) & 0xFFFF) != Get16(header.data()))
            return false;
        uint64_t data = 0;
        if (type == kFileHead) {
            if (size < 32)
                return false;
            bool large = (flags & kLarge) != 0;
            size_t nameAt = large ? 40 : 32;
            size_t nameSize = Get16(header.data() + 26);
            if (nameAt + nameSize > size)
                return false;
            data = Get32(header.data() + 7);
            if (large)
                data |= static_cast<uint64_t>(Get32(header.data() + 32)) << 32;
            std::string name(reinterpret_cast<const char*>(header.data() + nameAt), nameSize);
            if (flags & kUnicode)
                name = name.substr(0, name.find('\0')); // the plain part is enough to compare
            std::replace(name.begin(), name.end(), '\\', '/');
            if (!(flags & kSplitBefore) || files->empty()) {
                Rar4File file;
                file.name = name;
                file.stored = header[25] == 0x30;
                file.directory = (flags & kDirectoryMask) == kDirectoryMask;
                file.encrypted = (flags & kEncrypted) != 0;
                files->push_back(file);
            }
            files->back().pieces.push_back(
                {data, Get32(header.data() + 16), (flags & kSplitAfter) != 0, volume});
        } else if (type == kEndArc) {
            break;
        } else if (flags & kLongBlock) {
            if (size < 11)
                return false;
            data = Get32(header.data() + 7);
        }
        at += static_cast<off_t>(size) + static_cast<off_t>(data);
    }
    return true;
}

} // namespace

bool ScanRar4Volumes(const std::vector<std::string>& volumes, std::vector<Rar4File>* files) {
    files->clear();
    for (size_t v = 0; v < volumes.size(); ++v) {
        int fd = OpenRegularFile(volumes[v]);
        if (fd < 0)
            return false;
        bool ok = ScanVolume(fd, v, files);
        close(fd);
        if (!ok)
            return false;
    }
    return true;
}

bool Rar4CrcCheck::Settle(size_t* volume) {
    while (piece_ < file_->pieces.size() && inPiece_ == file_->pieces[piece_].size) {
        const Rar4Piece& piece = file_->pieces[piece_];
        // One pass over the data: the whole file's CRC is combined from the pieces' CRCs.
        fileCrc_ = static_cast<uint32_t>(
            crc32_combine(fileCrc_, pieceCrc_, static_cast<z_off_t>(piece.size)));
        uint32_t expected = piece.splitAfter ? pieceCrc_ : fileCrc_;
        if (expected != piece.crc) {
            *volume = piece.volume;
            return false;
        }
        ++piece_;
        inPiece_ = 0;
        pieceCrc_ = 0;
    }
    return true;
}

bool Rar4CrcCheck::Feed(const char* data, size_t size, size_t* volume) {
    auto bytes = reinterpret_cast<const Bytef*>(data);
    while (size > 0 && piece_ < file_->pieces.size()) {
        const Rar4Piece& piece = file_->pieces[piece_];
        size_t take = static_cast<size_t>(std::min<uint64_t>(size, piece.size - inPiece_));
        pieceCrc_ = static_cast<uint32_t>(crc32(pieceCrc_, bytes, static_cast<uInt>(take)));
        bytes += take;
        size -= take;
        inPiece_ += take;
        if (!Settle(volume))
            return false;
    }
    return true;
}

bool Rar4CrcCheck::Finish(size_t* volume) {
    if (!Settle(volume))
        return false;
    if (piece_ < file_->pieces.size()) {
        *volume = file_->pieces[piece_].volume;
        return false;
    }
    return true;
}
