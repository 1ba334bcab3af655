#include "tools/unrar/rarscan.h"

#include "platform/fdio.h"
#include "rar/rar5header.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

uint16_t Get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadAt(int fd, uint64_t at, unsigned char* buf, size_t size) {
    while (size > 0) {
        ssize_t n = pread(fd, buf, size, static_cast<off_t>(at));
        if (n <= 0)
            return false;
        buf += n;
        size -= static_cast<size_t>(n);
        at += static_cast<uint64_t>(n);
    }
    return true;
}

// How a volume's walk ended.
enum class Walk { Whole, Short, Damaged, Unreadable };

// Adds a piece: a new file, or the next piece of the file continued from the previous volume.
void AddPiece(std::vector<ScanFile>* files, bool splitBefore, ScanFile file, ScanPiece piece) {
    if (!splitBefore || files->empty()) {
        file.pieces.clear();
        files->push_back(std::move(file));
    } else if (file.hasBlake2) {
        files->back().hasBlake2 = true;
        files->back().blake2 = file.blake2;
    }
    files->back().pieces.push_back(piece);
}

// The data of a piece from `dataAt` on in a volume of `end` bytes: false when it is cut.
bool Settle(ScanPiece* piece, uint64_t end) {
    uint64_t room = end > piece->dataAt ? end - piece->dataAt : 0;
    piece->present = std::min(piece->size, room);
    return piece->present == piece->size;
}

// --- RAR 1.5 - 4.x ---------------------------------------------------------------------------

constexpr uint8_t kMainHead = 0x73;
constexpr uint8_t kFileHead = 0x74;
constexpr uint8_t kEndArc = 0x7B;
constexpr uint16_t kMainSolid = 0x0008;
constexpr uint16_t kMainPassword = 0x0080;
constexpr uint16_t kSplitBefore = 0x0001;
constexpr uint16_t kSplitAfter = 0x0002;
constexpr uint16_t kEncrypted = 0x0004;
constexpr uint16_t kFileSolid = 0x0010; // goes on from the previous file of a solid set
constexpr uint16_t kDirectoryMask = 0x00E0;
constexpr uint16_t kLarge = 0x0100;
constexpr uint16_t kUnicode = 0x0200;
constexpr uint16_t kSalt = 0x0400;
constexpr uint16_t kLongBlock = 0x8000;
constexpr uint8_t kHostUnix = 3;

// A RAR 2.9-4.x header after an archive header that says they are encrypted: 8 bytes of salt,
// then the header in whole AES blocks. `first`: no header of the set was read with the key
// yet, so a header that makes no sense means the password is wrong.
Walk ReadEncrypted4(int fd, uint64_t at, uint64_t end, RarKeys* keys, bool first,
                    std::vector<unsigned char>* header, uint64_t* span, ArchiveScan* scan) {
    auto refuse = [&](Walk otherwise) {
        if (!first)
            return otherwise;
        scan->wrongPassword = true;
        return Walk::Unreadable;
    };
    unsigned char salt[8], block[kAesBlock];
    if (end - at < sizeof salt + sizeof block)
        return refuse(Walk::Short);
    if (!ReadAt(fd, at, salt, sizeof salt) || !ReadAt(fd, at + sizeof salt, block, sizeof block))
        return Walk::Unreadable;
    const Rar3Key& key = keys->Rar3(std::string(reinterpret_cast<char*>(salt), sizeof salt));
    CbcStream cbc(key.key.data(), key.key.size(), key.iv.data(), true);
    std::string plain;
    cbc.Feed(reinterpret_cast<char*>(block), sizeof block, &plain);
    const size_t size = Get16(reinterpret_cast<const unsigned char*>(plain.data()) + 5);
    const uint64_t padded = (size + kAesBlock - 1) / kAesBlock * kAesBlock;
    if (size < 7)
        return refuse(Walk::Damaged);
    if (end - at - sizeof salt < padded)
        return refuse(Walk::Short);
    std::string rest(size_t(padded - kAesBlock), '\0');
    if (!rest.empty() && !ReadAt(fd, at + sizeof salt + kAesBlock,
                                 reinterpret_cast<unsigned char*>(rest.data()), rest.size()))
        return Walk::Unreadable;
    cbc.Feed(rest.data(), rest.size(), &plain);
    header->assign(plain.begin(), plain.begin() + long(size));
    if ((crc32(0L, header->data() + 2, uInt(size - 2)) & 0xFFFF) != Get16(header->data()))
        return refuse(Walk::Damaged);
    *span = sizeof salt + padded;
    return Walk::Whole;
}

