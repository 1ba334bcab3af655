#pragma once
// The bytes of a movie for fingerprinting: a loose file, or the file stored without
// compression in a RAR set, read through a RAR reader. Both give the same bytes, so a movie
// fingerprints the same whether it lies loose on disk or stored in a set.
#include "rar/rarvolumeset.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class MovieSource {
  public:
    // A path with a RAR first-volume ending is opened as a set through `reader`, whose lock
    // is held for the life of the source (one lock around the open-rewind-read sequence).
    // Any other path is opened as a plain file.
    MovieSource(const std::string& path, RarVolumeSet& reader);
    ~MovieSource();
    MovieSource(const MovieSource&) = delete;
    MovieSource& operator=(const MovieSource&) = delete;

    // False when the file cannot be opened or the set has no usable geometry.
    bool ok() const { return ok_; }
    bool isRar() const { return reader_ != nullptr; }
    uint64_t size() const { return size_; }

    // Reads up to `length` bytes at `pos`, never past size(); returns the count read.
    size_t Read(uint64_t pos, char* buffer, size_t length);

  private:
    bool ok_ = false;
    uint64_t size_ = 0;
    FILE* file_ = nullptr;
    RarVolumeSet* reader_ = nullptr;
    RarVolumeSet::Guard lock_;
};
