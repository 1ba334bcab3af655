#include "tests/support/encryptedrar.h"

#include "rar/rar5header.h"
#include "tests/support/testenv.h"
#include "tools/rarwriter/rar5writer.h"
#include "tools/rarwriter/rarblocks.h"
#include "tools/unrar/filecheck.h"
#include "tools/unrar/rarcrypt.h"
#include "tools/unrar/rarscan.h"

#include <algorithm>
#include <bit>
#include <mbedtls/sha256.h>
#include <zlib.h>

namespace {

void Put16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}
uint32_t Crc(const std::string& bytes) {
    return uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

// Bytes that differ from set to set and are the same from run to run.
std::string Pattern(size_t size, unsigned seed) {
    std::string out(size, 0);
    for (char& c : out)
        c = char((seed = seed * 1103515245u + 12345u) >> 24);
    return out;
}

// The RAR 2.9 header of one piece of an encrypted stored file.
std::string Rar3FileHeader(const std::string& name, const PackedFile& file, uint64_t pieceSize,
                           uint32_t crc, const std::string& salt, bool splitBefore,
                           bool splitAfter) {
    const uint64_t fileSize = file.unpackedSize;
    uint16_t flags = rarwriter::kLongBlock | 0x0004 /* encrypted */ | 0x0400 /* salt */ |
                     uint16_t((file.rar3WindowBits & 7) << 5);
    if (splitBefore)
        flags |= rarwriter::kFileSplitBefore;
    if (splitAfter)
        flags |= rarwriter::kFileSplitAfter;
    std::string h;
    Put16(h, 0); // CRC, below
    h.push_back(char(rarwriter::kFileHead));
    Put16(h, flags);
    Put16(h, uint16_t(32 + name.size() + salt.size()));
    Put32(h, uint32_t(pieceSize));
    Put32(h, uint32_t(fileSize));
    h.push_back(char(rarwriter::kHostUnix));
    Put32(h, crc);
    Put32(h, rarwriter::DosTime(1700000000));
    h.push_back(char(29)); // AES needs RAR 2.9
    h.push_back(char(file.rar3Method));
    Put16(h, uint16_t(name.size()));
    Put32(h, 0100644);
    h += name + salt;
    uint16_t headerCrc = rarwriter::HeaderCrc(h);
    h[0] = char(headerCrc & 0xFF);
    h[1] = char(headerCrc >> 8);
    return h;
}

std::string Rar5EncryptionRecord(const std::string& salt, const std::string& iv,
                                 const Rar5Keys& keys, const EncryptedSetOptions& options) {
    std::string check(reinterpret_cast<const char*>(keys.check.data()), keys.check.size());
    unsigned char sum[32];
    mbedtls_sha256_ret(keys.check.data(), keys.check.size(), sum, 0);
    check.append(reinterpret_cast<const char*>(sum), 4);
    std::string body = EncodeVint(1) /* encryption */ + EncodeVint(0) /* AES-256 */ +
                       EncodeVint(options.keyedChecksums ? 0x03 : 0x01) + char(options.lg2Count) +
                       salt + iv + check;
    return EncodeVint(body.size()) + body;
}

std::string Rar5FileHeader(const std::string& name, const PackedFile& file, uint64_t pieceSize,
                           uint32_t crc, const std::string& record, bool splitBefore,
                           bool splitAfter) {
    const uint64_t fileSize = file.unpackedSize;
    uint64_t flags = 0x0001 /* extra */ | 0x0002 /* data */;
    if (splitBefore)
        flags |= 0x0008;
    if (splitAfter)
        flags |= 0x0010;
    std::string body = EncodeVint(2) + EncodeVint(flags) + EncodeVint(record.size()) +
                       rarwriter::PaddedVint(pieceSize, 9) + EncodeVint(0x0004 /* CRC */) +
                       rarwriter::PaddedVint(fileSize, 9) + EncodeVint(0100644);
    Put32(body, crc);
    body += EncodeVint(file.rar5Compression) + EncodeVint(1) /* Unix */ + EncodeVint(name.size()) +
            name + record;
    return rarwriter::Rar5Block(body);
}

} // namespace

std::vector<std::string> WriteEncryptedStoredSet(const std::string& firstVolume,
                                                 const std::string& name, const std::string& data,
                                                 const std::string& password,
                                                 const EncryptedSetOptions& options) {
    PackedFile file;
    file.data = data;
    file.unpackedSize = data.size();
    file.crc = Crc(data);
    return WriteEncryptedSet(firstVolume, name, file, password, options);
}