Walk WalkRar4(int fd, uint64_t end, size_t volume, RarKeys* keys, ArchiveScan* scan) {
    unsigned char marker[7];
    if (!ReadAt(fd, 0, marker, sizeof marker) || std::memcmp(marker, "Rar!\x1a\x07\x00", 7) != 0)
        return Walk::Unreadable;
    uint64_t at = 7;
    std::vector<unsigned char> header;
    bool encrypted = false; // the headers after the archive header
    while (at < end) {
        uint64_t span = 0; // bytes the header takes in the volume
        if (encrypted) {
            Walk read =
                ReadEncrypted4(fd, at, end, keys, !scan->headersDecrypted, &header, &span, scan);
            if (read != Walk::Whole)
                return read;
            scan->headersDecrypted = true;
        } else {
            unsigned char base[7];
            if (end - at < 7 || !ReadAt(fd, at, base, sizeof base))
                return Walk::Short;
            uint16_t baseSize = Get16(base + 5);
            if (baseSize < 7)
                return Walk::Damaged;
            if (end - at < baseSize)
                return Walk::Short;
            header.resize(baseSize);
            if (!ReadAt(fd, at, header.data(), baseSize))
                return Walk::Unreadable;
            if ((crc32(0L, header.data() + 2, baseSize - 2) & 0xFFFF) != Get16(header.data()))
                return Walk::Damaged;
            span = baseSize;
        }
        uint8_t type = header[2];
        uint16_t flags = Get16(header.data() + 3);
        uint16_t size = Get16(header.data() + 5);
        uint64_t data = 0;
        if (type == kMainHead) {
            scan->solid = scan->solid || (flags & kMainSolid) != 0;
            if (flags & kMainPassword) {
                scan->headersEncrypted = true;
                if (keys == nullptr || keys->password().empty())
                    return Walk::Unreadable;
                encrypted = true;
            }
        } else if (type == kFileHead) {
            if (size < 32)
                return Walk::Damaged;
            bool large = (flags & kLarge) != 0;
            size_t nameAt = large ? 40 : 32;
            size_t nameSize = Get16(header.data() + 26);
            if (nameAt + nameSize > size)
                return Walk::Damaged;
            data = Get32(header.data() + 7);
            if (large)
                data |= static_cast<uint64_t>(Get32(header.data() + 32)) << 32;
            ScanFile file;
            std::string field(reinterpret_cast<const char*>(header.data() + nameAt), nameSize);
            file.name = (flags & kUnicode) ? DecodeRar4Name(field) : field;
            std::replace(file.name.begin(), file.name.end(), '\\', '/');
            file.unpackedSize = Get32(header.data() + 11);
            if (large)
                file.unpackedSize |= static_cast<uint64_t>(Get32(header.data() + 36)) << 32;
            file.version = header[24];
            file.compressed = header[25] != 0x30;
            file.directory = (flags & kDirectoryMask) == kDirectoryMask;
            // The window: 64 KiB << the three bits a directory has all set.
            file.dictionary = uint64_t(64 * 1024) << ((flags & kDirectoryMask) >> 5);
            file.solidContinues = (flags & kFileSolid) != 0;
            file.encrypted = (flags & kEncrypted) != 0;
            if (file.encrypted) {
                // AES from RAR 2.9 on; the salt, when there is one, follows the name.
                file.crypto.cipher = file.version >= 29 ? Cipher::Rar3Aes : Cipher::Other;
                if (flags & kSalt) {
                    if (nameAt + nameSize + 8 > size)
                        return Walk::Damaged;
                    file.crypto.salt.assign(
                        reinterpret_cast<const char*>(header.data() + nameAt + nameSize), 8);
                }
            }
            uint32_t attributes = Get32(header.data() + 28);
            file.link = header[15] == kHostUnix && (attributes & 0xF000) == 0xA000;
            ScanPiece piece;
            piece.volume = volume;
            piece.dataAt = at + span;
            piece.size = data;
            piece.hasCrc = true;
            piece.crc = Get32(header.data() + 16);
            piece.splitAfter = (flags & kSplitAfter) != 0;
            bool whole = Settle(&piece, end);
            AddPiece(&scan->files, (flags & kSplitBefore) != 0, file, piece);
            if (!whole)
                return Walk::Short;
        } else if (type == kEndArc) {
            return Walk::Whole;
        } else if (flags & kLongBlock) {
            if (size < 11)
                return Walk::Damaged;
            data = Get32(header.data() + 7);
        }
        if (data > end - at - span)
            return Walk::Short;
        at += span + data;
    }
    return Walk::Whole;
}

