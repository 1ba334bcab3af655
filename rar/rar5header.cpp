#include "rar/rar5header.h"

#include <cstring>
#include <zlib.h>

namespace {
const unsigned char kSignature[kRar5SignatureSize] = {0x52, 0x61, 0x72, 0x21,
                                                      0x1A, 0x07, 0x01, 0x00};
constexpr uint64_t kMaxHeaderSize = 2 * 1024 * 1024;
constexpr int kMaxHeaders = 16;

constexpr uint64_t kTypeMain = 1;
constexpr uint64_t kTypeFile = 2;
constexpr uint64_t kTypeService = 3;
constexpr uint64_t kTypeEncryption = 4;
constexpr uint64_t kTypeEnd = 5;

constexpr uint64_t kHasExtra = 0x0001;
constexpr uint64_t kHasData = 0x0002;
constexpr uint64_t kSplitBefore = 0x0008;
constexpr uint64_t kSplitAfter = 0x0010;

constexpr uint64_t kMainVolume = 0x0001;
constexpr uint64_t kMainVolumeNumber = 0x0002;

constexpr uint64_t kFileDirectory = 0x0001;
constexpr uint64_t kFileMtime = 0x0002;
constexpr uint64_t kFileCrc = 0x0004;
constexpr uint64_t kFileUnknownSize = 0x0008;

constexpr uint64_t kExtraEncryption = 0x01;

// The extra area of a file header holds an encryption record.
bool HasEncryptionRecord(const unsigned char* data, size_t from, size_t end) {
    size_t at = from;
    while (at < end) {
        uint64_t size = 0;
        if (!ReadVint(data, end, &at, &size) || size == 0 || size > end - at)
            return false;
        size_t recordEnd = at + size_t(size);
        uint64_t type = 0;
        if (!ReadVint(data, recordEnd, &at, &type))
            return false;
        if (type == kExtraEncryption)
            return true;
        at = recordEnd;
    }
    return false;
}
} // namespace

bool IsRar5Signature(const unsigned char* data, size_t length) {
    return length >= kRar5SignatureSize && std::memcmp(data, kSignature, kRar5SignatureSize) == 0;
}

bool ReadVint(const unsigned char* data, size_t end, size_t* at, uint64_t* value) {
    uint64_t v = 0;
    for (int shift = 0; shift < 70; shift += 7) {
        if (*at >= end)
            return false;
        unsigned char byte = data[(*at)++];
        uint64_t bits = byte & 0x7F;
        if (shift == 63 && bits > 1)
            return false;
        v |= bits << shift;
        if ((byte & 0x80) == 0) {
            *value = v;
            return true;
        }
    }
    return false;
}

std::string EncodeVint(uint64_t value) {
    std::string out;
    do {
        unsigned char byte = value & 0x7F;
        value >>= 7;
        if (value != 0)
            byte |= 0x80;
        out.push_back(char(byte));
    } while (value != 0);
    return out;
}

Rar5VolumeInfo ParseRar5Volume(const unsigned char* data, size_t length) {
    Rar5VolumeInfo info;
    if (!IsRar5Signature(data, length)) {
        info.result = Rar5Result::NotRar5;
        return info;
    }
    size_t at = kRar5SignatureSize;
    for (int header = 0; header < kMaxHeaders; ++header) {
        if (length - at < 5)
            return info;
        uint32_t crc = data[at] | (uint32_t(data[at + 1]) << 8) | (uint32_t(data[at + 2]) << 16) |
                       (uint32_t(data[at + 3]) << 24);
        size_t p = at + 4;
        uint64_t size = 0;
        if (!ReadVint(data, length, &p, &size) || size == 0 || size > kMaxHeaderSize ||
            size > length - p)
            return info;
        const size_t end = p + size_t(size);
        if (uint32_t(crc32(0L, data + at + 4, uInt(end - at - 4))) != crc)
            return info;
        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!ReadVint(data, end, &p, &type) || !ReadVint(data, end, &p, &flags))
            return info;
        if ((flags & kHasExtra) && !ReadVint(data, end, &p, &extraSize))
            return info;
        if ((flags & kHasData) && !ReadVint(data, end, &p, &dataSize))
            return info;
        if (extraSize > end - p)
            return info;
        const size_t extraAt = end - size_t(extraSize);
        if (type == kTypeEncryption) {
            info.result = Rar5Result::Encrypted;
            return info;
        }
        if (type == kTypeEnd)
            return info;
        if (type == kTypeMain) {
            uint64_t archiveFlags = 0;
            if (!ReadVint(data, extraAt, &p, &archiveFlags))
                return info;
            info.isVolume = (archiveFlags & kMainVolume) != 0;
            if ((archiveFlags & kMainVolumeNumber) &&
                !ReadVint(data, extraAt, &p, &info.volumeNumber))
                return info;
        } else if (type == kTypeFile) {
            uint64_t fileFlags = 0, unpacked = 0, attributes = 0, compression = 0, host = 0,
                     nameLength = 0;
            if (!ReadVint(data, extraAt, &p, &fileFlags) ||
                !ReadVint(data, extraAt, &p, &unpacked) ||
                !ReadVint(data, extraAt, &p, &attributes))
                return info;
            size_t fixed = ((fileFlags & kFileMtime) ? 4 : 0) + ((fileFlags & kFileCrc) ? 4 : 0);
            if (fixed > extraAt - p)
                return info;
            p += fixed;
            if (!ReadVint(data, extraAt, &p, &compression) || !ReadVint(data, extraAt, &p, &host) ||
                !ReadVint(data, extraAt, &p, &nameLength) || nameLength > extraAt - p)
                return info;
            if ((fileFlags & kFileDirectory) == 0) {
                if ((fileFlags & kFileUnknownSize) || dataSize == 0 ||
                    dataSize > uint64_t(INT64_MAX) || unpacked > uint64_t(INT64_MAX))
                    return info;
                info.name.assign(reinterpret_cast<const char*>(data + p), size_t(nameLength));
                info.dataOffset = int64_t(end);
                info.dataSize = dataSize;
                info.unpackedSize = unpacked;
                info.encrypted = HasEncryptionRecord(data, extraAt, end);
                info.compressed = ((compression >> 7) & 7) != 0;
                info.stored = !info.compressed && !info.encrypted;
                info.splitBefore = (flags & kSplitBefore) != 0;
                info.splitAfter = (flags & kSplitAfter) != 0;
                info.result = Rar5Result::Ok;
                return info;
            }
        } else if (type != kTypeService) {
            // Unknown header types are skipped with their data, as the format asks.
        }
        if (dataSize > length - end)
            return info; // the next header lies past the bytes given
        at = end + size_t(dataSize);
    }
    return info;
}
