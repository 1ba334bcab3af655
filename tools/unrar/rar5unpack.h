#pragma once
// The RAR5 decompressor (compression version 0): LZ matches over a window of up to the file's
// dictionary, coded with four Huffman tables that each block may replace, and the DELTA, x86
// and ARM filters that undo what the packer did to make such data pack better.
//
// Positions are kept as counts of bytes since the stream began (across the files of a solid
// set), not as offsets into the window: a filter's block, what has been written and what has
// been unpacked then compare plainly, and the window is only the last bytes of that stream.
#include "tools/unrar/bitinput.h"
#include "tools/unrar/huffman.h"
#include "tools/unrar/unpack.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class Rar5Unpacker : public Unpacker {
  public:
    // RAR5 allows dictionaries of up to 4 GiB; beyond this we refuse rather than allocate.
    static constexpr uint64_t kMaxDictionary = uint64_t(1) << 30;

    explicit Rar5Unpacker(size_t dictionaryBytes) : dictionary_(dictionaryBytes) {}
    bool Unpack(PackedSource& in, uint64_t unpackedSize, bool solid, const UnpackSink& sink,
                std::string* error) override;

  private:
    enum FilterType : uint8_t { kDelta = 0, kE8 = 1, kE8E9 = 2, kArm = 3 };
    struct Filter {
        uint64_t start = 0; // stream position of its first byte
        uint32_t length = 0;
        FilterType type = kDelta;
        unsigned channels = 0; // DELTA only
    };
    // One file's run: the state that does not outlive it.
    struct Run {
        Run(BitInput& input, const UnpackSink& output) : in(input), sink(output) {}
        BitInput& in;
        const UnpackSink& sink;
        uint64_t fileStart = 0, fileEnd = 0; // stream positions
        uint64_t blockEnd = 0;               // bit position where the current block's codes end
        uint64_t nextHeader = 0;             // bit position of the next block header
        bool lastBlock = false;
        bool started = false; // the first block header was read
        uint64_t emitted = 0; // bytes given to the sink
        std::string error;
        bool sinkRefused = false;
    };

    void Reset();
    bool PrepareWindow(uint64_t unpackedSize, bool solid, std::string* error);
    bool NextBlock(Run& run);
    bool ReadTables(Run& run);
    bool DecodeUntil(Run& run, uint64_t limit);
    bool ReadFilter(Run& run);
    unsigned SlotToLength(BitInput& in, unsigned slot);
    void CopyMatch(uint64_t length, uint64_t distance);
    bool Flush(Run& run, uint64_t upTo);
    bool Emit(Run& run, const unsigned char* data, size_t size);
    bool EmitWindow(Run& run, uint64_t from, uint64_t to);
    bool RunFilter(Run& run, const Filter& filter);
    bool Fail(Run& run, const std::string& what);

    uint64_t dictionary_;
    std::vector<unsigned char> window_;
    uint64_t mask_ = 0;
    uint64_t flushChunk_ = 0; // unpack at most this far ahead of the output between flushes
    uint64_t unpacked_ = 0;   // stream position of the next byte to unpack
    uint64_t written_ = 0;    // stream position of the next byte to write (or to filter)

    HuffmanTable main_, distance_, lowDistance_, repeat_;
    bool tablesRead_ = false;
    bool broken_ = false; // a file failed: a solid file after it cannot go on from its state
    std::array<uint64_t, 4> oldDistances_{};
    unsigned lastLength_ = 0;

    std::deque<Filter> filters_;             // waiting, in stream order
    uint64_t lastFilterEnd_ = 0;             // filters may not overlap
    std::vector<unsigned char> filterInput_; // the front filter's bytes gathered so far
    std::vector<unsigned char> filterOutput_;
};