// --- RAR5 ------------------------------------------------------------------------------------

constexpr uint64_t k5Main = 1, k5File = 2, k5Encryption = 4, k5End = 5;
constexpr uint64_t k5HasExtra = 0x0001, k5HasData = 0x0002, k5SplitBefore = 0x0008,
                   k5SplitAfter = 0x0010;
constexpr uint64_t k5Solid = 0x0004;
constexpr uint64_t k5Directory = 0x0001, k5Mtime = 0x0002, k5Crc = 0x0004;
constexpr uint64_t k5ExtraEncryption = 0x01, k5ExtraHash = 0x02, k5ExtraRedirection = 0x05;
constexpr uint64_t kMax5Header = 2 * 1024 * 1024;

// The file encryption record after its type: version (0 = AES-256), flags, the rounds' log2,
// salt, IV and, with flag 1, the password check value; flag 2 keys the checksums.
void ReadCrypto5(const unsigned char* r, size_t size, ScanCrypto* crypto) {
    crypto->cipher = Cipher::Other;
    size_t at = 0;
    uint64_t version = 0, flags = 0;
    if (!ReadVint(r, size, &at, &version) || !ReadVint(r, size, &at, &flags) || version != 0 ||
        size - at < 1 + 16 + 16)
        return;
    unsigned lg2 = r[at++];
    if (lg2 > 24)
        return; // more rounds than RAR itself allows
    crypto->lg2Count = lg2;
    crypto->salt.assign(reinterpret_cast<const char*>(r + at), 16);
    crypto->iv.assign(reinterpret_cast<const char*>(r + at + 16), 16);
    at += 32;
    if (flags & 0x01) {
        if (size - at < crypto->check.size())
            return;
        crypto->hasCheck = true;
        std::memcpy(crypto->check.data(), r + at, crypto->check.size());
    }
    crypto->keyedChecksums = (flags & 0x02) != 0;
    crypto->cipher = Cipher::Rar5Aes;
}

// Reads the extra records of a file header into `file`.
bool ReadExtra5(const unsigned char* h, size_t from, size_t end, ScanFile* file) {
    size_t at = from;
    while (at < end) {
        uint64_t size = 0, type = 0;
        if (!ReadVint(h, end, &at, &size) || size == 0 || size > end - at)
            return false;
        size_t recordEnd = at + static_cast<size_t>(size);
        if (!ReadVint(h, recordEnd, &at, &type))
            return false;
        if (type == k5ExtraEncryption) {
            file->encrypted = true;
            ReadCrypto5(h + at, recordEnd - at, &file->crypto);
        } else if (type == k5ExtraHash) {
            uint64_t kind = 0;
            if (ReadVint(h, recordEnd, &at, &kind) && kind == 0 && recordEnd - at >= 32) {
                file->hasBlake2 = true;
                std::memcpy(file->blake2.data(), h + at, 32);
            }
        } else if (type == k5ExtraRedirection) {
            file->link = true;
        }
        at = recordEnd;
    }
    return true;
}

