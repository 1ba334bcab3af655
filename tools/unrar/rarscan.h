#pragma once
// Our own walk over the headers of every volume of a RAR set (RAR 1.5-4.x and RAR5): which
// files it holds, where each piece of their data lies, the checksums to compare, and which
// volume is shorter than its headers say. It serves three things: stored files are extracted
// from it directly (their bytes lie as they are), every file's bytes are checked against its
// CRC32 or BLAKE2sp as they stream by, and a cut volume is named instead of reading the next
// volume's headers as data.
#include "tools/unrar/rarcrypt.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ScanPiece {
    size_t volume = 0;    // index of the volume holding it
    uint64_t dataAt = 0;  // where its data begins in the volume file
    uint64_t size = 0;    // data bytes of the file in this volume (as the header says)
    uint64_t present = 0; // bytes of it the volume file really has (< size: cut short)
    bool hasCrc = false;
    uint32_t crc = 0; // of this piece, or of the whole file in its last piece
    bool splitAfter = false;
};

// How an encrypted file's data is encrypted, as its headers say.
enum class Cipher {
    None,
    Rar3Aes, // RAR 2.9-4.x: AES-128, key from the password and the salt (rarcrypt.h)
    Rar5Aes, // RAR5: AES-256, key from PBKDF2 of the password, the salt and 2^lg2Count
    Other,   // older RAR encryption, or a RAR5 record of a kind this walk does not know
};

struct ScanCrypto {
    Cipher cipher = Cipher::None;
    std::string salt;      // RAR 2.9-4.x: 8 bytes, or none; RAR5: 16 bytes
    std::string iv;        // RAR5: 16 bytes (RAR 2.9-4.x derive it)
    unsigned lg2Count = 0; // RAR5
    bool hasCheck = false; // RAR5: a password check value (8 bytes and their 4-byte sum)
    std::array<unsigned char, 12> check{};
    bool keyedChecksums = false; // RAR5: the CRC32 / BLAKE2sp are keyed by the password
};

struct ScanFile {
    std::string name; // UTF-8 where the archive says so, '/' separated
    bool directory = false;
    bool link = false;       // symbolic or hard link, or other redirection
    bool compressed = false; // method other than store
    bool encrypted = false;
    int version = 0; // version needed to extract (RAR 1.5-4.x: 15, 20, 29...)
    // How a compressed file is unpacked: RAR5's compression version (0; RAR 1.5-4.x: -1), the
    // window its data refers back into, and whether it goes on from the previous file's state.
    int rar5Algorithm = -1;
    uint64_t dictionary = 0;
    bool solidContinues = false;
    uint64_t unpackedSize = 0;
    bool hasBlake2 = false; // RAR5 BLAKE2sp of the whole file (in its last piece)
    std::array<unsigned char, 32> blake2{};
    ScanCrypto crypto; // of the file's first piece (later ones repeat it)
    std::vector<ScanPiece> pieces;
    // Stored and encrypted the way our own code decrypts.
    bool StoredEncrypted() const {
        return !directory && !link && !compressed && encrypted &&
               (crypto.cipher == Cipher::Rar3Aes || crypto.cipher == Cipher::Rar5Aes);
    }
    // Stored and readable: the pieces' bytes are the file.
    bool Plain() const { return !directory && !link && !compressed && !encrypted; }
};

struct ArchiveScan {
    int format = 0;                // 4 = RAR 1.5-4.x, 5 = RAR5, 0 = not RAR
    bool complete = false;         // every header was read and every volume is whole
    bool headersEncrypted = false; // the file list itself needs the password
    bool headersDecrypted = false; // ... and it was read with the password given
    bool wrongPassword = false;    // the password given does not open the file list
    bool solid = false;
    long shortVolume = -1;       // the first volume shorter than its headers say
    long damagedVolume = -1;     // the first volume with a header that fails its CRC
    std::vector<ScanFile> files; // in archive order, each once (pieces joined)
};

// Walks the volumes in order. Stops at the first cut or damaged volume (recorded) or at any
// header it cannot read; what was read up to there is kept. Encrypted headers are read with
// `keys` (the password's), when given.
ArchiveScan ScanArchive(const std::vector<std::string>& volumes, RarKeys* keys = nullptr);

// The format of a RAR archive found after a self-extracting module in the first MiB of `path`
// (4 or 5), or 0.
int EmbeddedRarFormat(const std::string& path);

// RAR 2.9-4.x stores a name the code page cannot hold as its plain part, a zero and a packed
// UTF-16 form: the UTF-8 of that form (the plain part when there is none).
std::string DecodeRar4Name(const std::string& field);
