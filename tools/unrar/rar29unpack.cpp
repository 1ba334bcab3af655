#include "tools/unrar/rar29unpack.h"

#include <algorithm>
#include <cstring>

namespace {

// Every distance RAR 2.9 can write stays inside 4 MiB; a window that large whatever the header
// says keeps damaged distances inside it and puts every valid one where the packer meant.
constexpr size_t kMinWindow = size_t(4) << 20;
// Unpacked bytes are handed on once this many wait, so the sink sees a steady stream.
constexpr uint64_t kFlushEvery = uint64_t(1) << 20;
// Room left in the window for the longest single copy (a PPM match of 255 + 32 bytes).
constexpr uint64_t kMargin = 4096;

// Match lengths: a base per slot and the extra bits that follow.
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
// Short distances (symbols 263-270), always of length 2.
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// The 60 distance slots: four without extra bits, two for each of 1 to 15 bits, then 14 of
// 16 bits and 12 of 18 bits, reaching 4 MiB.
struct DistanceSlots {
    uint32_t base[60];
    uint8_t bits[60];
};
constexpr DistanceSlots MakeDistanceSlots() {
    DistanceSlots slots{};
    constexpr uint8_t kSlotsPerBits[19] = {4, 2, 2, 2, 2, 2, 2,  2, 2, 2,
                                           2, 2, 2, 2, 2, 2, 14, 0, 12};
    uint32_t distance = 0;
    size_t slot = 0;
    for (uint8_t bits = 0; bits < 19; ++bits)
        for (uint8_t i = 0; i < kSlotsPerBits[bits]; ++i, ++slot) {
            slots.base[slot] = distance;
            slots.bits[slot] = bits;
            distance += uint32_t(1) << bits;
        }
    return slots;
}
constexpr DistanceSlots kDistance = MakeDistanceSlots();
static_assert(kDistance.base[59] + (uint32_t(1) << kDistance.bits[59]) == kMinWindow);

// After this many uses of the low-distance code 16 the last low bits repeat once per code.
constexpr uint32_t kLowDistRepeats = 16;

size_t WindowSize(size_t dictionaryBytes) {
    size_t size = kMinWindow;
    while (size < dictionaryBytes)
        size <<= 1;
    return size;
}

// Tells how many bytes the packed data held, which the bit reader does not.
class CountingSource : public PackedSource {
  public:
    explicit CountingSource(PackedSource& source) : source_(source) {}
    size_t Read(unsigned char* to, size_t size) override {
        size_t n = source_.Read(to, size);
        count_ += n;
        return n;
    }
    uint64_t count() const { return count_; }

  private:
    PackedSource& source_;
    uint64_t count_ = 0;
};

} // namespace

struct Rar29Unpacker::Run {
    BitInput& bits;
    const UnpackSink& sink;
    std::string* error;
};

std::unique_ptr<Unpacker> MakeRar29Unpacker(size_t dictionaryBytes) {
    return std::make_unique<Rar29Unpacker>(dictionaryBytes);
}

Rar29Unpacker::Rar29Unpacker(size_t dictionaryBytes)
    : window_(WindowSize(dictionaryBytes)), mask_(window_.size() - 1),
      filterMemory_(kRar29FilterMemory + 16) {}

void Rar29Unpacker::StartAfresh() {
    if (pos_ != 0)
        std::fill(window_.begin(), window_.end(), 0);
    pos_ = written_ = 0;
    lengths_.fill(0);
    tablesRead_ = false;
    oldDist_.fill(0);
    lastLength_ = 0;
    lowDistRepeats_ = prevLowDist_ = 0;
    ppmBlock_ = false;
    escape_ = 2;
    ppm_.Reset();
    filters_.Reset();
}

Rar29Unpacker::Step Rar29Unpacker::Fail(Run& run, const char* what) {
    *run.error = what;
    return Step::Failed;
}

