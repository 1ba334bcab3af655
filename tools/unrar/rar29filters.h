#pragma once
// The filters of RAR 2.9-4.x. The format carries them as programs for a virtual machine, but
// RAR itself only ever writes six fixed programs (x86 calls, x86 calls and jumps, IA-64
// branches, byte deltas, RGB images, audio), so we recognise those by their length and CRC32
// and run our own code for them; any other program is refused rather than guessed at.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class Rar29FilterKind : uint8_t { E8, E8E9, Itanium, Delta, Rgb, Audio };

// One use of a filter: a block of the unpacked stream, waiting until the window holds it whole.
struct Rar29PendingFilter {
    uint64_t start = 0; // in the unpacked stream of the whole solid set
    uint32_t length = 0;
    Rar29FilterKind kind = Rar29FilterKind::E8;
    std::array<uint32_t, 7> registers{}; // the program's start registers (channels, width...)
};

// What a filter runs in: its block at the start, room for an output of the same size behind.
constexpr size_t kRar29FilterMemory = 0x40000;

class Rar29Filters {
  public:
    // One filter record as the packer writes it: `flags` (its first byte) and the bytes that
    // follow. `position`: where unpacking stands, which the block start counts from.
    bool Add(unsigned flags, const std::vector<unsigned char>& record, uint64_t position,
             std::string* error);
    // Forgets the programs too: a file that is not solid starts without any.
    void Reset();
    // Uses still waiting when a file ends belong to it alone; the programs carry on.
    void DropPending() { pending_.clear(); }
    std::vector<Rar29PendingFilter>& pending() { return pending_; }

  private:
    std::vector<Rar29FilterKind> programs_;
    std::vector<uint32_t> lastLengths_; // per program: the block length it was used with last
    size_t lastProgram_ = 0;
    std::vector<Rar29PendingFilter> pending_;
};

// Runs `filter` over the `filter.length` bytes at the start of `memory` (kRar29FilterMemory
// bytes and a few more). `fileOffset`: where the block starts in its file (the x86 filters
// turn addresses relative to it). Answers where the output lies in `memory`; parameters the
// program would refuse leave the block as it is, as RAR's own machine does.
const unsigned char* RunRar29Filter(const Rar29PendingFilter& filter, uint32_t fileOffset,
                                    unsigned char* memory);
