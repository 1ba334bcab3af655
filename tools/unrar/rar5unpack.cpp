#include "tools/unrar/rar5unpack.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Symbol counts of the four tables a block carries, and of the table their lengths are coded
// with.
constexpr size_t kMainSymbols = 306;
constexpr size_t kDistanceSymbols = 64;
constexpr size_t kLowDistanceSymbols = 16;
constexpr size_t kRepeatSymbols = 44;
constexpr size_t kAllSymbols =
    kMainSymbols + kDistanceSymbols + kLowDistanceSymbols + kRepeatSymbols;

// Main-table symbols past the literals.
constexpr unsigned kFilterSymbol = 256;
constexpr unsigned kRepeatLastSymbol = 257;
constexpr unsigned kOldDistanceSymbol = 258; // 258-261: one of the last four distances
constexpr unsigned kFirstMatchSymbol = 262;

// The longest match: length slot 43 with its 9 extra bits, plus 3 for a far distance. The
// window keeps this much room past the flush point so that a match never overwrites bytes
// not yet written.
constexpr uint64_t kMaxMatch = 4100;
// RAR's packer never makes a filter block larger; a larger one is damage.
constexpr uint32_t kMaxFilterBlock = 0x400000;
// Nor more filters waiting at once than RAR's own unpacker keeps.
constexpr size_t kMaxFilters = 8192;
// The smallest window we allocate: small files share one size, and the flush chunk stays
// large enough to write in useful pieces.
constexpr uint64_t kMinWindow = uint64_t(1) << 18;
// x86 call and jump targets are made relative within this many bytes of a file.
constexpr uint32_t kE8FileSize = 0x1000000;

uint64_t RoundUpToPowerOfTwo(uint64_t value) {
    uint64_t size = 1;
    while (size < value)
        size <<= 1;
    return size;
}

uint32_t GetLe32(const unsigned char* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void PutLe32(unsigned char* at, uint32_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    at[2] = uint8_t(value >> 16);
    at[3] = uint8_t(value >> 24);
}

// The filter's start and length: a count of bytes (2 bits) and then the bytes, low first.
uint32_t ReadFilterValue(BitInput& in) {
    unsigned bytes = in.Get(2) + 1;
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes; ++i)
        value |= in.Get(8) << (8 * i);
    return value;
}

// The packer subtracted each byte from the previous one of its channel and stored the
// channels one after another; this interleaves them again and adds the differences back up.
void UndoDelta(const unsigned char* data, size_t size, unsigned channels, unsigned char* out) {
    size_t from = 0;
    for (unsigned channel = 0; channel < channels; ++channel) {
        unsigned char previous = 0;
        for (size_t to = channel; to < size; to += channels) {
            previous = uint8_t(previous - data[from++]);
            out[to] = previous;
        }
    }
}

// The packer turned the relative targets of x86 CALL (E8) and, with `jumps`, JMP (E9) into
// absolute ones, so that calls to one function look alike; this makes them relative again.
// `fileOffset` is where the block lies in the file.
void UndoE8(unsigned char* data, size_t size, uint64_t fileOffset, bool jumps) {
    for (size_t at = 0; at + 4 < size;) {
        unsigned char code = data[at++];
        if (code != 0xe8 && !(jumps && code == 0xe9))
            continue;
        uint32_t offset = uint32_t((fileOffset + at) % kE8FileSize);
        uint32_t address = GetLe32(data + at);
        // Only targets that fall inside the file were changed: negative ones by adding the
        // file size, the others by adding their offset.
        if (address & 0x80000000u) {
            if (((address + offset) & 0x80000000u) == 0)
                PutLe32(data + at, address + kE8FileSize);
        } else if ((address - kE8FileSize) & 0x80000000u) {
            PutLe32(data + at, address - offset);
        }
        at += 4;
    }
}

