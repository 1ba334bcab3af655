// Block encoding, volume planning and the command line of binary/rar.
#include "tests/support/testenv.h"
#include "tools/rarwriter/rarargs.h"
#include "tools/rarwriter/rarblocks.h"
#include "tools/rarwriter/rarwriter.h"

#include <gtest/gtest.h>
#include <numeric>
#include <zlib.h>

using namespace rarwriter;

namespace {

uint32_t Le32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}
uint16_t Le16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) |
                                 (static_cast<unsigned char>(s[at + 1]) << 8));
}

} // namespace

TEST(RarBlocks, MainHeaderOfAFirstVolumeIsByteForByteWhatWinRarWrites) {
    QUORVAN_NEEDS_SHARED_DATA();
    // rar3-old.rar: marker, then the archive header of a first volume (flags 0x0101).
    std::string winrar = ReadFile(SharedDir() + "/testdata/rar/rar3-old.rar");
    ASSERT_GE(winrar.size(), 20u);
    EXPECT_EQ(MarkerBlock(), winrar.substr(0, 7));
    EXPECT_EQ(MainHeader(kMainVolume | kMainFirstVolume), winrar.substr(7, 13));
    EXPECT_EQ(MainHeader(kMainVolume),
              ReadFile(SharedDir() + "/testdata/rar/rar3-old.r00").substr(7, 13));
}

TEST(RarBlocks, FileHeaderCarriesSizesAtTheOffsetsReadersUse) {
    struct Case {
        uint64_t fileSize, pieceSize;
        bool large;
    } cases[] = {
        {0, 0, false},
        {1, 1, false},
        {0xFFFFFFFFull, 99000000, false},
        {0x100000000ull, 99000000, true},
        {5000000000ull, 4294967296ull + 7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileSize);
        FilePiece piece{"movie.avi", c.fileSize, c.pieceSize, 0x12345678,
                        0100644,     1700000000, true,        false};
        std::string h = FileHeader(piece);
        ASSERT_EQ(h.size(), FileHeaderSize("movie.avi", c.fileSize));
        EXPECT_EQ(Le16(h, 5), h.size());
        EXPECT_EQ(Le16(h, 0),
                  static_cast<uint16_t>(crc32(0, reinterpret_cast<const Bytef*>(h.data()) + 2,
                                              static_cast<uInt>(h.size() - 2)) &
                                        0xFFFF));
        EXPECT_EQ(static_cast<unsigned char>(h[2]), kFileHead);
        uint16_t flags = Le16(h, 3);
        EXPECT_EQ((flags & kFileLarge) != 0, c.large);
        EXPECT_EQ(flags & (kFileSplitBefore | kFileSplitAfter), kFileSplitBefore);
        EXPECT_EQ(Le32(h, 7), static_cast<uint32_t>(c.pieceSize));
        EXPECT_EQ(Le32(h, 11), static_cast<uint32_t>(c.fileSize));
        EXPECT_EQ(Le32(h, 16), 0x12345678u);
        EXPECT_EQ(h[25], '0');
        if (c.large) {
            EXPECT_EQ(Le32(h, 32), static_cast<uint32_t>(c.pieceSize >> 32));
            EXPECT_EQ(Le32(h, 36), static_cast<uint32_t>(c.fileSize >> 32));
        }
        EXPECT_EQ(h.substr(h.size() - 9), "movie.avi");
    }
}

TEST(RarBlocks, EndBlockSaysWhetherAnotherVolumeFollows) {
    std::string middle = EndArcBlock(false, 3), last = EndArcBlock(true, 4);
    ASSERT_EQ(middle.size(), kEndArcSize);
    EXPECT_EQ(static_cast<unsigned char>(middle[2]), kEndArc);
    EXPECT_EQ(Le16(middle, 3) & kEndNextVolume, kEndNextVolume);
    EXPECT_EQ(Le16(last, 3) & kEndNextVolume, 0);
    EXPECT_EQ(Le16(middle, 7), 3);
    EXPECT_EQ(Le16(last, 7), 4);
}

TEST(RarBlocks, CrcOfZeroRunsEqualsTheCrcOfRealZeros) {
    uLong prefix = crc32(0, reinterpret_cast<const Bytef*>("abc"), 3);
    for (uint64_t length : {0ull, 1ull, 7ull, 65536ull + 3, 3000017ull}) {
        std::string zeros(length, '\0');
        uLong expected =
            crc32(prefix, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(length));
        EXPECT_EQ(Crc32Zeros(static_cast<uint32_t>(prefix), length), expected) << length;
    }
}