bool Rar29Unpacker::Unpack(PackedSource& in, uint64_t unpackedSize, bool solid,
                           const UnpackSink& sink, std::string* error) {
    if (!solid)
        StartAfresh();
    error->clear();
    // Filters wait for blocks of their own file only; their programs stay for the next file.
    filters_.DropPending();
    fileStart_ = written_ = pos_;
    fileEnd_ = pos_ + std::min(unpackedSize, UINT64_MAX / 2);
    // An empty file may still carry the end mark that tells the next file of a solid set
    // whether new tables come; without packed data there is nothing to read.
    CountingSource counted(in);
    BitInput bits(counted);
    Run run{bits, sink, error};
    if (unpackedSize == 0) {
        bits.Peek16();
        if (counted.count() != 0 && ((solid && tablesRead_) || ReadTables(run)))
            FinishFileState(run);
        error->clear();
        return true;
    }
    // A solid file goes on with the tables of the one before unless that one said new ones
    // come first.
    if ((!solid || !tablesRead_) && !ReadTables(run))
        return false;
    while (pos_ < fileEnd_) {
        if (bits.overrun()) {
            Fail(run, "the packed data ends before the file does");
            return false;
        }
        if (pos_ - written_ >= kFlushEvery) {
            if (!Flush(run))
                return false;
            if (pos_ - written_ > window_.size() - kMargin) {
                Fail(run, "a filter's block does not fit the window");
                return false;
            }
        }
        Step step = ppmBlock_ ? DecodePpm(run) : DecodeLz(run);
        if (step == Step::Failed)
            return false;
        if (step == Step::FileEnd)
            break;
    }
    if (pos_ >= fileEnd_)
        FinishFileState(run);
    if (!Flush(run))
        return false;
    if (written_ < fileEnd_) {
        Fail(run, pos_ < fileEnd_ ? "the packed data ends before the file does"
                                  : "a filter's block runs past the end of the file");
        return false;
    }
    // The last match may have run past the file's end: those bytes belong to no file.
    written_ = pos_;
    return true;
}

// The packer ends a file with an end mark that also tells whether the next file of a solid set
// starts with new tables, and in a PPM block the model learns the mark as well. Reading it
// after the file's last byte lets the next file start from the state the packer left. Data
// that goes on instead is not ours to unpack; a damaged mark only spoils the next file.
void Rar29Unpacker::FinishFileState(Run& run) {
    std::string kept = *run.error;
    for (int round = 0; round < 4 && !run.bits.ended(); ++round) {
        if (ppmBlock_) {
            if (ppm_.DecodeChar(run.bits) != escape_)
                break;
            // 2 ends the file; 0 changes the block before the end mark comes.
            if (ppm_.DecodeChar(run.bits) != 0 || !ReadTables(run))
                break;
            continue;
        }
        if (main_.Decode(run.bits) != 256 || EndOfBlock(run) != Step::Go)
            break;
    }
    *run.error = kept;
}

