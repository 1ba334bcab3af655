// The PPMd model and range decoder of RAR 2.9 text blocks, on their own: PPM-only files of the
// public corpus decode to their CRCs (one of them solid, its second file going on from the
// model the first left), blocks that name no usable model are refused, and damaged or random
// data ends in -1 without a crash or a hang.
#include "tests/support/testenv.h"
#include "tools/unrar/ppmdrar.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {

class BytesSource : public PackedSource {
  public:
    explicit BytesSource(std::string bytes) : bytes_(std::move(bytes)) {}
    size_t Read(unsigned char* to, size_t size) override {
        size_t n = std::min(size, bytes_.size() - at_);
        if (n != 0)
            std::memcpy(to, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

  private:
    std::string bytes_;
    size_t at_ = 0;
};

uint32_t Le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + size_t(i)]);
    return v;
}

struct PackedFile {
    std::string data;
    uint32_t unpackedSize = 0;
    uint32_t crc = 0;
};

// The packed data of each compressed file of a RAR 2.9 archive (single volume, sizes under
// 4 GiB).
std::vector<PackedFile> PackedFiles(const std::string& archive) {
    std::vector<PackedFile> files;
    size_t at = archive.find(std::string("Rar!\x1a\x07\x00", 7));
    if (at == std::string::npos)
        return files;
    at += 7;
    while (at + 7 <= archive.size()) {
        unsigned type = static_cast<unsigned char>(archive[at + 2]);
        uint32_t flags = Le(archive, at + 3, 2);
        uint32_t headerSize = Le(archive, at + 5, 2);
        if (headerSize < 7)
            break;
        uint32_t added = (flags & 0x8000) || type == 0x74 ? Le(archive, at + 7, 4) : 0;
        bool directory = (flags & 0xe0) == 0xe0;
        bool stored = static_cast<unsigned char>(archive[at + 25]) == 0x30;
        if (type == 0x74 && !directory && !stored) {
            PackedFile file;
            file.unpackedSize = Le(archive, at + 11, 4);
            file.crc = Le(archive, at + 16, 4);
            file.data = archive.substr(at + headerSize, added);
            files.push_back(file);
        }
        if (type == 0x7b)
            break;
        at += headerSize + added;
    }
    return files;
}

// Unpacks a file made of PPM blocks only, as RAR's LZ decoder would with its escape codes
// (1: the escape byte itself, 2: end of file, 4 and 5: copies). "" when it needs more than
// PPM (LZ tables, filter code) or the data is damaged.
std::string UnpackPpmOnly(RarPpmd& ppm, BitInput& in, int& escape, std::string& window,
                          size_t limit) {
    if (!(in.Peek16() & 0x8000) || !ppm.StartBlock(in, escape))
        return "";
    size_t start = window.size();
    while (window.size() - start < limit) {
        int c = ppm.DecodeChar(in);
        if (c < 0)
            return "";
        if (c != escape) {
            window.push_back(char(c));
            continue;
        }
        int code = ppm.DecodeChar(in);
        if (code == 2)
            break;
        size_t length = 0, distance = 0;
        if (code == 1) {
            window.push_back(char(escape));
            continue;
        } else if (code == 4) {
            int bytes[4];
            for (int& b : bytes)
                if ((b = ppm.DecodeChar(in)) < 0)
                    return "";
            distance = size_t((bytes[0] << 16) | (bytes[1] << 8) | bytes[2]) + 2;
            length = size_t(bytes[3]) + 32;
        } else if (code == 5) {
            int b = ppm.DecodeChar(in);
            if (b < 0)
                return "";
            distance = 1;
            length = size_t(b) + 4;
        } else {
            return "";
        }
        if (distance > window.size())
            return "";
        for (size_t i = 0; i < length; ++i)
            window.push_back(window[window.size() - distance]);
    }
    return window.substr(start);
}

uint32_t Crc(const std::string& s) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size())));
}

std::string Corpus(const std::string& name) {
    return ReadFile(SharedDir() + "/testdata/rar-corpus/" + name);
}

// Steps a decoder through a stream until it gives up; false if it is still going after far
// more bytes than the stream could hold.
bool EndsInFailure(RarPpmd& ppm, const std::string& stream, size_t maxBytes) {
    BytesSource source(stream);
    BitInput in(source);
    int escape = 2;
    if (!ppm.StartBlock(in, escape))
        return true;
    for (size_t n = 0; n < maxBytes; ++n)
        if (ppm.DecodeChar(in) < 0)
            return true;
    return false;
}

} // namespace

