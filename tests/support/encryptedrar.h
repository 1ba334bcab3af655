#pragma once
// Writes stored RAR sets whose one file is encrypted with AES as RAR 2.9 (-p) or RAR5 writes
// it, for the tests of our own decryption. unar, an independent RAR implementation, reads what
// this writes (the tests check it), and the public archives check the reader: neither side is
// only checked against itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct EncryptedSetOptions {
    int format = 5;             // 4: RAR 2.9 (name.rar, name.r00, ...); 5: RAR5 (name.partN.rar)
    size_t dataPerVolume = 0;   // encrypted bytes of the file in each volume (0: one volume)
    bool keyedChecksums = true; // RAR5: CRC32s keyed by the password (as RAR 5 writes them)
    // RAR5 with keyed checksums: the CRC32 of each piece continued in the next volume keyed
    // too, or plain (as unar compares it).
    bool keyedPieceCrcs = false;
    unsigned lg2Count = 15; // RAR5 key derivation rounds (RAR's own default)
};

// A file's data as it lies in an archive before encryption: stored, or packed by RAR (taken
// from another archive), with what its header says about it.
struct PackedFile {
    std::string data;          // the bytes to encrypt
    uint64_t unpackedSize = 0; // the file's size
    uint32_t crc = 0;          // CRC32 of the file's bytes
    // RAR 2.9: method byte (0x30 stored, 0x31-0x35 packed) and window (64 KiB << 0..6).
    unsigned rar3Method = 0x30;
    unsigned rar3WindowBits = 0;
    // RAR5: compression information (0: stored; method << 7 | window bits << 10).
    uint64_t rar5Compression = 0;
};

// Writes `file` as the file `name`, encrypted, into the set whose first volume is
// `firstVolume`. Returns the volumes written.
std::vector<std::string> WriteEncryptedSet(const std::string& firstVolume, const std::string& name,
                                           const PackedFile& file, const std::string& password,
                                           const EncryptedSetOptions& options);

// Writes `data` as the file `name` into the set whose first volume is `firstVolume` (for
// RAR 2.9 a ".rar" name, for RAR5 "<base>.part1.rar"). Returns the volumes written.
std::vector<std::string> WriteEncryptedStoredSet(const std::string& firstVolume,
                                                 const std::string& name, const std::string& data,
                                                 const std::string& password,
                                                 const EncryptedSetOptions& options);

// The packed data of the file `name` in the single-volume archive `archive` (RAR 2.9 or RAR5),
// with what its header says about it; `rar5` tells which format it is. Empty data when the
// archive holds no such file in one piece.
PackedFile PackedFromArchive(const std::string& archive, const std::string& name, bool* rar5);