// A RAR5 header after the archive encryption header: a 16-byte IV, then the header in whole
// AES-256 blocks. `first` as for ReadEncrypted4.
Walk ReadEncrypted5(int fd, uint64_t at, uint64_t end, const Rar5Keys& key, bool first,
                    std::vector<unsigned char>* h, size_t* p, uint64_t* span, ArchiveScan* scan) {
    auto refuse = [&](Walk otherwise) {
        if (!first)
            return otherwise;
        scan->wrongPassword = true;
        return Walk::Unreadable;
    };
    unsigned char iv[kAesBlock], block[kAesBlock];
    if (end - at < sizeof iv + sizeof block)
        return refuse(Walk::Short);
    if (!ReadAt(fd, at, iv, sizeof iv) || !ReadAt(fd, at + sizeof iv, block, sizeof block))
        return Walk::Unreadable;
    CbcStream cbc(key.key.data(), key.key.size(), iv, true);
    std::string plain;
    cbc.Feed(reinterpret_cast<char*>(block), sizeof block, &plain);
    const auto* start = reinterpret_cast<const unsigned char*>(plain.data());
    *p = 4;
    uint64_t size = 0;
    if (!ReadVint(start, plain.size(), p, &size) || size == 0 || size > kMax5Header)
        return refuse(Walk::Damaged);
    const uint64_t total = *p + size;
    const uint64_t padded = (total + kAesBlock - 1) / kAesBlock * kAesBlock;
    if (end - at - sizeof iv < padded)
        return refuse(Walk::Short);
    std::string rest(size_t(padded - kAesBlock), '\0');
    if (!rest.empty() && !ReadAt(fd, at + sizeof iv + kAesBlock,
                                 reinterpret_cast<unsigned char*>(rest.data()), rest.size()))
        return Walk::Unreadable;
    cbc.Feed(rest.data(), rest.size(), &plain);
    h->assign(plain.begin(), plain.begin() + long(total));
    if (static_cast<uint32_t>(crc32(0L, h->data() + 4, static_cast<uInt>(total - 4))) !=
        Get32(h->data()))
        return refuse(Walk::Damaged);
    *span = sizeof iv + padded;
    return Walk::Whole;
}

// The archive encryption header's fields (version 0: AES-256), its flags (1: a password check
// value follows), the rounds' log2, the salt: the keys of every later header, or null.
const Rar5Keys* HeaderKeys5(const unsigned char* h, size_t end, size_t p, RarKeys* keys,
                            ArchiveScan* scan) {
    uint64_t version = 0, flags = 0;
    if (!ReadVint(h, end, &p, &version) || !ReadVint(h, end, &p, &flags) || version != 0 ||
        end - p < 1 + 16)
        return nullptr;
    unsigned lg2 = h[p];
    if (lg2 > 24)
        return nullptr;
    std::string salt(reinterpret_cast<const char*>(h + p + 1), 16);
    p += 17;
    const Rar5Keys& derived = keys->Rar5(salt, lg2);
    if ((flags & 0x01) && end - p >= 12 && Rar5CheckValueIntact(h + p) &&
        std::memcmp(derived.check.data(), h + p, derived.check.size()) != 0) {
        scan->wrongPassword = true;
        return nullptr;
    }
    return &derived;
}