bool Rar29Unpacker::ReadTables(Run& run) {
    BitInput& in = run.bits;
    in.Align();
    uint32_t field = in.Peek16();
    if (field & 0x8000) {
        ppmBlock_ = true;
        if (!ppm_.StartBlock(in, escape_)) {
            Fail(run, "a PPM block is damaged");
            return false;
        }
        return true;
    }
    ppmBlock_ = false;
    lowDistRepeats_ = prevLowDist_ = 0;
    // Without 0x4000 the new lengths are not differences to the last table's.
    if (!(field & 0x4000))
        lengths_.fill(0);
    in.Skip(2);

    HuffmanTable level;
    ReadLevelTable(in, &level);

    // 0-15 add to the last table's length (modulo 16), 16/17 repeat the one before, 18/19 give
    // zeros, each with a short (3 bits + 3) and a long count (7 bits + 11).
    std::array<unsigned char, kTableSize> table{};
    for (size_t i = 0; i < kTableSize;) {
        if (in.overrun()) {
            Fail(run, "the packed data ends inside a table");
            return false;
        }
        unsigned code = level.Decode(in);
        if (code < 16) {
            table[i] = uint8_t((code + lengths_[i]) & 0xf);
            ++i;
            continue;
        }
        unsigned count = (code & 1) ? in.Get(7) + 11 : in.Get(3) + 3;
        if (code < 18) {
            if (i == 0) {
                Fail(run, "a table is damaged");
                return false;
            }
            for (; count > 0 && i < kTableSize; --count, ++i)
                table[i] = table[i - 1];
        } else {
            for (; count > 0 && i < kTableSize; --count)
                table[i++] = 0;
        }
    }
    if (in.overrun()) {
        Fail(run, "the packed data ends inside a table");
        return false;
    }
    tablesRead_ = true;
    lengths_ = table;
    const unsigned char* at = table.data();
    main_.Build(at, kMainSymbols);
    dist_.Build(at += kMainSymbols, kDistSymbols);
    lowDist_.Build(at += kDistSymbols, kLowDistSymbols);
    length_.Build(at += kLowDistSymbols, kLengthSymbols);
    return true;
}

Rar29Unpacker::Step Rar29Unpacker::DecodeLz(Run& run) {
    BitInput& in = run.bits;
    const unsigned symbol = main_.Decode(in);
    if (symbol < 256) {
        Put(uint8_t(symbol));
        return Step::Go;
    }
    if (symbol >= 271) {
        const unsigned slot = symbol - 271;
        uint32_t length = kLengthBase[slot] + 3u;
        if (kLengthBits[slot] != 0)
            length += in.Get(kLengthBits[slot]);
        const unsigned distSlot = dist_.Decode(in);
        uint32_t distance = kDistance.base[distSlot] + 1;
        const unsigned bits = kDistance.bits[distSlot];
        if (distSlot > 9) {
            // Of 4 and more extra bits the low 4 have a Huffman code of their own, whose
            // symbol 16 means "the last low bits", for this and the next 15 distances.
            if (bits > 4)
                distance += in.Get(bits - 4) << 4;
            if (lowDistRepeats_ > 0) {
                --lowDistRepeats_;
                distance += prevLowDist_;
            } else {
                unsigned low = lowDist_.Decode(in);
                if (low == 16) {
                    lowDistRepeats_ = kLowDistRepeats - 1;
                    distance += prevLowDist_;
                } else {
                    distance += low;
                    prevLowDist_ = low;
                }
            }
        } else if (bits > 0) {
            distance += in.Get(bits);
        }
        // Far matches are only worth their bits when longer: the packer leaves out the gain.
        if (distance >= 0x2000) {
            ++length;
            if (distance >= 0x40000)
                ++length;
        }
        InsertOldDistance(distance);
        lastLength_ = length;
        Copy(length, distance);
        return Step::Go;
    }
    if (symbol == 256)
        return EndOfBlock(run);
    if (symbol == 257)
        return ReadFilterLz(run);
    if (symbol == 258) { // the last match once more
        if (lastLength_ != 0)
            Copy(lastLength_, oldDist_[0]);
        return Step::Go;
    }
    if (symbol < 263) { // one of the last four distances, moved to the front
        const unsigned which = symbol - 259;
        const uint32_t distance = oldDist_[which];
        for (unsigned i = which; i > 0; --i)
            oldDist_[i] = oldDist_[i - 1];
        oldDist_[0] = distance;
        const unsigned slot = length_.Decode(in);
        uint32_t length = kLengthBase[slot] + 2u;
        if (kLengthBits[slot] != 0)
            length += in.Get(kLengthBits[slot]);
        lastLength_ = length;
        Copy(length, distance);
        return Step::Go;
    }
    const unsigned slot = symbol - 263; // a short distance of length 2
    const uint32_t distance = kShortBase[slot] + 1u + in.Get(kShortBits[slot]);
    InsertOldDistance(distance);
    lastLength_ = 2;
    Copy(2, distance);
    return Step::Go;
}