// The same for ARM's BL: a 24-bit word offset in the low three bytes of a word whose top byte
// is 0xEB.
void UndoArm(unsigned char* data, size_t size, uint64_t fileOffset) {
    for (size_t at = 0; at + 3 < size; at += 4) {
        if (data[at + 3] != 0xeb)
            continue;
        uint32_t target =
            uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16;
        target -= uint32_t((fileOffset + at) / 4);
        data[at] = uint8_t(target);
        data[at + 1] = uint8_t(target >> 8);
        data[at + 2] = uint8_t(target >> 16);
    }
}

} // namespace

std::unique_ptr<Unpacker> MakeRar5Unpacker(size_t dictionaryBytes) {
    return std::make_unique<Rar5Unpacker>(dictionaryBytes);
}

bool Rar5Unpacker::Unpack(PackedSource& source, uint64_t unpackedSize, bool solid,
                          const UnpackSink& sink, std::string* error) {
    error->clear();
    if (dictionary_ > kMaxDictionary) {
        *error = "its dictionary of " + std::to_string(dictionary_ >> 20) +
                 " MiB is larger than the 1024 MiB this program unpacks";
        return false;
    }
    // No RAR5 file is near this large; a size that is (or one left unknown) is no size.
    if (unpackedSize > (uint64_t(1) << 62)) {
        *error = "its header gives the file a size of " + std::to_string(unpackedSize) + " bytes";
        return false;
    }
    if (solid && broken_) {
        *error = "an earlier file of the solid set it continues could not be unpacked";
        return false;
    }
    if (!solid)
        Reset();
    // Filters belong to the file that defined them; bytes a damaged file unpacked past its end
    // stay history but are no file's output.
    filters_.clear();
    filterInput_.clear();
    lastFilterEnd_ = 0;
    written_ = unpacked_;
    if (!PrepareWindow(unpackedSize, solid, error)) {
        broken_ = true;
        return false;
    }

    BitInput in(source);
    Run run(in, sink);
    run.fileStart = unpacked_;
    run.fileEnd = unpacked_ + unpackedSize;
    bool ok = true;
    while (ok && unpacked_ < run.fileEnd) {
        if (!run.started || in.position() >= run.blockEnd)
            ok = NextBlock(run);
        else
            ok = DecodeUntil(run, std::min(run.fileEnd, written_ + flushChunk_)) &&
                 Flush(run, std::min(unpacked_, run.fileEnd));
    }
    ok = ok && Flush(run, run.fileEnd);
    if (ok && run.emitted != unpackedSize)
        ok = Fail(run, "a filter reaches past the end of the file");
    if (!ok) {
        broken_ = true;
        *error = run.sinkRefused ? std::string() : run.error;
    }
    return ok;
}

void Rar5Unpacker::Reset() {
    unpacked_ = written_ = 0;
    tablesRead_ = false;
    oldDistances_.fill(0);
    lastLength_ = 0;
    broken_ = false;
}

bool Rar5Unpacker::PrepareWindow(uint64_t unpackedSize, bool solid, std::string* error) {
    // A distance never reaches back past the dictionary nor past the start of the stream, so
    // a file smaller than its dictionary needs no more than itself (and what a solid set
    // unpacked before it).
    uint64_t reach = std::min<uint64_t>(dictionary_, (solid ? unpacked_ : 0) + unpackedSize);
    uint64_t size = std::max(RoundUpToPowerOfTwo(reach), kMinWindow);
    if (size <= window_.size())
        return true;
    try {
        std::vector<unsigned char> grown(size, 0);
        // A solid file goes on from the bytes before it: they move to their place in the
        // larger window.
        uint64_t kept = solid ? std::min<uint64_t>(unpacked_, window_.size()) : 0;
        for (uint64_t at = unpacked_ - kept; at < unpacked_; ++at)
            grown[at & (size - 1)] = window_[at & mask_];
        window_.swap(grown);
    } catch (const std::bad_alloc&) {
        *error = "no memory for its window of " + std::to_string(size >> 20) + " MiB";
        return false;
    }
    mask_ = window_.size() - 1;
    // Half the window between flushes leaves the other half, past the longest match, for the
    // distances; a few MiB are written at once whatever the window.
    flushChunk_ = std::min<uint64_t>(window_.size() / 2 - kMaxMatch, uint64_t(4) << 20);
    return true;
}

