#include "tools/unrar/huffman.h"

#include <algorithm>

void HuffmanTable::Build(const unsigned char* lengths, size_t count) {
    std::array<uint32_t, kMaxBits + 1> perLength{};
    for (size_t i = 0; i < count; ++i)
        perLength[lengths[i] & 0xf]++;
    perLength[0] = 0;
    // Codes of each length, left-aligned in 16 bits: a length's first code follows the last
    // code of the length before.
    uint64_t upper = 0;
    uint32_t index = 0;
    for (unsigned bits = 1; bits <= kMaxBits; ++bits) {
        firstCode_[bits] = uint32_t(std::min<uint64_t>(upper, 0x10000));
        firstIndex_[bits] = index;
        index += perLength[bits];
        upper += uint64_t(perLength[bits]) << (16 - bits);
        limit_[bits] = uint32_t(std::min<uint64_t>(upper, 0x10000));
    }
    // Symbols in code order.
    symbols_.assign(index, 0);
    std::array<uint32_t, kMaxBits + 1> next = firstIndex_;
    for (size_t i = 0; i < count; ++i)
        if (unsigned bits = lengths[i] & 0xf; bits != 0)
            symbols_[next[bits]++] = uint16_t(i);
    // Codes of up to kQuickBits bits straight from a table.
    for (uint32_t bitsField = 0; bitsField < (1u << kQuickBits); ++bitsField) {
        uint32_t field = bitsField << (16 - kQuickBits);
        unsigned bits = 1;
        while (bits <= kMaxBits && field >= limit_[bits])
            ++bits;
        if (bits > kQuickBits) {
            quickLength_[bitsField] = 0;
            continue;
        }
        uint32_t at = firstIndex_[bits] + ((field - firstCode_[bits]) >> (16 - bits));
        quickLength_[bitsField] = uint8_t(bits);
        quickSymbol_[bitsField] = at < symbols_.size() ? symbols_[at] : 0;
    }
}

unsigned HuffmanTable::Decode(BitInput& in) const {
    uint32_t field = in.Peek16();
    unsigned quick = field >> (16 - kQuickBits);
    if (quickLength_[quick] != 0) {
        in.Skip(quickLength_[quick]);
        return quickSymbol_[quick];
    }
    unsigned bits = kQuickBits + 1;
    while (bits < kMaxBits && field >= limit_[bits])
        ++bits;
    in.Skip(bits);
    uint32_t at = firstIndex_[bits] + ((field - firstCode_[bits]) >> (16 - bits));
    // Outside the code space the lengths describe: the first symbol, as RAR decodes it.
    if (at >= symbols_.size() || field < firstCode_[bits])
        return symbols_.empty() ? 0 : symbols_[0];
    return symbols_[at];
}

void ReadLevelTable(BitInput& in, HuffmanTable* level) {
    constexpr size_t kLevelSymbols = 20;
    unsigned char lengths[kLevelSymbols];
    for (size_t i = 0; i < kLevelSymbols;) {
        unsigned length = in.Get(4);
        if (length != 15) {
            lengths[i++] = uint8_t(length);
            continue;
        }
        unsigned zeros = in.Get(4);
        if (zeros == 0) {
            lengths[i++] = 15;
            continue;
        }
        for (zeros += 2; zeros > 0 && i < kLevelSymbols; --zeros)
            lengths[i++] = 0;
    }
    level->Build(lengths, kLevelSymbols);
}
