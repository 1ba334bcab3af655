#include "rar/rarheader.h"

#include <strings.h>

namespace {
constexpr unsigned char kFileHeader = 0x74;
constexpr unsigned kLargeFileFlag = 0x0100;
constexpr unsigned kEncryptedFlag = 0x0004;
constexpr size_t kBaseHeader = 7;
// A file header's fixed part runs to offset 32, and to 40 with the high size fields.
constexpr size_t kFileHeaderFixed = 32;
constexpr size_t kFileHeaderFixedLarge = 40;

uint32_t Le16(const unsigned char* p) {
    return p[0] | (uint32_t(p[1]) << 8);
}
uint32_t Le32(const unsigned char* p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
} // namespace

RarHeaderInfo ParseRarGeometry(const unsigned char* data, size_t length) {
    RarHeaderInfo info;
    if (length < 4 || strncasecmp(reinterpret_cast<const char*>(data), "Rar!", 4) != 0) {
        info.result = RarHeaderResult::NotRar;
        return info;
    }
    size_t offset = 0;
    for (int block = 0; block < 3; ++block) {
        if (offset > length || length - offset < kBaseHeader)
            return info;
        const unsigned char* b = data + offset;
        unsigned type = b[2];
        unsigned flags = Le16(b + 3);
        size_t headerSize = Le16(b + 5);
        if (headerSize < kBaseHeader)
            return info;
        if (type != kFileHeader) {
            offset += headerSize;
            continue;
        }
        bool large = (flags & kLargeFileFlag) != 0;
        size_t fixed = large ? kFileHeaderFixedLarge : kFileHeaderFixed;
        if (headerSize < fixed || length - offset < headerSize)
            return info;
        uint64_t packed = Le32(b + 7);
        if (large)
            packed |= uint64_t(Le32(b + 32)) << 32;
        if (packed == 0 || packed > uint64_t(INT64_MAX))
            return info;
        info.volumeDataSize = int64_t(packed);
        info.unpackedSize = Le32(b + 11);
        if (large)
            info.unpackedSize |= uint64_t(Le32(b + 36)) << 32;
        info.largeFile = large;
        info.encrypted = (flags & kEncryptedFlag) != 0;
        info.stored = b[25] == 0x30 && !info.encrypted;
        info.dataOffset = int32_t(offset + headerSize);
        info.result = RarHeaderResult::Ok;
        return info;
    }
    return info;
}
