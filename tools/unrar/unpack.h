#pragma once
// The decompressors of RAR 2.9-4.x and RAR5 files, our own, so that an encrypted compressed set
// is decrypted and unpacked in this process and no other program is handed the password. They
// pull the file's packed bytes (already decrypted, across its volumes) from a PackedSource and
// push the unpacked bytes to a sink as the window fills.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The packed bytes of one file, in order.
class PackedSource {
  public:
    virtual ~PackedSource() = default;
    // Up to `size` bytes into `to`; 0 when the file's packed data has ended (or could not be
    // read: the source keeps that message itself).
    virtual size_t Read(unsigned char* to, size_t size) = 0;
};

// Takes unpacked bytes; false stops the unpacking (the output could not be written).
using UnpackSink = std::function<bool(const unsigned char* data, size_t size)>;

class Unpacker {
  public:
    virtual ~Unpacker() = default;
    // Writes the `unpackedSize` bytes of one file to `sink`. `solid`: the file goes on from the
    // state the previous file of the set left (window, tables, model, filters); otherwise it
    // starts afresh. false: `*error` says what is wrong with the data, or is empty when the sink
    // refused. Damaged data ends in false, never in a crash, a hang or more bytes than asked.
    virtual bool Unpack(PackedSource& in, uint64_t unpackedSize, bool solid, const UnpackSink& sink,
                        std::string* error) = 0;
};

// RAR 2.9-4.x files (unpack version 29 and 36): LZ with Huffman codes, PPMd, and the filters
// of RAR's virtual machine. `dictionaryBytes` as the file's header says (64 KiB to 4 MiB).
std::unique_ptr<Unpacker> MakeRar29Unpacker(size_t dictionaryBytes);
// RAR5 files (compression version 0): `dictionaryBytes` as the file's header says.
std::unique_ptr<Unpacker> MakeRar5Unpacker(size_t dictionaryBytes);
