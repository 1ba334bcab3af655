#include "tools/unrar/rar29filters.h"

#include "tools/unrar/bitinput.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

namespace {

// More programs or waiting uses than this only come from damaged data.
constexpr size_t kMaxFilters = 8192;
// The part of the machine's global memory a record may fill with its own data.
constexpr uint32_t kMaxGlobalData = 0x2000 - 0x40;

// The filter record as a PackedSource, so that its bits are read like the packed data's.
class RecordSource : public PackedSource {
  public:
    explicit RecordSource(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    size_t Read(unsigned char* to, size_t size) override {
        size_t n = std::min(size, bytes_.size() - at_);
        std::memcpy(to, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

  private:
    const std::vector<unsigned char>& bytes_;
    size_t at_ = 0;
};

// The machine's variable-length numbers: 2 bits say whether 4, 8, 16 or 32 bits follow; a
// zero first nibble of the 8-bit form gives a small negative number.
uint32_t ReadNumber(BitInput& in) {
    uint32_t field = in.Peek16();
    switch (field & 0xc000) {
    case 0:
        in.Skip(6);
        return (field >> 10) & 0xf;
    case 0x4000:
        if ((field & 0x3c00) == 0) {
            in.Skip(14);
            return 0xffffff00 | ((field >> 2) & 0xff);
        }
        in.Skip(10);
        return (field >> 6) & 0xff;
    case 0x8000:
        in.Skip(2);
        return in.Get(16);
    default:
        in.Skip(2);
        return in.Get(32);
    }
}

// The programs RAR writes, known by their length and CRC32 (the first byte is a check sum of
// the rest, which the CRC covers as well).
bool RecogniseProgram(const std::vector<unsigned char>& code, Rar29FilterKind* kind) {
    struct Known {
        size_t length;
        uint32_t crc;
        Rar29FilterKind kind;
    };
    static constexpr Known kKnown[] = {
        {53, 0xad576887, Rar29FilterKind::E8},       {57, 0x3cd7e57e, Rar29FilterKind::E8E9},
        {120, 0x3769893f, Rar29FilterKind::Itanium}, {29, 0x0e06077d, Rar29FilterKind::Delta},
        {149, 0x1c2c5dc8, Rar29FilterKind::Rgb},     {216, 0xbc85e701, Rar29FilterKind::Audio},
    };
    uint32_t crc = uint32_t(crc32(0L, code.data(), uInt(code.size())));
    for (const Known& known : kKnown)
        if (known.length == code.size() && known.crc == crc) {
            *kind = known.kind;
            return true;
        }
    return false;
}

uint32_t Get32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(unsigned char* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(value >> (8 * i));
}

// x86 CALL (and JMP) targets were made absolute by the packer, which compresses better;
// made relative to the instruction again here. Addresses are taken modulo 16 MiB.
void UndoE8(unsigned char* data, uint32_t size, uint32_t fileOffset, bool alsoE9) {
    constexpr uint32_t kFileSize = 0x1000000;
    for (uint32_t at = 0; at + 4 < size;) {
        unsigned char op = data[at++];
        if (op != 0xe8 && !(alsoE9 && op == 0xe9))
            continue;
        uint32_t offset = at + fileOffset;
        uint32_t address = Get32(data + at);
        if (address & 0x80000000) {
            if (((address + offset) & 0x80000000) == 0)
                Put32(data + at, address + kFileSize);
        } else if ((address - kFileSize) & 0x80000000) {
            Put32(data + at, address - offset);
        }
        at += 4;
    }
}

uint32_t ItaniumBits(const unsigned char* data, unsigned bitAt, unsigned count) {
    uint32_t field = Get32(data + bitAt / 8) >> (bitAt & 7);
    return field & (0xffffffffu >> (32 - count));
}

void SetItaniumBits(unsigned char* data, uint32_t value, unsigned bitAt, unsigned count) {
    unsigned char* p = data + bitAt / 8;
    uint32_t mask = ~((0xffffffffu >> (32 - count)) << (bitAt & 7));
    value <<= bitAt & 7;
    for (int i = 0; i < 4; ++i) {
        p[i] = uint8_t((p[i] & mask) | value);
        mask = (mask >> 8) | 0xff000000;
        value >>= 8;
    }
}

// IA-64 bundles: the 20-bit targets of branch slots were made absolute per 16-byte bundle.
void UndoItanium(unsigned char* data, uint32_t size, uint32_t fileOffset) {
    static constexpr uint8_t kSlotMasks[16] = {4, 4, 6, 6, 0, 0, 7, 7, 4, 4, 0, 0, 4, 4, 0, 0};
    uint32_t bundle = fileOffset >> 4;
    for (uint32_t at = 0; at + 21 < size; at += 16, ++bundle) {
        int templ = (data[at] & 0x1f) - 0x10;
        if (templ < 0)
            continue;
        uint8_t slots = kSlotMasks[templ];
        for (unsigned slot = 0; slot < 3; ++slot) {
            if (!(slots & (1u << slot)))
                continue;
            unsigned bitAt = slot * 41 + 5;
            if (ItaniumBits(data + at, bitAt + 37, 4) != 5)
                continue;
            uint32_t target = ItaniumBits(data + at, bitAt + 13, 20);
            SetItaniumBits(data + at, (target - bundle) & 0xfffff, bitAt + 13, 20);
        }
    }
}

// The packer stored each channel's bytes together as differences; interleaved again into the
// output half of the memory.
bool UndoDelta(unsigned char* memory, uint32_t size, uint32_t channels) {
    if (size > kRar29FilterMemory / 2 || channels == 0 || channels > 1024)
        return false;
    uint32_t from = 0;
    for (uint32_t channel = 0; channel < channels; ++channel) {
        uint8_t previous = 0;
        for (uint32_t to = size + channel; to < 2 * size; to += channels)
            memory[to] = previous = uint8_t(previous - memory[from++]);
    }
    return true;
}

// 24-bit images: each byte was predicted from its left, upper and upper-left neighbours
// (Paeth), and green was subtracted from red and blue.
bool UndoRgb(unsigned char* memory, uint32_t size, uint32_t widthRegister, uint32_t redAt) {
    uint32_t width = widthRegister - 3;
    if (size > kRar29FilterMemory / 2 || size < 3 || width > size || redAt > 2)
        return false;
    const unsigned char* from = memory;
    unsigned char* out = memory + size;
    for (uint32_t channel = 0; channel < 3; ++channel) {
        uint32_t previous = 0;
        for (uint32_t i = channel; i < size; i += 3) {
            uint32_t predicted = previous;
            if (i >= width + 3) {
                uint32_t upper = out[i - width], upperLeft = out[i - width - 3];
                predicted = previous + upper - upperLeft;
                int pa = std::abs(int(predicted - previous));
                int pb = std::abs(int(predicted - upper));
                int pc = std::abs(int(predicted - upperLeft));
                if (pa <= pb && pa <= pc)
                    predicted = previous;
                else if (pb <= pc)
                    predicted = upper;
                else
                    predicted = upperLeft;
            }
            out[i] = uint8_t(predicted - *from++);
            previous = out[i];
        }
    }
    for (uint32_t i = redAt; i + 2 < size; i += 3) {
        uint8_t green = out[i + 1];
        out[i] = uint8_t(out[i] + green);
        out[i + 2] = uint8_t(out[i + 2] + green);
    }
    return true;
}

// Sound: each channel's samples were predicted by an adaptive linear filter whose three
// weights follow the smallest error over each 32 samples.
bool UndoAudio(unsigned char* memory, uint32_t size, uint32_t channels) {
    if (size > kRar29FilterMemory / 2 || channels == 0 || channels > 128)
        return false;
    const unsigned char* from = memory;
    unsigned char* out = memory + size;
    for (uint32_t channel = 0; channel < channels; ++channel) {
        uint32_t previous = 0, previousDelta = 0, errors[7] = {};
        int d1 = 0, d2 = 0, d3 = 0, k1 = 0, k2 = 0, k3 = 0;
        for (uint32_t i = channel, count = 0; i < size; i += channels, ++count) {
            d3 = d2;
            d2 = int(previousDelta) - d1;
            d1 = int(previousDelta);
            uint32_t predicted = 8 * previous + uint32_t(k1 * d1 + k2 * d2 + k3 * d3);
            predicted = (predicted >> 3) & 0xff;
            uint32_t packed = *from++;
            predicted -= packed;
            out[i] = uint8_t(predicted);
            previousDelta = uint32_t(int8_t(uint8_t(predicted - previous)));
            previous = uint8_t(predicted);
            int d = int(uint32_t(int8_t(uint8_t(packed))) << 3);
            errors[0] += uint32_t(std::abs(d));
            errors[1] += uint32_t(std::abs(d - d1));
            errors[2] += uint32_t(std::abs(d + d1));
            errors[3] += uint32_t(std::abs(d - d2));
            errors[4] += uint32_t(std::abs(d + d2));
            errors[5] += uint32_t(std::abs(d - d3));
            errors[6] += uint32_t(std::abs(d + d3));
            if ((count & 0x1f) != 0)
                continue;
            uint32_t least = errors[0], which = 0;
            errors[0] = 0;
            for (uint32_t j = 1; j < 7; ++j) {
                if (errors[j] < least) {
                    least = errors[j];
                    which = j;
                }
                errors[j] = 0;
            }
            switch (which) {
            case 1:
                k1 -= k1 >= -16;
                break;
            case 2:
                k1 += k1 < 16;
                break;
            case 3:
                k2 -= k2 >= -16;
                break;
            case 4:
                k2 += k2 < 16;
                break;
            case 5:
                k3 -= k3 >= -16;
                break;
            case 6:
                k3 += k3 < 16;
                break;
            default:
                break;
            }
        }
    }
    return true;
}

} // namespace

void Rar29Filters::Reset() {
    programs_.clear();
    lastLengths_.clear();
    lastProgram_ = 0;
    pending_.clear();
}

bool Rar29Filters::Add(unsigned flags, const std::vector<unsigned char>& record, uint64_t position,
                       std::string* error) {
    RecordSource source(record);
    BitInput in(source);
    const uint64_t recordBits = uint64_t(record.size()) * 8;
    size_t program = lastProgram_; // without a number: the program used last
    if (flags & 0x80) {
        uint32_t number = ReadNumber(in);
        if (number == 0)
            Reset(); // number 0 starts the list of programs anew
        else
            program = number - 1;
    }
    if (program > programs_.size() || program > kMaxFilters) {
        *error = "a filter names a program never given";
        return false;
    }
    lastProgram_ = program;
    const bool newProgram = program == programs_.size();
    if (pending_.size() >= kMaxFilters) {
        *error = "too many filters";
        return false;
    }

    Rar29PendingFilter use;
    uint32_t start = ReadNumber(in);
    if (flags & 0x40)
        start += 258;
    use.start = position + start;
    if (flags & 0x20)
        use.length = ReadNumber(in);
    else
        use.length = program < lastLengths_.size() ? lastLengths_[program] : 0;
    use.registers[4] = use.length;
    if (flags & 0x10) {
        uint32_t mask = in.Get(7);
        for (unsigned i = 0; i < 7; ++i)
            if (mask & (1u << i))
                use.registers[i] = ReadNumber(in);
    }

    if (newProgram) {
        uint32_t size = ReadNumber(in);
        if (size == 0 || size >= 0x10000 || in.position() / 8 + size > record.size()) {
            *error = "a filter's program is damaged";
            return false;
        }
        std::vector<unsigned char> code(size);
        for (unsigned char& byte : code)
            byte = uint8_t(in.Get(8));
        unsigned char sum = 0;
        for (size_t i = 1; i < code.size(); ++i)
            sum ^= code[i];
        Rar29FilterKind kind;
        if (sum != code[0] || !RecogniseProgram(code, &kind)) {
            *error = "a filter runs a program binary/unrar does not know";
            return false;
        }
        programs_.push_back(kind);
        lastLengths_.push_back(0);
    }
    use.kind = programs_[program];
    if (flags & 0x20)
        lastLengths_[program] = use.length;
    // Global data is for programs of their own, which we refuse; it is only stepped over.
    if (flags & 0x08) {
        uint32_t size = ReadNumber(in);
        if (size > kMaxGlobalData) {
            *error = "a filter's data is damaged";
            return false;
        }
        for (uint32_t i = 0; i < size; ++i)
            in.Skip(8);
    }
    if (in.position() > recordBits) {
        *error = "a filter record is cut short";
        return false;
    }
    if (use.registers[4] != use.length) {
        *error = "a filter's block size is damaged";
        return false;
    }
    pending_.push_back(use);
    return true;
}

const unsigned char* RunRar29Filter(const Rar29PendingFilter& filter, uint32_t fileOffset,
                                    unsigned char* memory) {
    const uint32_t size = filter.length;
    const auto& r = filter.registers;
    switch (filter.kind) {
    case Rar29FilterKind::E8:
    case Rar29FilterKind::E8E9:
        if (size >= 4)
            UndoE8(memory, size, fileOffset, filter.kind == Rar29FilterKind::E8E9);
        return memory;
    case Rar29FilterKind::Itanium:
        if (size >= 21)
            UndoItanium(memory, size, fileOffset);
        return memory;
    case Rar29FilterKind::Delta:
        return UndoDelta(memory, size, r[0]) ? memory + size : memory;
    case Rar29FilterKind::Rgb:
        return UndoRgb(memory, size, r[0], r[1]) ? memory + size : memory;
    case Rar29FilterKind::Audio:
        return UndoAudio(memory, size, r[0]) ? memory + size : memory;
    }
    return memory;
}
