// libFuzzer target: our RAR 2.9-4.x decompressor over the fuzzer's bytes as packed data. The
// first byte chooses the window, the size asked for and whether a second, solid file follows
// (the rest is cut in two), so that damaged tables, PPM blocks and filter records, and state
// carried into a solid file, are all reached without an archive around them.
#include "tools/unrar/unpack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {
class BytesSource : public PackedSource {
  public:
    BytesSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Read(unsigned char* to, size_t size) override {
        // Odd pieces, as the volumes and decryption hand them over.
        size_t n = std::min({size, size_ - at_, size_t(1 + at_ % 97)});
        std::memcpy(to, data_ + at_, n);
        at_ += n;
        return n;
    }

  private:
    const uint8_t* data_;
    size_t size_, at_ = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const unsigned choice = data[0];
    ++data;
    --size;
    const size_t window = size_t(64) << 10 << (choice & 7);            // 64 KiB to 8 MiB
    const uint64_t wanted = uint64_t(1) << (8 + ((choice >> 3) & 15)); // 256 B to 8 MiB
    const bool twoFiles = choice & 0x80;
    auto unpacker = MakeRar29Unpacker(window);
    uint64_t total = 0;
    UnpackSink sink = [&](const unsigned char*, size_t n) {
        total += n;
        return true;
    };
    const size_t first = twoFiles ? size / 2 : size;
    std::string error;
    BytesSource one(data, first);
    bool ok = unpacker->Unpack(one, wanted, false, sink, &error);
    if (total > wanted || (ok && total != wanted) || (!ok && error.empty()))
        __builtin_trap();
    if (twoFiles) {
        total = 0;
        BytesSource two(data + first, size - first);
        ok = unpacker->Unpack(two, wanted, true, sink, &error);
        if (total > wanted || (ok && total != wanted) || (!ok && error.empty()))
            __builtin_trap();
    }
    return 0;
}