bool Rar5Unpacker::Fail(Run& run, const std::string& what) {
    if (run.error.empty())
        run.error = what;
    return false;
}

// A block starts on a whole byte: flags, a check byte and the block's size in 1 to 3 bytes.
// The size counts whole bytes; the flags say how many bits of its last byte are codes.
bool Rar5Unpacker::NextBlock(Run& run) {
    BitInput& in = run.in;
    if (run.started) {
        if (run.lastBlock)
            return Fail(run, "its last block ends before the file's " +
                                 std::to_string(run.fileEnd - run.fileStart) + " bytes");
        // A code that ran past its block's bytes would put the next header behind us.
        if (in.position() > run.nextHeader)
            return Fail(run, "a code runs past the end of its block");
        while (in.position() < run.nextHeader)
            in.Skip(unsigned(std::min<uint64_t>(run.nextHeader - in.position(), 32)));
    }
    unsigned flags = in.Byte();
    unsigned check = in.Byte();
    unsigned sizeBytes = ((flags >> 3) & 3) + 1;
    if (sizeBytes == 4)
        return Fail(run, "a block header of an unknown form");
    uint32_t size = 0;
    unsigned sum = 0x5a ^ flags;
    for (unsigned i = 0; i < sizeBytes; ++i) {
        unsigned byte = in.Byte();
        size |= uint32_t(byte) << (8 * i);
        sum ^= byte;
    }
    if (in.overrun())
        return Fail(run, "the compressed data ends before the file does");
    if (sum != check)
        return Fail(run, "a block header fails its check");
    uint64_t headerEnd = in.position();
    unsigned lastByteBits = (flags & 7) + 1;
    run.nextHeader = headerEnd + uint64_t(size) * 8;
    run.blockEnd = size == 0 ? headerEnd : run.nextHeader - 8 + lastByteBits;
    run.lastBlock = (flags & 0x40) != 0;
    run.started = true;
    if (flags & 0x80) {
        if (!ReadTables(run))
            return false;
    } else if (!tablesRead_) {
        return Fail(run, "its first block has no code tables");
    }
    if (in.position() > run.blockEnd)
        return Fail(run, "the code tables run past the end of their block");
    if (in.overrun())
        return Fail(run, "the compressed data ends before the file does");
    return true;
}

// The code lengths of all four tables, themselves Huffman coded with a table of 20 lengths of
// 4 bits each (where 15 is followed by a count of zeros), with codes that repeat the previous
// length or give runs of zeros.
bool Rar5Unpacker::ReadTables(Run& run) {
    BitInput& in = run.in;
    HuffmanTable lengthTable;
    ReadLevelTable(in, &lengthTable);

    std::array<unsigned char, kAllSymbols> lengths{};
    for (size_t i = 0; i < kAllSymbols;) {
        if (in.overrun())
            return Fail(run, "the compressed data ends before the file does");
        unsigned code = lengthTable.Decode(in);
        if (code < 16) {
            lengths[i++] = uint8_t(code);
            continue;
        }
        unsigned count = (code & 1) == 0 ? in.Get(3) + 3 : in.Get(7) + 11;
        if (code < 18) {
            if (i == 0)
                return Fail(run, "its code tables repeat a length before the first");
            for (unsigned char previous = lengths[i - 1]; count > 0 && i < kAllSymbols; --count)
                lengths[i++] = previous;
        } else {
            for (; count > 0 && i < kAllSymbols; --count)
                lengths[i++] = 0;
        }
    }
    const unsigned char* at = lengths.data();
    main_.Build(at, kMainSymbols);
    distance_.Build(at += kMainSymbols, kDistanceSymbols);
    lowDistance_.Build(at += kDistanceSymbols, kLowDistanceSymbols);
    repeat_.Build(at += kLowDistanceSymbols, kRepeatSymbols);
    tablesRead_ = true;
    return true;
}

