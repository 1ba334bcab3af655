#include "tests/support/rar5packer.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <zlib.h>

namespace {

constexpr uint32_t kMaxMatch = 4097; // length slot 43 with all 9 extra bits
constexpr uint32_t kFilterEvery = 262144, kFilterLength = 65536, kFilterFirst = 1000;
constexpr size_t kTokensPerBlock = 200000;
constexpr unsigned kHashBits = 20;
constexpr int kChainDepth = 24;

// Writes codes most significant bit first, as RAR5 reads them.
class BitWriter {
  public:
    void Put(uint32_t value, unsigned count) {
        if (count == 0)
            return;
        bits_ += count;
        held_ = (held_ << count) | (value & ((uint64_t(1) << count) - 1));
        count_ += count;
        while (count_ >= 8) {
            bytes_.push_back(char(held_ >> (count_ - 8)));
            count_ -= 8;
        }
    }
    // The bytes, the last one padded with zeros, and how many bits are codes.
    std::string Finish(uint64_t* bits) {
        if (count_ > 0)
            bytes_.push_back(char(held_ << (8 - count_)));
        count_ = 0;
        *bits = bits_;
        return bytes_;
    }

  private:
    std::string bytes_;
    uint64_t held_ = 0;
    unsigned count_ = 0;
    uint64_t bits_ = 0;
};

// Huffman code lengths of at most 15 bits: frequencies are halved until the tree is shallow
// enough. At least two symbols get a code, so that every table is a complete code.
std::vector<unsigned char> CodeLengths(std::vector<uint64_t> frequency) {
    int used = 0;
    for (uint64_t f : frequency)
        used += f != 0;
    for (size_t i = 0; i < frequency.size() && used < 2; ++i)
        if (frequency[i] == 0) {
            frequency[i] = 1;
            ++used;
        }
    for (;;) {
        struct Node {
            uint64_t weight;
            int left, right; // left < 0: a leaf for symbol `right`
        };
        std::vector<Node> nodes;
        using Entry = std::pair<uint64_t, int>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
        for (size_t i = 0; i < frequency.size(); ++i)
            if (frequency[i] != 0) {
                nodes.push_back({frequency[i], -1, int(i)});
                queue.push({frequency[i], int(nodes.size() - 1)});
            }
        while (queue.size() > 1) {
            Entry a = queue.top();
            queue.pop();
            Entry b = queue.top();
            queue.pop();
            nodes.push_back({a.first + b.first, a.second, b.second});
            queue.push({a.first + b.first, int(nodes.size() - 1)});
        }
        std::vector<unsigned char> lengths(frequency.size(), 0);
        std::vector<std::pair<int, unsigned>> stack{{queue.top().second, 0}};
        unsigned deepest = 0;
        while (!stack.empty()) {
            auto [node, depth] = stack.back();
            stack.pop_back();
            if (nodes[size_t(node)].left < 0) {
                lengths[size_t(nodes[size_t(node)].right)] = uint8_t(depth);
                deepest = std::max(deepest, depth);
            } else {
                stack.push_back({nodes[size_t(node)].left, depth + 1});
                stack.push_back({nodes[size_t(node)].right, depth + 1});
            }
        }
        if (deepest <= 15)
            return lengths;
        for (uint64_t& f : frequency)
            if (f != 0)
                f = (f + 1) / 2;
    }
}

// Canonical codes: shorter first, equal lengths in symbol order.
std::vector<uint32_t> Codes(const std::vector<unsigned char>& lengths) {
    std::vector<uint32_t> codes(lengths.size(), 0);
    uint32_t code = 0;
    for (unsigned bits = 1; bits <= 15; ++bits, code <<= 1)
        for (size_t i = 0; i < lengths.size(); ++i)
            if (lengths[i] == bits)
                codes[i] = code++;
    return codes;
}

struct Slot {
    unsigned slot = 0, extraBits = 0;
    uint64_t extra = 0;
};

// `value` = length - 2: 0-7 directly, then four slots per doubling.
Slot LengthSlot(uint32_t value) {
    if (value < 8)
        return {value, 0, 0};
    unsigned bits = unsigned(31 - __builtin_clz(value)) - 2;
    return {4 * (bits + 1) + ((value >> bits) - 4), bits, value & ((1u << bits) - 1)};
}

// `value` = distance - 1: 0-3 directly, then two slots per doubling.
Slot DistanceSlot(uint64_t value) {
    if (value < 4)
        return {unsigned(value), 0, 0};
    unsigned bits = unsigned(63 - __builtin_clzll(value)) - 1;
    return {unsigned(2 * (bits + 1) + ((value >> bits) - 2)), bits,
            value & ((uint64_t(1) << bits) - 1)};
}

// Far matches are coded shorter by this much.
uint32_t LengthBonus(uint64_t distance) {
    return (distance > 0x100) + (distance > 0x2000) + (distance > 0x40000);
}

// The packer's side of the filters (the unpacker undoes them).
void DeltaForward(unsigned char* data, size_t size, unsigned channels) {
    std::string out(size, '\0');
    size_t to = 0;
    for (unsigned channel = 0; channel < channels; ++channel) {
        unsigned char previous = 0;
        for (size_t at = channel; at < size; at += channels) {
            out[to++] = char(uint8_t(previous - data[at]));
            previous = data[at];
        }
    }
    std::memcpy(data, out.data(), size);
}

void E8Forward(unsigned char* data, size_t size, uint64_t fileOffset, bool jumps) {
    const int64_t fileSize = 0x1000000;
    for (size_t at = 0; at + 4 < size;) {
        unsigned char code = data[at++];
        if (code != 0xe8 && !(jumps && code == 0xe9))
            continue;
        int64_t offset = int64_t((fileOffset + at) % uint64_t(fileSize));
        int32_t relative;
        std::memcpy(&relative, data + at, 4);
        int64_t value = relative;
        if (value >= -offset && value < fileSize - offset)
            value += offset;
        else if (value >= fileSize - offset && value < fileSize)
            value -= fileSize;
        uint32_t stored = uint32_t(value);
        std::memcpy(data + at, &stored, 4);
        at += 4;
    }
}

void ArmForward(unsigned char* data, size_t size, uint64_t fileOffset) {
    for (size_t at = 0; at + 3 < size; at += 4) {
        if (data[at + 3] != 0xeb)
            continue;
        uint32_t target = data[at] | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16;
        target += uint32_t((fileOffset + at) / 4);
        data[at] = uint8_t(target);
        data[at + 1] = uint8_t(target >> 8);
        data[at + 2] = uint8_t(target >> 16);
    }
}

void PutVint(std::string* out, uint64_t value) {
    do {
        unsigned char byte = value & 0x7f;
        value >>= 7;
        if (value != 0)
            byte |= 0x80;
        out->push_back(char(byte));
    } while (value != 0);
}

void PutHeader(std::string* archive, const std::string& body) {
    std::string header;
    PutVint(&header, body.size());
    header += body;
    uint32_t crc =
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(header.data()), uInt(header.size())));
    for (int i = 0; i < 4; ++i)
        archive->push_back(char(crc >> (8 * i)));
    *archive += header;
}

} // namespace

