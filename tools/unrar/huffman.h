#pragma once
// Canonical Huffman codes as both RAR formats build them from code lengths (0 = unused, at most
// 15 bits): shorter codes first, equal lengths in symbol order, read most significant bit
// first. A table whose lengths do not fill the code space still decodes (to its first symbol),
// as RAR's own decoder does, so damaged lengths give wrong bytes that the CRC catches, not a
// crash.
#include "tools/unrar/bitinput.h"

#include <array>
#include <cstdint>
#include <vector>

class HuffmanTable {
  public:
    static constexpr unsigned kMaxBits = 15;
    // `lengths` of `count` symbols.
    void Build(const unsigned char* lengths, size_t count);
    unsigned Decode(BitInput& in) const;

  private:
    static constexpr unsigned kQuickBits = 10;
    std::array<uint32_t, kMaxBits + 1> limit_{};     // left-aligned 16-bit upper code per length
    std::array<uint32_t, kMaxBits + 1> firstCode_{}; // left-aligned first code per length
    std::array<uint32_t, kMaxBits + 1> firstIndex_{};
    std::vector<uint16_t> symbols_; // used symbols, by code
    std::array<uint8_t, 1 << kQuickBits> quickLength_{};
    std::array<uint16_t, 1 << kQuickBits> quickSymbol_{};
};

// Both formats pack their code lengths with a code of 20 lengths, 4 bits each, where 15 is
// followed by a count of zeros (0: the length 15 itself). Reads those lengths and builds it.
void ReadLevelTable(BitInput& in, HuffmanTable* level);