// Lengths 2 to 9 directly, then slots of four lengths each twice as far apart as the last,
// with the extra bits to pick one.
unsigned Rar5Unpacker::SlotToLength(BitInput& in, unsigned slot) {
    if (slot < 8)
        return 2 + slot;
    unsigned extraBits = slot / 4 - 1;
    return 2 + ((4 | (slot & 3)) << extraBits) + in.Get(extraBits);
}

// Decodes literals, matches and filters until the window holds `limit` or the block ends.
bool Rar5Unpacker::DecodeUntil(Run& run, uint64_t limit) {
    BitInput& in = run.in;
    while (unpacked_ < limit && in.position() < run.blockEnd) {
        // A block header may claim more bytes than the data holds.
        if (in.overrun())
            return Fail(run, "the compressed data ends before the file does");
        unsigned symbol = main_.Decode(in);
        if (symbol < 256) {
            window_[unpacked_++ & mask_] = uint8_t(symbol);
            continue;
        }
        if (symbol >= kFirstMatchSymbol) {
            uint64_t length = SlotToLength(in, symbol - kFirstMatchSymbol);
            unsigned slot = distance_.Decode(in);
            uint64_t distance = 1;
            if (slot < 4) {
                distance += slot;
            } else {
                // Slots of two distances' ranges each twice as wide as the last; of more than
                // four extra bits the low four have a table of their own.
                unsigned extraBits = slot / 2 - 1;
                distance += uint64_t(2 | (slot & 1)) << extraBits;
                if (extraBits >= 4) {
                    if (extraBits > 4)
                        distance += uint64_t(in.Get(extraBits - 4)) << 4;
                    distance += lowDistance_.Decode(in);
                } else {
                    distance += in.Get(extraBits);
                }
            }
            // Short matches far back do not pay, so the packer codes far ones a little shorter.
            if (distance > 0x100)
                length += distance > 0x40000 ? 3 : distance > 0x2000 ? 2 : 1;
            std::copy_backward(oldDistances_.begin(), oldDistances_.end() - 1, oldDistances_.end());
            oldDistances_[0] = distance;
            lastLength_ = unsigned(length);
            CopyMatch(length, distance);
        } else if (symbol == kFilterSymbol) {
            if (!ReadFilter(run))
                return false;
        } else if (symbol == kRepeatLastSymbol) {
            if (lastLength_ != 0)
                CopyMatch(lastLength_, oldDistances_[0]);
        } else {
            // One of the last four distances moves to the front; its length has a table of
            // its own.
            size_t index = symbol - kOldDistanceSymbol;
            uint64_t distance = oldDistances_[index];
            std::copy_backward(oldDistances_.begin(), oldDistances_.begin() + index,
                               oldDistances_.begin() + index + 1);
            oldDistances_[0] = distance;
            unsigned length = SlotToLength(in, repeat_.Decode(in));
            lastLength_ = length;
            CopyMatch(length, distance);
        }
    }
    return true;
}

void Rar5Unpacker::CopyMatch(uint64_t length, uint64_t distance) {
    unsigned char* window = window_.data();
    uint64_t to = unpacked_ & mask_;
    uint64_t from = (unpacked_ - distance) & mask_;
    unpacked_ += length;
    if (to + length <= window_.size() && from + length <= window_.size()) {
        // Most matches are short: eight bytes at a time where the distance allows it (a
        // later piece reads what an earlier one wrote, as a match repeating itself must),
        // byte by byte where the distance is shorter.
        uint64_t i = 0, apart = (to - from) & mask_;
        if (length >= 64 && (from + length <= to || to + length <= from)) {
            std::memcpy(window + to, window + from, length);
            return;
        }
        if (apart >= 8)
            for (; i + 8 <= length; i += 8)
                std::memmove(window + to + i, window + from + i, 8);
        for (; i < length; ++i)
            window[to + i] = window[from + i];
        return;
    }
    for (uint64_t i = 0; i < length; ++i)
        window[(to + i) & mask_] = window[(from + i) & mask_];
}

