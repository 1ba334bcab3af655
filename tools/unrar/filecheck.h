#pragma once
// Follows the bytes of one extracted file as they stream to the player and compares them with
// what the archive's headers promise: the size, the CRC32 of the whole file and, where the
// set has it, its BLAKE2sp. The verdict comes at the end of the file (a stream cannot be
// taken back), but nothing after a failed file is written.
#include "tools/unrar/rarscan.h"

#include <array>
#include <blake2.h>
#include <cstdint>
#include <string>

class FileCheck {
  public:
    // `file` may be null: only the bytes are counted. An encrypted RAR5 file whose checksums
    // are keyed by the password is checked only when its `hashKey` is given.
    explicit FileCheck(const ScanFile* file,
                       const std::array<unsigned char, 32>* hashKey = nullptr);
    void Feed(const char* data, size_t size);
    // "" when the file is what its headers say, else what is wrong ("CRC error", ...).
    std::string Finish();
    uint64_t bytes() const { return bytes_; }

  private:
    const ScanFile* file_;
    const std::array<unsigned char, 32>* hashKey_ = nullptr; // set: the checksums are keyed
    uint64_t bytes_ = 0;
    uint32_t crc_ = 0;
    bool checkCrc_ = false;
    bool checkBlake_ = false;
    blake2sp_state blake_{};
};

// The CRC32 the last piece of a split file holds is the whole file's.
bool WholeFileCrc(const ScanFile& file, uint32_t* crc);
