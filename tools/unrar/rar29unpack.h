#pragma once
// The decompressor of RAR 2.9-4.x files (unpack versions 29 and 36): LZ blocks with Huffman
// codes, PPMd blocks, and the standard filters, over one window that the files of a solid set
// share. MakeRar29Unpacker (unpack.h) returns it.
#include "tools/unrar/huffman.h"
#include "tools/unrar/ppmdrar.h"
#include "tools/unrar/rar29filters.h"
#include "tools/unrar/unpack.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Rar29Unpacker : public Unpacker {
  public:
    explicit Rar29Unpacker(size_t dictionaryBytes);
    bool Unpack(PackedSource& in, uint64_t unpackedSize, bool solid, const UnpackSink& sink,
                std::string* error) override;

    // The code lengths of a table block: main symbols, distances, low distance bits, lengths.
    static constexpr size_t kMainSymbols = 299, kDistSymbols = 60, kLowDistSymbols = 17,
                            kLengthSymbols = 28;
    static constexpr size_t kTableSize =
        kMainSymbols + kDistSymbols + kLowDistSymbols + kLengthSymbols;

  private:
    enum class Step { Go, FileEnd, Failed };
    struct Run; // what one call of Unpack works with

    void StartAfresh();
    bool ReadTables(Run& run);
    Step DecodeLz(Run& run);
    Step DecodePpm(Run& run);
    Step EndOfBlock(Run& run);
    Step ReadFilterLz(Run& run);
    Step ReadFilterPpm(Run& run);
    Step AddFilter(Run& run, unsigned flags, const std::vector<unsigned char>& record);
    void FinishFileState(Run& run);
    bool Flush(Run& run);
    bool ApplyFilters(Run& run, size_t index);
    bool Emit(Run& run, const unsigned char* data, size_t size, uint64_t at);
    bool EmitWindow(Run& run, uint64_t from, uint64_t to);
    Step Fail(Run& run, const char* what);

    void Put(unsigned char byte) { window_[pos_++ & mask_] = byte; }
    void Copy(uint32_t length, uint32_t distance) {
        for (uint32_t i = 0; i < length; ++i, ++pos_)
            window_[pos_ & mask_] = window_[(pos_ - distance) & mask_];
    }
    void InsertOldDistance(uint32_t distance) {
        for (size_t i = oldDist_.size() - 1; i > 0; --i)
            oldDist_[i] = oldDist_[i - 1];
        oldDist_[0] = distance;
    }

    // The window and where we stand in it, as positions in the whole solid stream.
    std::vector<unsigned char> window_;
    uint64_t mask_ = 0;
    uint64_t pos_ = 0;     // next byte to unpack
    uint64_t written_ = 0; // bytes given to the sink (or passed over at a file's end)
    uint64_t fileStart_ = 0, fileEnd_ = 0;

    // LZ state.
    HuffmanTable main_, dist_, lowDist_, length_;
    std::array<unsigned char, kTableSize> lengths_{}; // the last table, for delta-coded updates
    bool tablesRead_ = false;
    std::array<uint32_t, 4> oldDist_{};
    uint32_t lastLength_ = 0;
    uint32_t lowDistRepeats_ = 0, prevLowDist_ = 0;

    // PPM state.
    bool ppmBlock_ = false;
    int escape_ = 2;
    RarPpmd ppm_;

    Rar29Filters filters_;
    std::vector<unsigned char> filterMemory_;
};