// Symbol 256: "1" new tables follow in this file; "00" the file ends and the next one of a
// solid set goes on with these tables; "01" it ends and the next one starts with new tables.
Rar29Unpacker::Step Rar29Unpacker::EndOfBlock(Run& run) {
    const uint32_t field = run.bits.Peek16();
    if (field & 0x8000) {
        run.bits.Skip(1);
        tablesRead_ = false;
        return ReadTables(run) ? Step::Go : Step::Failed;
    }
    run.bits.Skip(2);
    tablesRead_ = !(field & 0x4000);
    return Step::FileEnd;
}

Rar29Unpacker::Step Rar29Unpacker::DecodePpm(Run& run) {
    BitInput& in = run.bits;
    auto next = [&]() {
        int c = ppm_.DecodeChar(in);
        if (c < 0) { // the model cannot be trusted after damaged data
            ppm_.Reset();
            ppmBlock_ = false;
            tablesRead_ = false;
        }
        return c;
    };
    const int c = next();
    if (c < 0)
        return Fail(run, "a PPM block is damaged");
    if (c != escape_) {
        Put(uint8_t(c));
        return Step::Go;
    }
    // The escape byte introduces a command; 1 (or any unknown one) is the escape byte itself.
    const int command = next();
    if (command < 0)
        return Fail(run, "a PPM block is damaged");
    switch (command) {
    case 0: // new tables: an LZ block, or a PPM block
        return ReadTables(run) ? Step::Go : Step::Failed;
    case 2:
        return Step::FileEnd;
    case 3:
        return ReadFilterPpm(run);
    case 4: { // a match: 3 bytes of distance - 2 and one of length - 32
        uint32_t distance = 0;
        for (int i = 0; i < 3; ++i) {
            int b = next();
            if (b < 0)
                return Fail(run, "a PPM block is damaged");
            distance = distance << 8 | uint32_t(b);
        }
        int length = next();
        if (length < 0)
            return Fail(run, "a PPM block is damaged");
        Copy(uint32_t(length) + 32, distance + 2);
        return Step::Go;
    }
    case 5: { // a run of the last byte: length - 4
        int length = next();
        if (length < 0)
            return Fail(run, "a PPM block is damaged");
        Copy(uint32_t(length) + 4, 1);
        return Step::Go;
    }
    default:
        Put(uint8_t(c));
        return Step::Go;
    }
}

// A filter record in an LZ block: its flags byte, whose low 3 bits give the record's size
// (1-6, or 7: a byte + 7 follows, or 8: 16 bits follow), then the record.
Rar29Unpacker::Step Rar29Unpacker::ReadFilterLz(Run& run) {
    BitInput& in = run.bits;
    const unsigned flags = in.Get(8);
    size_t size = (flags & 7) + 1;
    if (size == 7)
        size = in.Get(8) + 7;
    else if (size == 8)
        size = in.Get(16);
    if (size == 0)
        return Fail(run, "a filter record is damaged");
    std::vector<unsigned char> record(size);
    for (unsigned char& byte : record)
        byte = uint8_t(in.Get(8));
    if (in.overrun())
        return Fail(run, "the packed data ends inside a filter record");
    return AddFilter(run, flags, record);
}

// The same record in a PPM block, as decoded bytes.
Rar29Unpacker::Step Rar29Unpacker::ReadFilterPpm(Run& run) {
    auto next = [&]() { return ppm_.DecodeChar(run.bits); };
    const int flags = next();
    if (flags < 0)
        return Fail(run, "a PPM block is damaged");
    size_t size = size_t(flags & 7) + 1;
    if (size == 7) {
        int b = next();
        if (b < 0)
            return Fail(run, "a PPM block is damaged");
        size = size_t(b) + 7;
    } else if (size == 8) {
        int high = next(), low = high < 0 ? -1 : next();
        if (low < 0)
            return Fail(run, "a PPM block is damaged");
        size = size_t(high) << 8 | size_t(low);
    }
    if (size == 0)
        return Fail(run, "a filter record is damaged");
    std::vector<unsigned char> record(size);
    for (unsigned char& byte : record) {
        int b = next();
        if (b < 0)
            return Fail(run, "a PPM block is damaged");
        byte = uint8_t(b);
    }
    return AddFilter(run, unsigned(flags), record);
}

