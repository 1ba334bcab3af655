#pragma once
// Reads the packed bytes of a file bit by bit, most significant bit first, as both RAR formats
// pack their codes, and byte by byte where a block is byte-aligned (RAR5 block headers, the
// PPMd range coder of RAR 2.9). Past the end of the data it reads zeros, as RAR's own reader
// does; `overrun()` tells a decoder that its data ran out so that damaged data cannot make it
// loop for ever.
#include "tools/unrar/unpack.h"

#include <cstdint>
#include <vector>

class BitInput {
  public:
    explicit BitInput(PackedSource& source);
    // The next 16 bits (the first one in the top bit), without taking them.
    uint32_t Peek16() {
        Fill();
        return uint32_t(bits_ >> (64 - 16));
    }
    // The next 32 bits, without taking them.
    uint32_t Peek32() {
        Fill();
        return uint32_t(bits_ >> 32);
    }
    // Takes `count` bits (at most 32).
    void Skip(unsigned count) {
        Fill();
        bits_ <<= count;
        held_ -= int(count);
        consumed_ += count;
    }
    // Takes and returns `count` bits (at most 32).
    uint32_t Get(unsigned count) {
        if (count == 0)
            return 0;
        uint32_t value = Peek32() >> (32 - count);
        Skip(count);
        return value;
    }
    // Skips to the next whole byte.
    void Align() { Skip(unsigned((8 - consumed_ % 8) % 8)); }
    // The next byte; the reader must be aligned.
    unsigned Byte() { return Get(8); }
    // Bits taken since the start.
    uint64_t position() const { return consumed_; }
    // More bits were taken than the data holds (by more than a few bytes of look-ahead).
    bool overrun() const { return consumed_ > (delivered_ + 8) * 8; }
    // The data had ended when the last bits were taken.
    bool ended() const { return consumed_ > delivered_ * 8; }

  private:
    void Fill() {
        if (held_ < 32)
            Refill();
    }
    void Refill();

    PackedSource& source_;
    std::vector<unsigned char> buffer_;
    size_t at_ = 0, end_ = 0;
    bool sourceEnded_ = false;
    uint64_t bits_ = 0; // held bits, the next one in the top bit
    int held_ = 0;
    uint64_t consumed_ = 0;  // bits taken
    uint64_t delivered_ = 0; // bytes the source gave
};