struct Rar5Packer::Token {
    enum Kind { Literal, Match, OldDistance, RepeatLast, Filter } kind;
    uint32_t a = 0; // literal byte, match length, old distance index, filter index
    uint64_t b = 0; // match distance, old distance length, filter start from here
};

struct Rar5Packer::FilterBlock {
    uint64_t start = 0; // in the history
    uint32_t length = 0;
    unsigned type = 0; // as the format numbers them
};

Rar5Packer::Rar5Packer(unsigned dictionaryLog)
    : dictionaryLog_(std::clamp(dictionaryLog, 17u, 30u)), head_(size_t(1) << kHashBits, -1) {}

void Rar5Packer::WriteBlock(const std::vector<Token>& tokens,
                            const std::vector<FilterBlock>& filters, bool last,
                            std::string* out) const {
    std::vector<uint64_t> mainCount(306), distanceCount(64), lowCount(16), repeatCount(44);
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Literal:
            mainCount[t.a]++;
            break;
        case Token::Match: {
            mainCount[262 + LengthSlot(t.a - LengthBonus(t.b) - 2).slot]++;
            Slot d = DistanceSlot(t.b - 1);
            distanceCount[d.slot]++;
            if (d.extraBits >= 4)
                lowCount[d.extra & 15]++;
            break;
        }
        case Token::OldDistance:
            mainCount[258 + t.a]++;
            repeatCount[LengthSlot(uint32_t(t.b) - 2).slot]++;
            break;
        case Token::RepeatLast:
            mainCount[257]++;
            break;
        case Token::Filter:
            mainCount[256]++;
            break;
        }
    }
    std::vector<unsigned char> mainLengths = CodeLengths(mainCount),
                               distanceLengths = CodeLengths(distanceCount),
                               lowLengths = CodeLengths(lowCount),
                               repeatLengths = CodeLengths(repeatCount);
    std::vector<unsigned char> all = mainLengths;
    all.insert(all.end(), distanceLengths.begin(), distanceLengths.end());
    all.insert(all.end(), lowLengths.begin(), lowLengths.end());
    all.insert(all.end(), repeatLengths.begin(), repeatLengths.end());

    // The lengths as length codes: runs of zeros (18, 19) and repeats of the previous (16, 17).
    struct LengthCode {
        unsigned symbol, extra, extraBits;
    };
    std::vector<LengthCode> lengthCodes;
    for (size_t i = 0; i < all.size();) {
        size_t run = 1;
        while (i + run < all.size() && all[i + run] == all[i] && run < 138)
            ++run;
        bool zeros = all[i] == 0, repeat = i > 0 && all[i] == all[i - 1];
        if (run >= 3 && (zeros || repeat)) {
            unsigned base = zeros ? 18 : 16;
            lengthCodes.push_back(run >= 11 ? LengthCode{base + 1, unsigned(run - 11), 7}
                                            : LengthCode{base, unsigned(run - 3), 3});
            i += run;
        } else {
            lengthCodes.push_back({all[i], 0, 0});
            ++i;
        }
    }
    std::vector<uint64_t> lengthCount(20);
    for (const LengthCode& c : lengthCodes)
        lengthCount[c.symbol]++;
    std::vector<unsigned char> lengthLengths = CodeLengths(lengthCount);
    std::vector<uint32_t> lengthTable = Codes(lengthLengths), mainTable = Codes(mainLengths),
                          distanceTable = Codes(distanceLengths), lowTable = Codes(lowLengths),
                          repeatTable = Codes(repeatLengths);

    BitWriter bits;
    for (unsigned char length : lengthLengths) {
        bits.Put(length, 4);
        if (length == 15)
            bits.Put(0, 4); // 15 itself, not a run of zeros
    }
    for (const LengthCode& c : lengthCodes) {
        bits.Put(lengthTable[c.symbol], lengthLengths[c.symbol]);
        bits.Put(c.extra, c.extraBits);
    }
    auto putMain = [&](unsigned symbol) { bits.Put(mainTable[symbol], mainLengths[symbol]); };
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Literal:
            putMain(t.a);
            break;
        case Token::Match: {
            Slot length = LengthSlot(t.a - LengthBonus(t.b) - 2);
            putMain(262 + length.slot);
            bits.Put(uint32_t(length.extra), length.extraBits);
            Slot d = DistanceSlot(t.b - 1);
            bits.Put(distanceTable[d.slot], distanceLengths[d.slot]);
            if (d.extraBits >= 4) {
                bits.Put(uint32_t(d.extra >> 4), d.extraBits - 4);
                bits.Put(lowTable[d.extra & 15], lowLengths[d.extra & 15]);
            } else {
                bits.Put(uint32_t(d.extra), d.extraBits);
            }
            break;
        }
        case Token::OldDistance: {
            putMain(258 + t.a);
            Slot length = LengthSlot(uint32_t(t.b) - 2);
            bits.Put(repeatTable[length.slot], repeatLengths[length.slot]);
            bits.Put(uint32_t(length.extra), length.extraBits);
            break;
        }
        case Token::RepeatLast:
            putMain(257);
            break;
        case Token::Filter: {
            putMain(256);
            const FilterBlock& f = filters[t.a];
            for (uint64_t value : {t.b, uint64_t(f.length)}) {
                unsigned bytes = value < 0x100       ? 1
                                 : value < 0x10000   ? 2
                                 : value < 0x1000000 ? 3
                                                     : 4;
                bits.Put(bytes - 1, 2);
                for (unsigned i = 0; i < bytes; ++i)
                    bits.Put(uint32_t(value >> (8 * i)) & 0xff, 8);
            }
            bits.Put(f.type, 3);
            if (f.type == 0)
                bits.Put(3 - 1, 5); // three channels
            break;
        }
        }
    }
    uint64_t codeBits = 0;
    std::string body = bits.Finish(&codeBits);
    uint32_t size = uint32_t(body.size());
    unsigned lastByteBits = unsigned(codeBits - (uint64_t(size) - 1) * 8);
    unsigned sizeBytes = size < 0x100 ? 1 : size < 0x10000 ? 2 : 3;
    unsigned flags = (lastByteBits - 1) | (sizeBytes - 1) << 3 | (last ? 0x40 : 0) | 0x80;
    unsigned check = 0x5a ^ flags;
    for (unsigned i = 0; i < sizeBytes; ++i)
        check ^= (size >> (8 * i)) & 0xff;
    out->push_back(char(flags));
    out->push_back(char(check));
    for (unsigned i = 0; i < sizeBytes; ++i)
        out->push_back(char(size >> (8 * i)));
    *out += body;
}