// A filter for a block of bytes from some distance ahead of the unpack position. RAR's packer
// writes them in stream order, never overlapping.
bool Rar5Unpacker::ReadFilter(Run& run) {
    BitInput& in = run.in;
    Filter filter;
    filter.start = unpacked_ + ReadFilterValue(in);
    filter.length = ReadFilterValue(in);
    unsigned type = in.Get(3);
    if (type == kDelta)
        filter.channels = in.Get(5) + 1;
    if (type > kArm)
        return Fail(run, "a filter of unknown type " + std::to_string(type));
    filter.type = FilterType(type);
    if (filter.length < 4 || filter.length > kMaxFilterBlock)
        return Fail(run, "a filter block of " + std::to_string(filter.length) + " bytes");
    if (filter.start < lastFilterEnd_)
        return Fail(run, "two filter blocks overlap");
    if (filters_.size() >= kMaxFilters)
        return Fail(run, "more than 8192 filters wait at once");
    lastFilterEnd_ = filter.start + filter.length;
    filters_.push_back(filter);
    return true;
}

bool Rar5Unpacker::Emit(Run& run, const unsigned char* data, size_t size) {
    // The file's bytes are exactly its size, whatever a damaged filter list says.
    size = size_t(std::min<uint64_t>(size, run.fileEnd - run.fileStart - run.emitted));
    if (size == 0)
        return true;
    run.emitted += size;
    if (!run.sink(data, size)) {
        run.sinkRefused = true;
        return false;
    }
    return true;
}

bool Rar5Unpacker::EmitWindow(Run& run, uint64_t from, uint64_t to) {
    while (from < to) {
        uint64_t at = from & mask_;
        uint64_t size = std::min(to - from, window_.size() - at);
        if (!Emit(run, window_.data() + at, size_t(size)))
            return false;
        from += size;
    }
    return true;
}

// Writes the window's bytes up to `upTo`: as they are up to the next filter's block, which is
// gathered aside and written once whole and filtered.
bool Rar5Unpacker::Flush(Run& run, uint64_t upTo) {
    while (written_ < upTo) {
        if (filters_.empty() || filters_.front().start > written_) {
            uint64_t end = filters_.empty() ? upTo : std::min(upTo, filters_.front().start);
            if (!EmitWindow(run, written_, end))
                return false;
            written_ = end;
            continue;
        }
        const Filter& filter = filters_.front();
        uint64_t end = std::min(upTo, filter.start + filter.length);
        for (uint64_t from = written_; from < end;) {
            uint64_t at = from & mask_;
            uint64_t size = std::min(end - from, window_.size() - at);
            filterInput_.insert(filterInput_.end(), window_.begin() + ptrdiff_t(at),
                                window_.begin() + ptrdiff_t(at + size));
            from += size;
        }
        written_ = end;
        if (filterInput_.size() < filter.length)
            break;
        if (!RunFilter(run, filter))
            return false;
        filters_.pop_front();
        filterInput_.clear();
    }
    return true;
}

bool Rar5Unpacker::RunFilter(Run& run, const Filter& filter) {
    uint64_t fileOffset = filter.start - run.fileStart;
    unsigned char* data = filterInput_.data();
    size_t size = filterInput_.size();
    switch (filter.type) {
    case kDelta:
        filterOutput_.resize(size);
        UndoDelta(data, size, filter.channels, filterOutput_.data());
        return Emit(run, filterOutput_.data(), size);
    case kE8:
    case kE8E9:
        UndoE8(data, size, fileOffset, filter.type == kE8E9);
        break;
    case kArm:
        UndoArm(data, size, fileOffset);
        break;
    }
    return Emit(run, data, size);
}