Walk WalkRar5(int fd, uint64_t end, size_t volume, RarKeys* keys, ArchiveScan* scan) {
    unsigned char sig[kRar5SignatureSize];
    if (!ReadAt(fd, 0, sig, sizeof sig) || !IsRar5Signature(sig, sizeof sig))
        return Walk::Unreadable;
    uint64_t at = kRar5SignatureSize;
    std::vector<unsigned char> h;
    const Rar5Keys* headerKey = nullptr; // set once the archive encryption header was read
    while (at < end) {
        size_t p = 4;
        uint64_t span = 0; // bytes the header takes in the volume
        if (headerKey != nullptr) {
            Walk read = ReadEncrypted5(fd, at, end, *headerKey, !scan->headersDecrypted, &h, &p,
                                       &span, scan);
            if (read != Walk::Whole)
                return read;
            scan->headersDecrypted = true;
        } else {
            // CRC, then the size vint: at most 14 bytes to learn the header's length.
            unsigned char start[14];
            size_t peek = static_cast<size_t>(std::min<uint64_t>(sizeof start, end - at));
            if (peek < 5 || !ReadAt(fd, at, start, peek))
                return Walk::Short;
            uint64_t size = 0;
            if (!ReadVint(start, peek, &p, &size))
                return peek < sizeof start ? Walk::Short : Walk::Damaged;
            if (size == 0 || size > kMax5Header)
                return Walk::Damaged;
            uint64_t total = p + size;
            if (end - at < total)
                return Walk::Short;
            h.resize(static_cast<size_t>(total));
            if (!ReadAt(fd, at, h.data(), h.size()))
                return Walk::Unreadable;
            if (static_cast<uint32_t>(crc32(0L, h.data() + 4, static_cast<uInt>(total - 4))) !=
                Get32(h.data()))
                return Walk::Damaged;
            span = total;
        }
        const size_t hend = h.size();
        uint64_t type = 0, flags = 0, extra = 0, data = 0;
        if (!ReadVint(h.data(), hend, &p, &type) || !ReadVint(h.data(), hend, &p, &flags) ||
            ((flags & k5HasExtra) && !ReadVint(h.data(), hend, &p, &extra)) ||
            ((flags & k5HasData) && !ReadVint(h.data(), hend, &p, &data)) || extra > hend - p)
            return Walk::Damaged;
        const size_t extraAt = hend - static_cast<size_t>(extra);
        if (type == k5Encryption) {
            scan->headersEncrypted = true;
            if (keys == nullptr || keys->password().empty())
                return Walk::Unreadable;
            headerKey = HeaderKeys5(h.data(), extraAt, p, keys, scan);
            if (headerKey == nullptr)
                return Walk::Unreadable;
        }
        if (type == k5End)
            return Walk::Whole;
        if (type == k5Main) {
            uint64_t archiveFlags = 0;
            if (ReadVint(h.data(), extraAt, &p, &archiveFlags))
                scan->solid = scan->solid || (archiveFlags & k5Solid) != 0;
        } else if (type == k5File) {
            ScanFile file;
            uint64_t fileFlags = 0, unpacked = 0, attributes = 0, compression = 0, host = 0,
                     nameLength = 0;
            if (!ReadVint(h.data(), extraAt, &p, &fileFlags) ||
                !ReadVint(h.data(), extraAt, &p, &unpacked) ||
                !ReadVint(h.data(), extraAt, &p, &attributes))
                return Walk::Damaged;
            if (fileFlags & k5Mtime)
                p += 4;
            ScanPiece piece;
            if (fileFlags & k5Crc) {
                if (p + 4 > extraAt)
                    return Walk::Damaged;
                piece.hasCrc = true;
                piece.crc = Get32(h.data() + p);
                p += 4;
            }
            if (p > extraAt || !ReadVint(h.data(), extraAt, &p, &compression) ||
                !ReadVint(h.data(), extraAt, &p, &host) ||
                !ReadVint(h.data(), extraAt, &p, &nameLength) || nameLength > extraAt - p)
                return Walk::Damaged;
            file.name.assign(reinterpret_cast<const char*>(h.data() + p),
                             static_cast<size_t>(nameLength));
            file.unpackedSize = unpacked;
            file.directory = (fileFlags & k5Directory) != 0;
            file.compressed = ((compression >> 7) & 7) != 0;
            file.version = 50;
            file.rar5Algorithm = int(compression & 0x3f);
            file.solidContinues = (compression & 0x40) != 0;
            file.dictionary = uint64_t(128 * 1024) << ((compression >> 10) & 0xf);
            if (!ReadExtra5(h.data(), extraAt, hend, &file))
                return Walk::Damaged;
            // A Unix symbolic link without a redirection record (old RAR5 writers).
            file.link = file.link || (host == 1 && (attributes & 0xF000) == 0xA000);
            piece.volume = volume;
            piece.dataAt = at + span;
            piece.size = data;
            piece.splitAfter = (flags & k5SplitAfter) != 0;
            bool whole = Settle(&piece, end);
            AddPiece(&scan->files, (flags & k5SplitBefore) != 0, file, piece);
            if (!whole)
                return Walk::Short;
        }
        if (data > end - at - span)
            return Walk::Short;
        at += span + data;
    }
    return Walk::Whole;
}

} // namespace

