// The reader over stored RAR5 volume sets: WinRAR's own (rarfile's test set) and sets written
// by binary/rar -ma5, checked against the stored file byte for byte and by unar.
#include "rar/rar5header.h"
#include "rar/rarvolumeset.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(RarVolumeSet& set, uint64_t from, uint64_t length) {
    std::string out(length, '\0');
    int64_t got = set.ReadUpToGap(out.data(), int64_t(from), int64_t(length));
    out.resize(size_t(got));
    return out;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

} // namespace

TEST(Rar5Reader, WinRarsVolumeSetReadsAsTheStoredFile) {
    QUORVAN_NEEDS_SHARED_DATA();
    RecorderPort port;
    ScopedPort scoped(&port);
    const std::string dir = SharedDir() + "/testdata/rar-corpus/rarfile/";
    RarVolumeSet set;
    // Any volume's name is rewritten to the first one's by the launch; the reader takes it.
    ASSERT_TRUE(set.OpenSet(dir + "rar5-vols.part1.rar"));
    EXPECT_EQ(set.format, 5);
    EXPECT_TRUE(set.stored);
    EXPECT_EQ(set.unpackedSize, 205000u);
    EXPECT_EQ(set.dataOffset, 75);
    EXPECT_EQ(set.VolumeCount(), 3u);
    // The first volume has no volume number: its share is a byte larger than the second's.
    EXPECT_EQ(set.VolumeSpan(0).share, 98489u);
    EXPECT_EQ(set.VolumeSpan(1).share, 98488u);
    EXPECT_EQ(set.VolumeSpan(1).offset, 76);
    EXPECT_EQ(set.VolumeSpan(2).start, 98489u + 98488u);
    std::string whole = ReadAll(set, 0, 205000);
    ASSERT_EQ(whole.size(), 205000u);
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(whole.data()), uInt(whole.size())),
              0x509ad74cu);
    // Reads across the volume boundaries agree with the whole.
    for (uint64_t at : {98480ull, 98489ull, 196970ull, 204990ull}) {
        std::vector<char> buffer(20);
        ASSERT_TRUE(set.rarread(buffer.data(), int64_t(at), 10));
        EXPECT_EQ(std::string(buffer.data(), 10), whole.substr(at, 10)) << at;
    }
    EXPECT_EQ(set.ContiguousExtent().bytes, 205000u);
}

TEST(Rar5Reader, AWrittenSetOfHundredsOfVolumesReadsExactlyAndNamesItsGaps) {
    RecorderPort port;
    ScopedPort scoped(&port);
    TempDir dir;
    // 1 KiB volumes: past the 128th the volume number takes two bytes of the archive header.
    const std::string movie = RandomBytes(300000, 7);
    WriteFile(dir.file("m.avi"), movie);
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-ma5", "-v1k",
                          dir.file("m"), dir.file("m.avi")},
                         &out),
              0)
        << out.substr(0, 500);
    const std::string first = dir.file("m.part001.rar");
    ASSERT_TRUE(fs::exists(first)) << out.substr(0, 500);
    RarVolumeSet set;
    ASSERT_TRUE(set.OpenSet(first));
    EXPECT_EQ(set.format, 5);
    uint64_t volumes = set.VolumeCount();
    EXPECT_GT(volumes, 200u);
    EXPECT_TRUE(fs::exists(dir.file("m.part" + std::to_string(volumes) + ".rar")));
    EXPECT_FALSE(fs::exists(dir.file("m.part" + std::to_string(volumes + 1) + ".rar")));
    EXPECT_TRUE(ReadAll(set, 0, movie.size()) == movie);
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i) {
        uint64_t at = random() % movie.size();
        int length = int(1 + random() % 3000);
        std::vector<char> buffer(static_cast<size_t>(length));
        set.rarread(buffer.data(), int64_t(at), length);
        size_t real = size_t(std::min<uint64_t>(uint64_t(length), movie.size() - at));
        ASSERT_EQ(std::string(buffer.data(), real), movie.substr(at, real)) << at << "+" << length;
    }

    // unar reads the set back exactly.
    ASSERT_EQ(RunCommand({"unar", "-q", "-f", "-D", "-o", dir.file("x"), first}, &out), 0) << out;
    EXPECT_TRUE(ReadFile(dir.file("x/m.avi")) == movie);

    // A volume cut short in the middle of the set: the stored file ends there.
    const std::string cut = dir.file("m.part150.rar");
    fs::resize_file(cut, 500);
    RarVolumeSet again;
    ASSERT_TRUE(again.OpenSet(first));
    RarVolumeSet::Extent extent = again.ContiguousExtent();
    EXPECT_EQ(extent.volume, 149);
    EXPECT_EQ(extent.name, cut);
    EXPECT_FALSE(extent.missing);
    EXPECT_EQ(extent.bytes,
              again.VolumeSpan(149).start + 500 - uint64_t(again.VolumeSpan(149).offset));
    EXPECT_TRUE(ReadAll(again, 0, movie.size()) == movie.substr(0, extent.bytes));
}

TEST(Rar5Reader, HostileHeadersGiveNoGeometry) {
    // Fuzz-found and hand-made: none may crash, loop or claim a usable file.
    std::mt19937 random(11);
    std::string head = std::string("Rar!\x1a\x07\x01\x00", 8);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes = head + RandomBytes(size_t(random() % 200), unsigned(i));
        Rar5VolumeInfo info =
            ParseRar5Volume(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (info.result == Rar5Result::Ok) {
            EXPECT_GT(info.dataSize, 0u);
            EXPECT_LE(uint64_t(info.dataOffset), bytes.size());
        }
    }
    // The longest vint is 10 bytes; an 11th continuation byte is no number.
    std::string vint(10, char(0x80));
    vint += '\x01';
    size_t at = 0;
    uint64_t value = 0;
    EXPECT_FALSE(
        ReadVint(reinterpret_cast<const unsigned char*>(vint.data()), vint.size(), &at, &value));
    std::string padded = "\x85\x80\x80";
    padded += '\0';
    at = 0;
    ASSERT_TRUE(ReadVint(reinterpret_cast<const unsigned char*>(padded.data()), padded.size(), &at,
                         &value));
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(at, 4u);
}