Rar29Unpacker::Step Rar29Unpacker::AddFilter(Run& run, unsigned flags,
                                             const std::vector<unsigned char>& record) {
    return filters_.Add(flags, record, pos_, run.error) ? Step::Go : Step::Failed;
}

// Hands the unpacked bytes to the sink up to where unpacking stands, each filtered block
// in place of its raw bytes once the window holds all of it. Filters are taken in the order
// they came, as RAR's own decoder takes them; one whose block begins behind what was already
// written can never be applied and is dropped.
bool Rar29Unpacker::Flush(Run& run) {
    std::vector<Rar29PendingFilter>& pending = filters_.pending();
    for (size_t i = 0; i < pending.size();) {
        const Rar29PendingFilter& filter = pending[i];
        if (filter.start < written_) {
            pending.erase(pending.begin() + ptrdiff_t(i));
            continue;
        }
        if (filter.start >= pos_) { // its block has not begun yet
            ++i;
            continue;
        }
        if (!EmitWindow(run, written_, filter.start))
            return false;
        if (filter.start + filter.length > pos_)
            return true; // the rest of its block is still to come
        if (!ApplyFilters(run, i))
            return false;
    }
    return EmitWindow(run, written_, pos_);
}

// Runs the filter at `index` over its block, then every filter right after it that was given
// for the same block (each over the output of the one before), and writes the result.
bool Rar29Unpacker::ApplyFilters(Run& run, size_t index) {
    std::vector<Rar29PendingFilter>& pending = filters_.pending();
    const Rar29PendingFilter first = pending[index];
    if (first.length > kRar29FilterMemory) {
        Fail(run, "a filter's block is too long");
        return false;
    }
    unsigned char* memory = filterMemory_.data();
    const size_t at = size_t(first.start & mask_);
    const size_t head = std::min<size_t>(first.length, window_.size() - at);
    std::memcpy(memory, window_.data() + at, head);
    std::memcpy(memory + head, window_.data(), first.length - head);

    const uint32_t fileOffset = uint32_t(first.start - fileStart_);
    const unsigned char* out = RunRar29Filter(first, fileOffset, memory);
    pending.erase(pending.begin() + ptrdiff_t(index));
    while (index < pending.size() && pending[index].start == first.start &&
           pending[index].length == first.length) {
        if (out != memory)
            std::memmove(memory, out, first.length);
        out = RunRar29Filter(pending[index], fileOffset, memory);
        pending.erase(pending.begin() + ptrdiff_t(index));
    }
    bool ok = Emit(run, out, first.length, first.start);
    written_ = first.start + first.length;
    return ok;
}

// The bytes of the window from `from` to `to`, in the window's two pieces where it wraps.
bool Rar29Unpacker::EmitWindow(Run& run, uint64_t from, uint64_t to) {
    while (from < to) {
        const size_t at = size_t(from & mask_);
        const size_t size = size_t(std::min<uint64_t>(to - from, window_.size() - at));
        if (!Emit(run, window_.data() + at, size, from))
            return false;
        from += size;
        written_ = from;
    }
    return true;
}

// Bytes past the file's size go nowhere: a file ends at its size whatever the data says.
bool Rar29Unpacker::Emit(Run& run, const unsigned char* data, size_t size, uint64_t at) {
    if (at >= fileEnd_ || size == 0)
        return true;
    const size_t n = size_t(std::min<uint64_t>(size, fileEnd_ - at));
    if (!run.sink(data, n)) {
        run.error->clear(); // the sink knows why
        return false;
    }
    return true;
}