std::vector<std::string> WriteEncryptedSet(const std::string& firstVolume, const std::string& name,
                                           const PackedFile& file, const std::string& password,
                                           const EncryptedSetOptions& options) {
    const std::string& data = file.data;
    const bool rar5 = options.format == 5;
    const unsigned seed = unsigned(Crc(firstVolume + name + password));
    const std::string salt = Pattern(rar5 ? 16 : 8, seed);
    const std::string iv = Pattern(16, seed + 1);
    // The data is padded to whole AES blocks; RAR pads with zeros.
    std::string padded = data;
    padded.resize((data.size() + kAesBlock - 1) / kAesBlock * kAesBlock, '\0');
    std::string cipher;
    Rar5Keys keys5;
    if (rar5) {
        keys5 = DeriveRar5Keys(password, salt, options.lg2Count);
        CbcStream(keys5.key.data(), keys5.key.size(),
                  reinterpret_cast<const unsigned char*>(iv.data()), false)
            .Feed(padded.data(), padded.size(), &cipher);
    } else {
        Rar3Key key = DeriveRar3Key(password, salt);
        CbcStream(key.key.data(), key.key.size(), key.iv.data(), false)
            .Feed(padded.data(), padded.size(), &cipher);
    }
    const size_t per =
        options.dataPerVolume == 0 ? std::max<size_t>(cipher.size(), 1) : options.dataPerVolume;
    const size_t count = std::max<size_t>(1, (cipher.size() + per - 1) / per);
    const std::string record = rar5 ? Rar5EncryptionRecord(salt, iv, keys5, options) : "";
    auto keyed = [&](uint32_t crc) {
        return rar5 && options.keyedChecksums ? Rar5KeyedCrc(crc, keys5.hashKey) : crc;
    };
    std::vector<std::string> written;
    for (size_t v = 0; v < count; ++v) {
        const std::string piece = cipher.substr(v * per, per);
        const bool before = v > 0, after = v + 1 < count;
        // A piece continued in the next volume carries the CRC of its bytes as they lie; the
        // last one that of the whole file.
        const uint32_t crc =
            after ? (options.keyedPieceCrcs ? keyed(Crc(piece)) : Crc(piece)) : keyed(file.crc);
        std::string volume;
        std::string volumeName;
        if (rar5) {
            volumeName = rarwriter::Rar5VolumeName(firstVolume, v, count, false);
            volume = std::string("Rar!\x1a\x07\x01\x00", 8) +
                     rarwriter::Rar5MainHeader(count > 1, v) +
                     Rar5FileHeader(name, file, piece.size(), crc, record, before, after) + piece +
                     rarwriter::Rar5EndHeader(!after);
        } else {
            volumeName = rarwriter::OldVolumeName(firstVolume, v);
            uint16_t mainFlags = count > 1 ? rarwriter::kMainVolume : 0;
            if (count > 1 && v == 0)
                mainFlags |= rarwriter::kMainFirstVolume;
            volume = rarwriter::MarkerBlock() + rarwriter::MainHeader(mainFlags) +
                     Rar3FileHeader(name, file, piece.size(), crc, salt, before, after) + piece +
                     rarwriter::EndArcBlock(!after, uint16_t(v));
        }
        WriteFile(volumeName, volume);
        written.push_back(volumeName);
    }
    return written;
}

PackedFile PackedFromArchive(const std::string& archive, const std::string& name, bool* rar5) {
    PackedFile packed;
    ArchiveScan scan = ScanArchive({archive});
    *rar5 = scan.format == 5;
    for (const ScanFile& f : scan.files) {
        if (f.name != name || f.pieces.size() != 1)
            continue;
        packed.data = ReadFile(archive).substr(f.pieces[0].dataAt, f.pieces[0].size);
        packed.unpackedSize = f.unpackedSize;
        WholeFileCrc(f, &packed.crc);
        // The method is the best one (it tells nothing more to a decoder); the window as found.
        if (*rar5)
            packed.rar5Compression =
                (3u << 7) | (unsigned(std::countr_zero(f.dictionary >> 17)) << 10);
        else {
            packed.rar3Method = 0x33;
            packed.rar3WindowBits = unsigned(std::countr_zero(f.dictionary >> 16));
        }
    }
    return packed;
}
