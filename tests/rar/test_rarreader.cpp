// The reader over sets written by the test: geometry arithmetic, volume boundaries, missing
// and truncated volumes, download suffixes, large files, refused reads and two threads.
#include "platform/textutil.h"
#include "rar/rarreader.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

namespace {
const std::string kBadArchive =
    "message:Error RAR:This isn’t good RAR file!\nComplete download first rar file (e. "
    "move.rar) and last Rar file (e move.r47) before play.";

// Old-scheme names written without the reader's help: base.rar, base.r00, base.r01, ...
std::vector<std::string> OldNames(const std::string& base, int count) {
    std::vector<std::string> names{base + ".rar"};
    for (int k = 1; k < count; ++k)
        names.push_back(base + Format(".r%02d", k - 1));
    return names;
}

std::string Read(RarVolumeSet& set, int64_t pos, int len) {
    std::string out(size_t(len), '\x55');
    set.rarread(out.data(), pos, len);
    return out;
}

class RarReader : public ::testing::Test {
  protected:
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped{&port};
};

TEST_F(RarReader, PositionArithmeticFollowsTheShare) {
    RarVolumeSet set;
    set.volumeDataSize = 50000000;
    set.dataOffset = 60;
    struct Row {
        int64_t pos, volume, inPart, left;
    };
    const Row rows[] = {
        {0, 0, 60, 50000000},        {49999999, 0, 50000059, 1},        {50000000, 1, 60, 50000000},
        {149999999, 2, 50000059, 1}, {5000000000ll, 100, 60, 50000000},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(set.numerpliku(r.pos), r.volume) << r.pos;
        EXPECT_EQ(set.seekinpart(r.pos), r.inPart) << r.pos;
        EXPECT_EQ(set.pozostalo(r.pos), r.left) << r.pos;
    }
}

TEST_F(RarReader, ReadsCrossBoundariesOfSparseFiftyMegabyteVolumes) {
    const int32_t share = 50000000;
    const uint64_t size = 3ull * share - 1000;
    RarMarks marks = {{0, "first"},
                      {uint64_t(share) - 8, "ABCDEFGHijklmnopqrst"},
                      {uint64_t(share) * 2 - 3, "xyz123"},
                      {size - 4, "tail"}};
    StoredSetOptions options;
    options.share = share;
    ASSERT_TRUE(WriteStoredSet(OldNames(dir.file("movie"), 3), size, marks, options));

    ASSERT_TRUE(isRarFileName(dir.file("movie.rar")));
    raropen();
    rarseek(0);
    EXPECT_EQ(s.volumeDataSize, share);
    EXPECT_EQ(s.unpackedSize, size);
    EXPECT_EQ(s.dataOffset, int32_t(StoredSetHead(size, options).size()));

    char buf[32];
    rarread(buf, 0, 5);
    EXPECT_EQ(std::string(buf, 5), "first");
    // 8 bytes from the end of volume 0's share, 12 from the start of volume 1's.
    rarread(buf, share - 8, 20);
    EXPECT_EQ(std::string(buf, 20), "ABCDEFGHijklmnopqrst");
    EXPECT_EQ(s.openVolumeIndex, 1);
    rarseek(2ll * share - 3);
    EXPECT_EQ(rarreadnic(buf, 6), 6);
    EXPECT_EQ(std::string(buf, 6), "xyz123");
    EXPECT_EQ(s.position, 2ll * share + 3);
    rarread(buf, int64_t(size) - 4, 4);
    EXPECT_EQ(std::string(buf, 4), "tail");
    // Past the end: the end-of-archive block of the last volume, then zeros.
    rarread(buf, int64_t(size), 10);
    EXPECT_EQ(std::string(buf, 10), std::string("\xc4\x3d\x7b\x00\x40\x07\x00\0\0\0", 10));
}

TEST_F(RarReader, AMissingVolumeReadsAsZerosAndTheNextOneAsItself) {
    const int32_t share = 1000;
    std::string movie = RandomBytes(4500, 1);
    StoredSetOptions options;
    options.share = share;
    std::vector<std::string> names = OldNames(dir.file("gap"), 5);
    ASSERT_TRUE(WriteStoredSet(names, movie.size(), {{0, movie}}, options));
    std::filesystem::remove(names[2]);

    RarVolumeSet set;
    ASSERT_TRUE(set.OpenSet(dir.file("gap.rar")));
    std::string expected = movie;
    std::fill(expected.begin() + 2000, expected.begin() + 3000, '\0');
    EXPECT_EQ(Read(set, 1500, 2000), expected.substr(1500, 2000));
    EXPECT_EQ(Read(set, 0, 4500), expected);
    EXPECT_TRUE(port.Events().empty()) << "a missing volume is not reported";
}

TEST_F(RarReader, UnfinishedDownloadNamesAreTriedAfterThePlainName) {
    const int32_t share = 700;
    std::string movie = RandomBytes(2000, 2);
    StoredSetOptions options;
    options.share = share;
    std::vector<std::string> names;
    for (int k = 1; k <= 3; ++k)
        names.push_back(dir.file(Format("dl.part%d.rar", k)));
    ASSERT_TRUE(WriteStoredSet(names, movie.size(), {{0, movie}}, options));
    std::filesystem::rename(names[0], names[0] + ".!ut");
    std::filesystem::rename(names[1], names[1] + ".bc!");
    // A plain name, when present, wins over the suffixed ones.
    std::filesystem::copy_file(names[2], names[2] + ".bc!");
    WriteFile(names[2] + ".!ut", "garbage");

    RarVolumeSet set;
    ASSERT_TRUE(set.OpenSet(names[0]));
    EXPECT_EQ(Read(set, 0, 2000), movie);
}

TEST_F(RarReader, AVolumeShorterThanItsShareEndsInZeros) {
    const int32_t share = 1000;
    std::string movie = RandomBytes(2500, 3);
    StoredSetOptions options;
    options.share = share;
    std::vector<std::string> names = OldNames(dir.file("cut"), 3);
    ASSERT_TRUE(WriteStoredSet(names, movie.size(), {{0, movie}}, options));
    const int32_t offset = int32_t(StoredSetHead(movie.size(), options).size());
    std::filesystem::resize_file(names[1], uint64_t(offset + 300));

    RarVolumeSet set;
    ASSERT_TRUE(set.OpenSet(names[0]));
    std::string expected = movie;
    std::fill(expected.begin() + 1300, expected.begin() + 2000, '\0');
    EXPECT_EQ(Read(set, 0, 2500), expected);
    EXPECT_EQ(Read(set, 1299, 3), expected.substr(1299, 3));
}

TEST_F(RarReader, AFirstVolumeBeginningRarInAnyCaseIsAccepted) {
    for (const char* signature : {"RAR!", "rar!"}) {
        StoredSetOptions options;
        options.share = 100;
        std::vector<std::string> names = OldNames(dir.file(signature[0] == 'R' ? "up" : "low"), 1);
        ASSERT_TRUE(WriteStoredSet(names, 50, {{0, std::string(50, 'm')}}, options));
        std::string bytes = ReadFile(names[0]);
        WriteFile(names[0], signature + bytes.substr(4));
        RarVolumeSet set;
        EXPECT_TRUE(set.OpenSet(names[0])) << signature;
        EXPECT_EQ(Read(set, 0, 50), std::string(50, 'm'));
    }
    EXPECT_TRUE(port.Events().empty());
}

TEST_F(RarReader, FiveBillionBytesWithTheLargeFileFlag) {
    const uint64_t size = 5000000000ull;
    const int32_t share = 2000000000;
    StoredSetOptions options;
    options.share = share;
    options.largeFile = true;
    RarMarks marks = {{0, "head"}, {uint64_t(share) * 2 - 2, "crossing"}, {size - 3, "end"}};
    std::vector<std::string> names;
    for (int k = 1; k <= 3; ++k)
        names.push_back(dir.file(Format("big.%03d", k)));
    ASSERT_TRUE(WriteStoredSet(names, size, marks, options));

    testing::internal::CaptureStdout();
    ASSERT_TRUE(isRarFileName(names[0]));
    raropen();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file > 2GB\n");
    EXPECT_EQ(s.unpackedSize, size);
    char buf[8];
    rarseek(int64_t(share) * 2 - 2);
    rarreadnic(buf, 8);
    EXPECT_EQ(std::string(buf, 8), "crossing");
    rarread(buf, int64_t(size) - 3, 3);
    EXPECT_EQ(std::string(buf, 3), "end");
}

TEST_F(RarReader, BadFirstVolumesGiveTheMessageAndNoGeometry) {
    StoredSetOptions options;
    options.share = 100;
    std::vector<std::string> good = OldNames(dir.file("good"), 1);
    ASSERT_TRUE(WriteStoredSet(good, 60, {{0, std::string(60, 'g')}}, options));
    std::string head = StoredSetHead(60, options);

    struct Case {
        const char* name;
        std::string bytes; // empty: the file does not exist
    };
    std::string zeroSize = head;
    zeroSize[12] = zeroSize[11] = 0; // main header size 0
    // A main header of 5003 bytes puts the file header at 5010, past the 5000 looked at.
    std::string beyond = head.substr(0, 7) + std::string("\0\0\x73\0\0\x8b\x13", 7) +
                         std::string(5003 - 7, '\0') + head.substr(20);
    const Case cases[] = {
        {"absent.rar", ""},           {"zip.rar", "PK\x03\x04 not a rar file"},
        {"empty.rar", std::string()}, {"zero.rar", zeroSize},
        {"beyond.rar", beyond},       {"short.rar", head.substr(0, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) != "absent.rar")
            WriteFile(dir.file(c.name), c.bytes);
        RarVolumeSet set;
        ASSERT_TRUE(set.OpenSet(good[0]));
        port.Clear();
        ASSERT_TRUE(set.isRarFileName(dir.file(c.name).c_str()));
        EXPECT_FALSE(set.raropen());
        EXPECT_EQ(port.Events(), std::vector<std::string>{kBadArchive});
        EXPECT_EQ(set.volumeDataSize, 0);
        EXPECT_EQ(set.unpackedSize, 0u);
        // Reads are refused: zeros, and no geometry of the previous set is used.
        std::string got = "xxxxxxxx";
        EXPECT_FALSE(set.rarread(got.data(), 0, 8));
        EXPECT_EQ(got, std::string(8, '\0'));
        EXPECT_EQ(set.rarreadnic(got.data(), 8), 8);
    }
}

TEST_F(RarReader, ReadsBeforeAnyGeometryAndAtNegativePositionsAreRefused) {
    RarVolumeSet fresh;
    char buf[4] = {1, 2, 3, 4};
    EXPECT_FALSE(fresh.rarread(buf, 0, 4));
    EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
    EXPECT_EQ(fresh.numerpliku(123), 0);
    EXPECT_EQ(fresh.pozostalo(123), 0);
    // raropen without a recognised name is the bad-archive case.
    EXPECT_FALSE(fresh.raropen());
    EXPECT_EQ(port.Events(), std::vector<std::string>{kBadArchive});

    StoredSetOptions options;
    options.share = 10;
    std::vector<std::string> names = OldNames(dir.file("neg"), 2);
    ASSERT_TRUE(WriteStoredSet(names, 15, {{0, "0123456789abcde"}}, options));
    RarVolumeSet set;
    ASSERT_TRUE(set.OpenSet(names[0]));
    std::memset(buf, 7, 4);
    EXPECT_FALSE(set.rarread(buf, -2, 4));
    EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
    EXPECT_FALSE(set.rarread(buf, INT64_MAX - 1, 4));
    EXPECT_TRUE(set.rarread(buf, 8, 4));
    EXPECT_EQ(std::string(buf, 4), "89ab");
}

TEST_F(RarReader, TwoThreadsEachHoldingTheLockReadTheirOwnSet) {
    StoredSetOptions options;
    options.share = 333;
    std::string movieA = RandomBytes(3000, 10), movieB = RandomBytes(2000, 11);
    ASSERT_TRUE(WriteStoredSet(OldNames(dir.file("a"), 10), movieA.size(), {{0, movieA}}, options));
    ASSERT_TRUE(WriteStoredSet(OldNames(dir.file("b"), 7), movieB.size(), {{0, movieB}}, options));
    std::atomic<int> wrong{0};
    auto worker = [&](const std::string& first, const std::string& movie) {
        std::mt19937 gen(uint32_t(movie.size()));
        for (int i = 0; i < 300; ++i) {
            auto lock = s.Lock();
            if (!s.OpenSet(first) || s.unpackedSize != movie.size())
                ++wrong;
            int64_t pos = gen() % movie.size();
            int len = int(1 + gen() % (movie.size() - size_t(pos)));
            std::string got(size_t(len), '\0');
            s.rarseek(pos);
            s.rarreadnic(got.data(), len);
            if (got != movie.substr(size_t(pos), size_t(len)))
                ++wrong;
        }
    };
    std::thread a(worker, dir.file("a.rar"), movieA);
    std::thread b(worker, dir.file("b.rar"), movieB);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}
} // namespace