TEST(RarArgs, VolumeSizesAndTheirUnits) {
    struct Case {
        const char* text;
        bool ok;
        uint64_t bytes;
    } cases[] = {
        {"99M", true, 99000000},
        {"100k", true, 102400},
        {"5", true, 5000},
        {"7b", true, 7},
        {"3K", true, 3000},
        {"2m", true, 2097152},
        {"1g", true, 1073741824},
        {"2G", true, 2000000000},
        {"", false, 0},
        {"M", false, 0},
        {"0", false, 0},
        {"5x", false, 0},
        {"99MM", false, 0},
        {"-5", false, 0},
        {"99999999999999999999", false, 0},
        {"18446744073709551G", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t bytes = 0;
        EXPECT_EQ(ParseVolumeSize(c.text, &bytes), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
}

TEST(RarArgs, TheSplitCommandLineAndWhatIsRefused) {
    RarCommand cmd;
    std::string error;
    ASSERT_TRUE(ParseRarCommand({"a", "-ep", "-m0", "-o+", "-v99M", "-vn", "/d/my_movie_avi(KTZ)",
                                 "/m/my.movie.avi", "/p/binary/How to play.html"},
                                &cmd, &error))
        << error;
    EXPECT_EQ(cmd.firstVolume, "/d/my_movie_avi(KTZ).rar");
    EXPECT_EQ(cmd.volumeSize, 99000000u);
    EXPECT_TRUE(cmd.stripPaths);
    EXPECT_TRUE(cmd.overwrite);
    EXPECT_EQ(cmd.files,
              (std::vector<std::string>{"/m/my.movie.avi", "/p/binary/How to play.html"}));

    ASSERT_TRUE(ParseRarCommand({"a", "X.RAR", "f"}, &cmd, &error));
    EXPECT_EQ(cmd.firstVolume, "X.RAR");
    EXPECT_EQ(cmd.volumeSize, 0u);
    EXPECT_FALSE(cmd.overwrite);

    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{},
                                               {"x", "a.rar", "f"},
                                               {"a", "-m5", "a.rar", "f"},
                                               {"a", "-zz", "a.rar", "f"},
                                               {"a", "-v0", "a.rar", "f"},
                                               {"a", "a.rar"}}) {
        EXPECT_FALSE(ParseRarCommand(bad, &cmd, &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(StoredName("/a/b/c.avi", true), "c.avi");
    EXPECT_EQ(StoredName("/a/b/c.avi", false), "a/b/c.avi");
    EXPECT_EQ(StoredName("./b/c.avi", false), "b/c.avi");
}

TEST(RarPlan, EveryVolumeButTheLastIsExactlyTheVolumeSize) {
    const uint64_t volume = 1000;
    const uint64_t fixed = kMarkerSize + kMainHeaderSize + kEndArcSize;
    const uint64_t header = FileHeaderSize("m.avi", 1);
    const uint64_t share = volume - fixed - header; // file bytes one volume holds
    struct Case {
        uint64_t size;
        size_t volumes;
    } cases[] = {{0, 1},         {1, 1},         {share - 1, 1},    {share, 1},
                 {share + 1, 2}, {3 * share, 3}, {3 * share + 1, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<PlannedVolume> plan;
        std::string error;
        ASSERT_TRUE(PlanVolumes({{"m.avi", "m.avi", c.size, 0, 0}}, volume, &plan, &error));
        ASSERT_EQ(plan.size(), c.volumes);
        uint64_t offset = 0;
        for (size_t v = 0; v < plan.size(); ++v) {
            ASSERT_EQ(plan[v].size(), 1u);
            const PlannedPiece& p = plan[v][0];
            EXPECT_EQ(p.offset, offset);
            EXPECT_EQ(p.splitBefore, v > 0);
            EXPECT_EQ(p.splitAfter, v + 1 < plan.size());
            if (v + 1 < plan.size()) {
                EXPECT_EQ(p.length, share);
            }
            offset += p.length;
        }
        EXPECT_EQ(offset, c.size);
    }
}

TEST(RarPlan, FollowingFilesShareVolumesAndTinyVolumesAreRefused) {
    const uint64_t volume = 1000;
    std::vector<InputFile> files = {
        {"a", "a", 500, 0, 0}, {"b", "b", 100, 0, 0}, {"c", "c", 900, 0, 0}};
    std::vector<PlannedVolume> plan;
    std::string error;
    ASSERT_TRUE(PlanVolumes(files, volume, &plan, &error));
    ASSERT_GE(plan.size(), 2u);
    ASSERT_EQ(plan[0].size(), 3u); // a, b and the start of c
    EXPECT_TRUE(plan[0][2].splitAfter);
    EXPECT_EQ(plan[1][0].file, 2u);
    EXPECT_TRUE(plan[1][0].splitBefore);

    EXPECT_FALSE(PlanVolumes({{"a", "a", 5, 0, 0}}, 50, &plan, &error));
    EXPECT_NE(error.find("too small"), std::string::npos);
}

TEST(RarPlan, OldVolumeNames) {
    struct Case {
        size_t index;
        const char* name;
    } cases[] = {{0, "/d/x(KTZ).rar"},
                 {1, "/d/x(KTZ).r00"},
                 {2, "/d/x(KTZ).r01"},
                 {100, "/d/x(KTZ).r99"},
                 {101, "/d/x(KTZ).r100"}};
    for (const Case& c : cases)
        EXPECT_EQ(OldVolumeName("/d/x(KTZ).rar", c.index), c.name);
}
