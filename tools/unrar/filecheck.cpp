#include "tools/unrar/filecheck.h"

#include "tools/unrar/rarcrypt.h"

#include <cstring>
#include <zlib.h>

bool WholeFileCrc(const ScanFile& file, uint32_t* crc) {
    if (file.pieces.empty() || !file.pieces.back().hasCrc || file.pieces.back().splitAfter)
        return false;
    *crc = file.pieces.back().crc;
    return true;
}

FileCheck::FileCheck(const ScanFile* file, const std::array<unsigned char, 32>* hashKey)
    : file_(file) {
    uint32_t unused = 0;
    // An encrypted RAR5 file may keep its checksums keyed by the password: comparable only
    // with the key.
    bool keyed = file != nullptr && file->encrypted && file->crypto.keyedChecksums;
    if (keyed && hashKey != nullptr) {
        hashKey_ = hashKey;
        keyed = false;
    }
    checkCrc_ = file != nullptr && !keyed && WholeFileCrc(*file, &unused);
    // One checksum is enough: the CRC32 where the file has one, else its BLAKE2sp.
    checkBlake_ = file != nullptr && !keyed && !checkCrc_ && file->hasBlake2;
    if (checkBlake_)
        blake2sp_init(&blake_, 32);
}

void FileCheck::Feed(const char* data, size_t size) {
    bytes_ += size;
    auto bytes = reinterpret_cast<const unsigned char*>(data);
    if (checkCrc_) {
        // zlib's crc32 takes an unsigned int length: feed in parts.
        while (size > 0) {
            uInt part = static_cast<uInt>(size > (1u << 30) ? (1u << 30) : size);
            crc_ = static_cast<uint32_t>(crc32(crc_, bytes, part));
            bytes += part;
            size -= part;
        }
    } else if (checkBlake_) {
        blake2sp_update(&blake_, bytes, size);
    }
}

std::string FileCheck::Finish() {
    if (file_ == nullptr)
        return "";
    if (bytes_ != file_->unpackedSize)
        return "the file has " + std::to_string(bytes_) + " bytes instead of " +
               std::to_string(file_->unpackedSize);
    uint32_t expected = 0;
    if (checkCrc_ && WholeFileCrc(*file_, &expected) &&
        (hashKey_ != nullptr ? Rar5KeyedCrc(crc_, *hashKey_) : crc_) != expected)
        return "CRC error";
    if (checkBlake_) {
        std::array<unsigned char, 32> digest{};
        blake2sp_final(&blake_, digest.data(), digest.size());
        if (hashKey_ != nullptr)
            digest = Rar5KeyedBlake2(digest, *hashKey_);
        if (std::memcmp(digest.data(), file_->blake2.data(), digest.size()) != 0)
            return "BLAKE2 checksum error";
    }
    return "";
}
