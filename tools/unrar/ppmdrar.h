#pragma once
// The PPMd model (variant H) with the range coder of RAR 2.9-4.x, which packs text blocks
// with it between its LZ blocks. The model lives across blocks and across the files of a
// solid set until a block asks for a fresh one.
#include "tools/unrar/bitinput.h"

#include <memory>

class RarPpmd {
  public:
    RarPpmd();
    ~RarPpmd();
    RarPpmd(const RarPpmd&) = delete;
    RarPpmd& operator=(const RarPpmd&) = delete;

    // Reads the start of a PPM block from the (byte-aligned) input: its flag byte (0x80 set;
    // 0x20: a fresh model of order (flags & 0x1f) + 1 with the next byte + 1 MiB of memory;
    // 0x40: a new escape byte follows), then starts the range coder. `escape` is replaced when
    // the block names one. false: damaged, or the block goes on with a model never started.
    bool StartBlock(BitInput& in, int& escape);
    // The next byte of the block, or -1 when the data is damaged.
    int DecodeChar(BitInput& in);
    // Forgets the model (a file that is not solid starts without one).
    void Reset();

  private:
    struct Model;
    std::unique_ptr<Model> model_;
};