std::string Rar5Packer::Pack(const std::string& data, Rar5Filter filter) {
    // An empty file has no packed data at all (libarchive takes a block there for damage).
    if (data.empty())
        return {};
    const uint64_t base = history_.size();
    std::string input = data;
    std::vector<FilterBlock> filters;
    if (filter != Rar5Filter::None) {
        unsigned type = filter == Rar5Filter::Delta  ? 0
                        : filter == Rar5Filter::E8   ? 1
                        : filter == Rar5Filter::E8E9 ? 2
                                                     : 3;
        for (uint64_t at = kFilterFirst; at + kFilterLength <= input.size(); at += kFilterEvery) {
            auto* block = reinterpret_cast<unsigned char*>(input.data() + at);
            if (type == 0)
                DeltaForward(block, kFilterLength, 3);
            else if (type == 3)
                ArmForward(block, kFilterLength, at);
            else
                E8Forward(block, kFilterLength, at, type == 2);
            filters.push_back({base + at, kFilterLength, type});
        }
    }
    history_ += input;
    previous_.resize(history_.size(), -1);
    const uint64_t dictionary = uint64_t(1) << dictionaryLog_;
    const auto* h = reinterpret_cast<const unsigned char*>(history_.data());
    const uint64_t end = history_.size();
    auto hash = [&](uint64_t at) {
        uint32_t word;
        std::memcpy(&word, h + at, 4);
        return (word * 2654435761u) >> (32 - kHashBits);
    };

    std::string out;
    std::vector<Token> tokens;
    size_t nextFilter = 0;
    for (uint64_t at = base; at < end;) {
        // A filter is announced before its block starts (matches are at most 4097 long, so
        // one lands in this stretch).
        while (nextFilter < filters.size() && filters[nextFilter].start >= at &&
               filters[nextFilter].start - at < 4100) {
            tokens.push_back({Token::Filter, uint32_t(nextFilter), filters[nextFilter].start - at});
            ++nextFilter;
        }
        const uint32_t longest = uint32_t(std::min<uint64_t>(kMaxMatch, end - at));
        auto matchLength = [&](uint64_t from) {
            uint32_t n = 0;
            while (n < longest && h[from + n] == h[at + n])
                ++n;
            return n;
        };
        uint32_t bestLength = 0;
        uint64_t bestDistance = 0;
        int old = -1;
        for (int i = 0; i < 4; ++i) {
            uint64_t d = oldDistances_[i];
            if (d == 0 || d > at || d > dictionary)
                continue;
            uint32_t n = matchLength(at - d);
            if (n >= 2 && n > bestLength + (i > 0 ? 1 : 0)) {
                bestLength = n;
                bestDistance = d;
                old = i;
            }
        }
        if (at + 4 <= end) {
            int64_t candidate = head_[hash(at)];
            for (int depth = 0; candidate >= 0 && depth < kChainDepth;
                 ++depth, candidate = previous_[size_t(candidate)]) {
                uint64_t d = at - uint64_t(candidate);
                if (d > dictionary)
                    break;
                uint32_t n = matchLength(uint64_t(candidate));
                if (n >= 4 + LengthBonus(d) && n > bestLength + 1) {
                    bestLength = n;
                    bestDistance = d;
                    old = -1;
                }
            }
        }
        uint32_t step = 1;
        if (old >= 0) {
            if (old == 0 && bestLength == lastLength_) {
                tokens.push_back({Token::RepeatLast, 0, 0});
            } else {
                tokens.push_back({Token::OldDistance, uint32_t(old), bestLength});
                std::copy_backward(oldDistances_, oldDistances_ + old, oldDistances_ + old + 1);
                oldDistances_[0] = bestDistance;
                lastLength_ = bestLength;
            }
            step = bestLength;
        } else if (bestLength >= 4) {
            tokens.push_back({Token::Match, bestLength, bestDistance});
            std::copy_backward(oldDistances_, oldDistances_ + 3, oldDistances_ + 4);
            oldDistances_[0] = bestDistance;
            lastLength_ = bestLength;
            step = bestLength;
        } else {
            tokens.push_back({Token::Literal, h[at], 0});
        }
        for (uint32_t i = 0; i < step; ++i, ++at)
            if (at + 4 <= end) {
                uint32_t k = hash(at);
                previous_[at] = head_[k];
                head_[k] = int64_t(at);
            }
        if (tokens.size() >= kTokensPerBlock) {
            WriteBlock(tokens, filters, false, &out);
            tokens.clear();
        }
    }
    WriteBlock(tokens, filters, true, &out);
    return out;
}