ArchiveScan ScanArchive(const std::vector<std::string>& volumes, RarKeys* keys) {
    ArchiveScan scan;
    for (size_t v = 0; v < volumes.size(); ++v) {
        int fd = OpenRegularFile(volumes[v]);
        if (fd < 0)
            return scan;
        struct stat st {};
        uint64_t end = fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
        if (v == 0) {
            unsigned char sig[8] = {};
            if (!ReadAt(fd, 0, sig, std::min<uint64_t>(8, end)))
                std::memset(sig, 0, sizeof sig);
            scan.format = IsRar5Signature(sig, sizeof sig)               ? 5
                          : std::memcmp(sig, "Rar!\x1a\x07\x00", 7) == 0 ? 4
                                                                         : 0;
        }
        Walk walk = scan.format == 5   ? WalkRar5(fd, end, v, keys, &scan)
                    : scan.format == 4 ? WalkRar4(fd, end, v, keys, &scan)
                                       : Walk::Unreadable;
        close(fd);
        if (walk == Walk::Short)
            scan.shortVolume = static_cast<long>(v);
        if (walk == Walk::Damaged)
            scan.damagedVolume = static_cast<long>(v);
        if (walk != Walk::Whole)
            return scan;
    }
    scan.complete = scan.format != 0;
    return scan;
}

int EmbeddedRarFormat(const std::string& path) {
    int fd = OpenRegularFile(path);
    if (fd < 0)
        return 0;
    std::vector<unsigned char> head(1 << 20);
    ssize_t n = pread(fd, head.data(), head.size(), 0);
    close(fd);
    for (ssize_t i = 0; i + 8 <= n; ++i) {
        if (std::memcmp(head.data() + i, "Rar!\x1a\x07", 6) != 0)
            continue;
        if (head[size_t(i) + 6] == 0x01 && head[size_t(i) + 7] == 0x00)
            return 5;
        if (head[size_t(i) + 6] == 0x00)
            return 4;
    }
    return 0;
}

namespace {
void PutUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}
} // namespace

std::string DecodeRar4Name(const std::string& field) {
    size_t zero = field.find('\0');
    if (zero == std::string::npos)
        return field; // the whole field is UTF-8
    const auto* name = reinterpret_cast<const unsigned char*>(field.data());
    const auto* enc = name + zero + 1;
    const size_t encSize = field.size() - zero - 1;
    const size_t max = zero; // the packed form never outgrows the plain one
    std::vector<uint16_t> out;
    size_t e = 0;
    if (encSize == 0)
        return field.substr(0, zero);
    unsigned highByte = enc[e++];
    unsigned flags = 0;
    int flagBits = 0;
    while (e < encSize && out.size() < max + 256) {
        if (flagBits == 0) {
            flags = enc[e++];
            flagBits = 8;
        }
        switch (flags >> 6) {
        case 0:
            if (e >= encSize)
                break;
            out.push_back(enc[e++]);
            break;
        case 1:
            if (e >= encSize)
                break;
            out.push_back(static_cast<uint16_t>(enc[e++] + (highByte << 8)));
            break;
        case 2:
            if (e + 1 >= encSize) {
                e = encSize;
                break;
            }
            out.push_back(static_cast<uint16_t>(enc[e] | (enc[e + 1] << 8)));
            e += 2;
            break;
        case 3: {
            if (e >= encSize)
                break;
            unsigned length = enc[e++];
            if (length & 0x80) {
                if (e >= encSize)
                    break;
                unsigned correction = enc[e++];
                for (length = (length & 0x7F) + 2; length > 0 && out.size() < max; --length)
                    out.push_back(static_cast<uint16_t>(((name[out.size()] + correction) & 0xFF) +
                                                        (highByte << 8)));
            } else {
                for (length += 2; length > 0 && out.size() < max; --length)
                    out.push_back(name[out.size()]);
            }
            break;
        }
        }
        flags = (flags << 2) & 0xFF;
        flagBits -= 2;
    }
    std::string utf8;
    for (size_t i = 0; i < out.size(); ++i) {
        uint32_t c = out[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
            out[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (out[i + 1] - 0xDC00);
            ++i;
        }
        PutUtf8(utf8, c);
    }
    return utf8;
}
