#include "tools/rarwriter/rarblocks.h"

#include <array>
#include <zlib.h>

namespace rarwriter {
namespace {

void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Fills in the CRC (bytes 0-1) and the header size (bytes 5-6) once the header is complete.
std::string Seal(std::string header) {
    uint16_t size = static_cast<uint16_t>(header.size());
    header[5] = static_cast<char>(size & 0xFF);
    header[6] = static_cast<char>(size >> 8);
    uint16_t crc = HeaderCrc(header);
    header[0] = static_cast<char>(crc & 0xFF);
    header[1] = static_cast<char>(crc >> 8);
    return header;
}

std::string BaseHeader(uint8_t type, uint16_t flags) {
    std::string h;
    Put16(h, 0); // CRC, sealed later
    h.push_back(static_cast<char>(type));
    Put16(h, flags);
    Put16(h, 0); // size, sealed later
    return h;
}

} // namespace

uint16_t HeaderCrc(const std::string& header) {
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(header.data()) + 2,
                      static_cast<uInt>(header.size() - 2));
    return static_cast<uint16_t>(crc & 0xFFFF);
}

std::string MarkerBlock() {
    return std::string("Rar!\x1a\x07\x00", kMarkerSize);
}

std::string MainHeader(uint16_t flags) {
    std::string h = BaseHeader(kMainHead, flags);
    Put16(h, 0); // reserved
    Put32(h, 0); // reserved
    return Seal(h);
}

bool NeedsLargeFields(uint64_t fileSize) {
    return fileSize > 0xFFFFFFFFull;
}

size_t FileHeaderSize(const std::string& name, uint64_t fileSize) {
    return 32 + (NeedsLargeFields(fileSize) ? 8 : 0) + name.size();
}

std::string FileHeader(const FilePiece& piece) {
    bool large = NeedsLargeFields(piece.fileSize);
    uint16_t flags = kLongBlock;
    if (piece.splitBefore)
        flags |= kFileSplitBefore;
    if (piece.splitAfter)
        flags |= kFileSplitAfter;
    if (large)
        flags |= kFileLarge;
    std::string h = BaseHeader(kFileHead, flags);
    Put32(h, static_cast<uint32_t>(piece.pieceSize));
    Put32(h, static_cast<uint32_t>(piece.fileSize));
    h.push_back(static_cast<char>(kHostUnix));
    Put32(h, piece.crc);
    Put32(h, DosTime(piece.mtime));
    h.push_back(static_cast<char>(kUnpackVersion));
    h.push_back(static_cast<char>(kMethodStore));
    Put16(h, static_cast<uint16_t>(piece.name.size()));
    Put32(h, piece.unixMode);
    if (large) {
        Put32(h, static_cast<uint32_t>(piece.pieceSize >> 32));
        Put32(h, static_cast<uint32_t>(piece.fileSize >> 32));
    }
    h += piece.name;
    return Seal(h);
}

std::string EndArcBlock(bool last, uint16_t volumeNumber) {
    std::string h =
        BaseHeader(kEndArc, static_cast<uint16_t>(kEndVolNumber | (last ? 0 : kEndNextVolume)));
    Put16(h, volumeNumber);
    return Seal(h);
}

uint32_t DosTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    if (tm.tm_year < 80) // DOS dates begin in 1980
        return (0u << 25) | (1u << 21) | (1u << 16);
    return (static_cast<uint32_t>(tm.tm_year - 80) << 25) |
           (static_cast<uint32_t>(tm.tm_mon + 1) << 21) |
           (static_cast<uint32_t>(tm.tm_mday) << 16) | (static_cast<uint32_t>(tm.tm_hour) << 11) |
           (static_cast<uint32_t>(tm.tm_min) << 5) | (static_cast<uint32_t>(tm.tm_sec / 2));
}

uint32_t Crc32Zeros(uint32_t crc, uint64_t length) {
    // zerosCrc[i] is the CRC32 of 2^i zero bytes; runs of zeros are combined bit by bit.
    static const std::array<uLong, 63> zerosCrc = [] {
        std::array<uLong, 63> table{};
        const Bytef zero = 0;
        table[0] = crc32(0L, &zero, 1);
        for (size_t i = 1; i < table.size(); ++i)
            table[i] =
                crc32_combine(table[i - 1], table[i - 1], static_cast<z_off_t>(1) << (i - 1));
        return table;
    }();
    uLong result = crc;
    for (size_t i = 0; i < zerosCrc.size(); ++i)
        if (length & (1ull << i))
            result = crc32_combine(result, zerosCrc[i], static_cast<z_off_t>(1) << i);
    return static_cast<uint32_t>(result);
}

} // namespace rarwriter