std::string Rar5CompressedArchive(const std::vector<Rar5PackedFile>& files, bool solid,
                                  unsigned dictionaryLog, Rar5Filter filter) {
    std::string archive("Rar!\x1a\x07\x01\x00", 8);
    std::string main;
    PutVint(&main, 1); // main archive header
    PutVint(&main, 0);
    PutVint(&main, solid ? 0x0004 : 0);
    PutHeader(&archive, main);
    Rar5Packer packer(dictionaryLog);
    bool first = true;
    for (const Rar5PackedFile& f : files) {
        if (!solid)
            packer = Rar5Packer(dictionaryLog);
        std::string packed = packer.Pack(f.data, filter);
        uint32_t crc =
            uint32_t(crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), uInt(f.data.size())));
        std::string header;
        PutVint(&header, 2);      // file header
        PutVint(&header, 0x0002); // with data
        PutVint(&header, packed.size());
        PutVint(&header, 0x0004); // with a CRC32
        PutVint(&header, f.data.size());
        PutVint(&header, 0100644);
        for (int i = 0; i < 4; ++i)
            header.push_back(char(crc >> (8 * i)));
        // Version 0, solid after the first file, method 3, the dictionary.
        uint64_t compression =
            (solid && !first ? 0x40 : 0) | 3u << 7 | uint64_t(packer.dictionaryLog() - 17) << 10;
        PutVint(&header, compression);
        PutVint(&header, 1); // Unix
        PutVint(&header, f.name.size());
        header += f.name;
        PutHeader(&archive, header);
        archive += packed;
        first = false;
    }
    std::string end;
    PutVint(&end, 5);
    PutVint(&end, 0);
    PutVint(&end, 0);
    PutHeader(&archive, end);
    return archive;
}
