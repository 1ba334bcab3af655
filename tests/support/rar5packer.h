#pragma once
// A small RAR5 compressor for tests and benches (no real rar compressor is packaged in
// Debian's main archive): greedy LZ matching over hash chains, the four last distances and
// "repeat the last match", Huffman tables built per block, and the DELTA, x86 and ARM filters
// over parts of a file. Its output is plain RAR5 (libarchive reads it), so that the decoder
// can be tried on filters, solid streams and windows that wrap, at any size.
#include <cstdint>
#include <string>
#include <vector>

enum class Rar5Filter { None, Delta, E8, E8E9, Arm };

class Rar5Packer {
  public:
    // `dictionaryLog`: the window is 2^dictionaryLog bytes (17 = 128 KiB, the smallest).
    explicit Rar5Packer(unsigned dictionaryLog = 22);
    // The packed data of one more file of the stream: it may refer back into the files packed
    // before it (a solid set) when the unpacker keeps its state too. `filter` covers 64 KiB
    // of every 256 KiB of it.
    std::string Pack(const std::string& data, Rar5Filter filter = Rar5Filter::None);
    unsigned dictionaryLog() const { return dictionaryLog_; }

  private:
    struct Token;
    struct FilterBlock;
    void WriteBlock(const std::vector<Token>& tokens, const std::vector<FilterBlock>& filters,
                    bool last, std::string* out) const;

    unsigned dictionaryLog_;
    std::string history_; // everything packed so far
    std::vector<int64_t> head_, previous_;
    uint64_t oldDistances_[4] = {0, 0, 0, 0};
    uint32_t lastLength_ = 0;
};

struct Rar5PackedFile {
    std::string name;
    std::string data;
};

// A single-volume RAR5 archive of the files, compressed (solid: one stream), each with its
// CRC32.
std::string Rar5CompressedArchive(const std::vector<Rar5PackedFile>& files, bool solid,
                                  unsigned dictionaryLog = 22,
                                  Rar5Filter filter = Rar5Filter::None);