TEST(RarPpmd, PpmFilesOfTheCorpusDecodeToTheirCrc) {
    QUORVAN_NEEDS_SHARED_DATA();
    std::vector<PackedFile> files =
        PackedFiles(Corpus("libarchive/test_read_format_rar_compress_best.rar"));
    ASSERT_EQ(files.size(), 3u);
    for (const PackedFile& file : files) {
        RarPpmd ppm;
        BytesSource source(file.data);
        BitInput in(source);
        int escape = 2;
        std::string window;
        std::string out = UnpackPpmOnly(ppm, in, escape, window, file.unpackedSize);
        EXPECT_EQ(out.size(), file.unpackedSize);
        EXPECT_EQ(Crc(out), file.crc);
        // The range decoder took no more than the file's packed bytes.
        EXPECT_LE(in.position(), file.data.size() * 8);
    }
}

TEST(RarPpmd, SolidFileGoesOnWithTheModelOfTheFileBefore) {
    QUORVAN_NEEDS_SHARED_DATA();
    // Two files of "1\n"; the second one's block starts no fresh model (flags 0x87).
    std::vector<PackedFile> files = PackedFiles(Corpus("rarfile/unicode.rar"));
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(static_cast<unsigned char>(files[1].data[0]), 0x87);
    RarPpmd ppm;
    int escape = 2;
    std::string window;
    for (const PackedFile& file : files) {
        BytesSource source(file.data);
        BitInput in(source);
        EXPECT_EQ(UnpackPpmOnly(ppm, in, escape, window, 1 << 20), "1\n");
    }
    // Without the first file's model, the second one cannot start.
    RarPpmd fresh;
    BytesSource source(files[1].data);
    BitInput in(source);
    EXPECT_FALSE(fresh.StartBlock(in, escape));
}

TEST(RarPpmd, BlocksWithoutAUsableModelAreRefused) {
    int escape = 2;
    auto start = [&](RarPpmd& ppm, std::string bytes) {
        bytes.append(16, '\0');
        BytesSource source(bytes);
        BitInput in(source);
        return ppm.StartBlock(in, escape);
    };
    RarPpmd ppm;
    EXPECT_FALSE(start(ppm, "\x80"));    // goes on with a model never started
    EXPECT_TRUE(start(ppm, "\xa7\x00")); // order 8, 1 MiB
    EXPECT_TRUE(start(ppm, "\x80"));     // goes on with it
    EXPECT_EQ(escape, 2);
    EXPECT_TRUE(start(ppm, "\xc0\x05")); // goes on, and names escape byte 5
    EXPECT_EQ(escape, 5);
    EXPECT_FALSE(start(ppm, "\xa0\x00")); // order 1: RAR's "no model"
    EXPECT_FALSE(start(ppm, "\x80"));     // so nothing goes on after it
    EXPECT_TRUE(start(ppm, "\xbf\x00"));  // order 64
    ppm.Reset();                          // a file that is not solid
    EXPECT_FALSE(start(ppm, "\x80"));
    BytesSource nothing("");
    BitInput in(nothing);
    EXPECT_EQ(ppm.DecodeChar(in), -1);
}

TEST(RarPpmd, RandomAndDamagedDataEndsInFailure) {
    std::mt19937 rng(20261210);
    RarPpmd ppm; // one model throughout, as in a solid set
    for (int run = 0; run < 300; ++run) {
        std::string stream(1 + rng() % 3000, '\0');
        for (char& c : stream)
            c = char(rng());
        // Mostly fresh models of every order with small heaps; some blocks go on with the last.
        stream[0] = char(0x80 | (rng() % 4 != 0 ? 0x20 : 0) | (rng() & 0x5f));
        if (stream.size() > 1)
            stream[1] = char(rng() % 4);
        if (run % 7 == 0)
            ppm.Reset();
        EXPECT_TRUE(EndsInFailure(ppm, stream, 1 << 20)) << "run " << run;
    }
}

TEST(RarPpmd, DamagedCorpusDataEndsInFailure) {
    QUORVAN_NEEDS_SHARED_DATA();
    std::vector<PackedFile> files =
        PackedFiles(Corpus("libarchive/test_read_format_rar_compress_best.rar"));
    ASSERT_FALSE(files.empty());
    const std::string& good = files[0].data;
    std::mt19937 rng(7);
    RarPpmd ppm;
    for (int run = 0; run < 200; ++run) {
        std::string stream = good;
        for (int flips = 1 + int(rng() % 6); flips > 0; --flips)
            stream[2 + rng() % (stream.size() - 2)] ^= char(1 << (rng() % 8));
        if (run % 5 == 0)
            stream.resize(rng() % stream.size());
        // Past its end the data reads as zeros, which the decoder must notice.
        EXPECT_TRUE(EndsInFailure(ppm, stream, 1 << 22)) << "run " << run;
    }
}
