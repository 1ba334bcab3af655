// Our RAR 2.9-4.x decompressor without an archive around it: the standard filters undo what
// the packer's transforms do, and damaged packed data ends in an error, never in more bytes
// than asked for. (The public archives, through binary/unrar, are in test_rarcorpus.cpp.)
#include "tools/unrar/rar29filters.h"
#include "tools/unrar/unpack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<unsigned char> RandomBytes(size_t size, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<unsigned char> bytes(size);
    for (unsigned char& b : bytes)
        b = uint8_t(random());
    return bytes;
}

// Runs `filter` over `packed` and returns its output.
std::vector<unsigned char> Filtered(Rar29PendingFilter filter,
                                    const std::vector<unsigned char>& packed,
                                    uint32_t fileOffset = 0) {
    filter.length = uint32_t(packed.size());
    filter.registers[4] = filter.length;
    std::vector<unsigned char> memory(kRar29FilterMemory + 16);
    std::memcpy(memory.data(), packed.data(), packed.size());
    const unsigned char* out = RunRar29Filter(filter, fileOffset, memory.data());
    return {out, out + packed.size()};
}

TEST(Rar29Filters, DeltaInterleavesTheChannelsAgain) {
    const uint32_t channels = 3;
    std::vector<unsigned char> original = RandomBytes(3001, 1);
    // The packer's side: each channel's differences, one channel after another.
    std::vector<unsigned char> packed;
    for (uint32_t c = 0; c < channels; ++c) {
        uint8_t previous = 0;
        for (size_t i = c; i < original.size(); i += channels) {
            packed.push_back(uint8_t(previous - original[i]));
            previous = original[i];
        }
    }
    Rar29PendingFilter filter;
    filter.kind = Rar29FilterKind::Delta;
    filter.registers[0] = channels;
    EXPECT_EQ(Filtered(filter, packed), original);
}

TEST(Rar29Filters, E8MakesCallTargetsRelativeAgain) {
    const uint32_t fileOffset = 0x1234;
    std::vector<unsigned char> original(64, 0x90);
    auto put = [](std::vector<unsigned char>& v, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            v[at + size_t(i)] = uint8_t(value >> (8 * i));
    };
    // A CALL at 10 to 0x100 bytes behind it, one at 30 to an address beyond 16 MiB (left as
    // it is), and a JMP at 40, which only the E8E9 program turns.
    original[10] = 0xe8;
    put(original, 11, uint32_t(-0x100));
    original[30] = 0xe8;
    put(original, 31, 0x2000000);
    original[40] = 0xe9;
    put(original, 41, 0x50);
    std::vector<unsigned char> packed = original;
    put(packed, 11, uint32_t(-0x100) + 11 + fileOffset);
    std::vector<unsigned char> both = packed;
    put(both, 41, 0x50 + 41 + fileOffset);

    Rar29PendingFilter filter;
    filter.kind = Rar29FilterKind::E8;
    EXPECT_EQ(Filtered(filter, packed, fileOffset), original);
    filter.kind = Rar29FilterKind::E8E9;
    EXPECT_EQ(Filtered(filter, both, fileOffset), original);
}

TEST(Rar29Filters, RgbUndoesThePredictionAndTheGreenDifference) {
    const uint32_t width = 3 * 17, redAt = 1;
    std::vector<unsigned char> original = RandomBytes(width * 9, 2);
    // The packer's side: red and blue less green, then each byte less its Paeth prediction.
    std::vector<unsigned char> planes = original;
    for (size_t i = redAt; i + 2 < planes.size(); i += 3) {
        planes[i] = uint8_t(planes[i] - planes[i + 1]);
        planes[i + 2] = uint8_t(planes[i + 2] - planes[i + 1]);
    }
    std::vector<unsigned char> packed;
    for (size_t c = 0; c < 3; ++c) {
        uint32_t previous = 0;
        for (size_t i = c; i < planes.size(); i += 3) {
            uint32_t predicted = previous;
            if (i >= width) {
                uint32_t upper = planes[i - width + 3], upperLeft = planes[i - width];
                uint32_t guess = previous + upper - upperLeft;
                int pa = std::abs(int(guess - previous)), pb = std::abs(int(guess - upper)),
                    pc = std::abs(int(guess - upperLeft));
                predicted = pa <= pb && pa <= pc ? previous : pb <= pc ? upper : upperLeft;
            }
            packed.push_back(uint8_t(predicted - planes[i]));
            previous = planes[i];
        }
    }
    Rar29PendingFilter filter;
    filter.kind = Rar29FilterKind::Rgb;
    filter.registers[0] = width;
    filter.registers[1] = redAt;
    EXPECT_EQ(Filtered(filter, packed), original);
}

TEST(Rar29Filters, ParametersTheProgramWouldRefuseLeaveTheBlockAsItIs) {
    std::vector<unsigned char> packed = RandomBytes(100, 3);
    Rar29PendingFilter filter;
    filter.kind = Rar29FilterKind::Delta; // no channels
    EXPECT_EQ(Filtered(filter, packed), packed);
    filter.kind = Rar29FilterKind::Rgb; // a red offset past the pixel
    filter.registers[0] = 30;
    filter.registers[1] = 3;
    EXPECT_EQ(Filtered(filter, packed), packed);
}

class Bytes : public PackedSource {
  public:
    explicit Bytes(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
    size_t Read(unsigned char* to, size_t size) override {
        size_t n = std::min({size, bytes_.size() - at_, size_t(777)});
        if (n == 0)
            return 0; // an empty vector's data() may be null, which memcpy must not get
        std::memcpy(to, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

  private:
    std::vector<unsigned char> bytes_;
    size_t at_ = 0;
};

TEST(Rar29Unpack, DamagedDataEndsWithAnErrorAndNeverMoreThanAsked) {
    auto unpacker = MakeRar29Unpacker(1 << 20);
    for (uint64_t seed = 0; seed < 150; ++seed) {
        SCOPED_TRACE(seed);
        std::vector<unsigned char> bytes = RandomBytes(size_t(seed * 37 % 3000), seed);
        // Half of them start an LZ block, so that the tables and symbols are reached.
        if (!bytes.empty() && seed % 2 == 0)
            bytes[0] &= 0x7f;
        const uint64_t asked = uint64_t(1) << (seed % 20);
        uint64_t got = 0;
        Bytes source(bytes);
        std::string error;
        bool ok = unpacker->Unpack(
            source, asked, seed % 3 == 1,
            [&](const unsigned char*, size_t n) {
                got += n;
                return true;
            },
            &error);
        EXPECT_LE(got, asked);
        if (ok)
            EXPECT_EQ(got, asked);
        else
            EXPECT_FALSE(error.empty());
    }
}

TEST(Rar29Unpack, NoDataIsAnError) {
    auto unpacker = MakeRar29Unpacker(64 << 10);
    Bytes source({});
    std::string error;
    EXPECT_FALSE(unpacker->Unpack(
        source, 10, false, [](const unsigned char*, size_t) { return true; }, &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
