#pragma once
// Writes stored RAR sets whose one file is encrypted with AES as RAR 2.9 (-p) or RAR5 writes
// it, for the tests of our own decryption. unar, an independent RAR implementation, reads what
// this writes (the tests check it), and the public archives check the reader: neither side is
// only checked against itself.
#include <cstddef>
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

// Writes `data` as the file `name` into the set whose first volume is `firstVolume` (for
// RAR 2.9 a ".rar" name, for RAR5 "<base>.part1.rar"). Returns the volumes written.
std::vector<std::string> WriteEncryptedStoredSet(const std::string& firstVolume,
                                                 const std::string& name, const std::string& data,
                                                 const std::string& password,
                                                 const EncryptedSetOptions& options);
