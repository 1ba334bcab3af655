// The reader over the real WinRAR sets of the shared test data, checked against the stored
// file as libarchive extracts it and against the sizes and MD5 sums the data's README gives.
#include "rar/rarreader.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <mbedtls/md5.h>

#include <random>
#include <string>
#include <vector>

namespace {
struct WinRarSet {
    const char* first;
    std::vector<const char*> volumes;
    uint64_t size;
    const char* md5; // "" when the README gives none
};

const std::vector<WinRarSet>& Sets() {
    static const std::vector<WinRarSet> sets = {
        {"rar3-old.rar",
         {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"},
         205000,
         "86c08c8bf3a7ff3e2b4d60e2f115a443"},
        {"rar3-vols.part1.rar",
         {"rar3-vols.part1.rar", "rar3-vols.part2.rar", "rar3-vols.part3.rar"},
         205000,
         "86c08c8bf3a7ff3e2b4d60e2f115a443"},
        {"test_rar_multivolume_single_file.part1.rar",
         {"test_rar_multivolume_single_file.part1.rar",
          "test_rar_multivolume_single_file.part2.rar",
          "test_rar_multivolume_single_file.part3.rar"},
         20111,
         "78943e839b05c89a973845de122285a2"},
        {"test_read_format_rar.rar",
         {"test_read_format_rar.rar"},
         20,
         "f03f566a28784ddb31d216e6a5056e83"},
        {"test_rar_multivolume_uncompressed_files.part01.rar",
         {"test_rar_multivolume_uncompressed_files.part01.rar",
          "test_rar_multivolume_uncompressed_files.part02.rar"},
         20111,
         ""},
    };
    return sets;
}

std::string Data(const std::string& name) {
    return SharedDir() + "/testdata/rar/" + name;
}

// The first entry of the set, extracted by libarchive: the reference the reader must match.
std::string ExtractFirstEntry(const WinRarSet& set) {
    std::vector<std::string> paths;
    for (const char* v : set.volumes)
        paths.push_back(Data(v));
    std::vector<const char*> names;
    for (const std::string& p : paths)
        names.push_back(p.c_str());
    names.push_back(nullptr);
    archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    std::string out;
    archive_entry* entry = nullptr;
    if (archive_read_open_filenames(a, names.data(), 10240) == ARCHIVE_OK &&
        archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        char chunk[8192];
        la_ssize_t n;
        while ((n = archive_read_data(a, chunk, sizeof chunk)) > 0)
            out.append(chunk, size_t(n));
    }
    archive_read_free(a);
    return out;
}

class WinRarSets : public ::testing::Test {
  protected:
    RecorderPort port;
    ScopedPort scoped{&port};
};

TEST_F(WinRarSets, GlobalReaderGivesTheStoredFileAcrossEveryVolume) {
    QUORVAN_NEEDS_SHARED_DATA();
    for (const WinRarSet& set : Sets()) {
        SCOPED_TRACE(set.first);
        const std::string expected = ExtractFirstEntry(set);
        ASSERT_EQ(expected.size(), set.size);
        if (*set.md5 != 0) {
            ASSERT_EQ(Md5Hex(expected), set.md5);
        }

        ASSERT_TRUE(isRarFileName(Data(set.first)));
        raropen();
        rarseek(0);
        ASSERT_EQ(s.unpackedSize, set.size);
        ASSERT_GT(s.volumeDataSize, 0);

        // One read of the whole file through rarread.
        std::string whole(set.size, '\0');
        rarread(whole.data(), 0, int(set.size));
        EXPECT_TRUE(whole == expected);

        // Sequential reads in odd-sized pieces and in 8-byte words through rarreadnic.
        for (int piece : {8, 4099}) {
            rarseek(0);
            std::string seq;
            std::vector<char> buf(size_t(piece), '\0');
            while (seq.size() < set.size) {
                int want = int(std::min<uint64_t>(uint64_t(piece), set.size - seq.size()));
                EXPECT_EQ(rarreadnic(buf.data(), want), want);
                seq.append(buf.data(), size_t(want));
            }
            EXPECT_TRUE(seq == expected) << "pieces of " << piece;
            EXPECT_EQ(uint64_t(s.position), set.size);
        }

        // Reads around every volume boundary.
        int64_t share = s.volumeDataSize;
        for (int64_t edge = share; edge < int64_t(set.size); edge += share) {
            for (int64_t before : {1, 8}) {
                int len = int(std::min<int64_t>(20, int64_t(set.size) - (edge - before)));
                std::string got(size_t(len), '\0');
                rarread(got.data(), edge - before, len);
                EXPECT_EQ(got, expected.substr(size_t(edge - before), size_t(len)));
            }
        }
        EXPECT_TRUE(port.Events().empty()) << "no message for a good stored set";
    }
}

TEST_F(WinRarSets, TenThousandRandomReadsAgreeWithTheExtractedFile) {
    QUORVAN_NEEDS_SHARED_DATA();
    std::mt19937_64 gen(2024);
    for (const WinRarSet& set : Sets()) {
        SCOPED_TRACE(set.first);
        const std::string expected = ExtractFirstEntry(set);
        RarVolumeSet reader; // an instance of its own, as the player wrapper keeps
        ASSERT_TRUE(reader.OpenSet(Data(set.first)));
        int64_t maxLen = std::min<int64_t>(int64_t(set.size), 3 * int64_t(reader.volumeDataSize));
        std::string got;
        for (int i = 0; i < 10000; ++i) {
            int64_t pos = int64_t(gen() % set.size);
            int len = int(1 + gen() % uint64_t(std::min<int64_t>(maxLen, int64_t(set.size) - pos)));
            got.assign(size_t(len), '\x55');
            ASSERT_TRUE(reader.rarread(got.data(), pos, len));
            ASSERT_EQ(got, expected.substr(size_t(pos), size_t(len)))
                << "read of " << len << " at " << pos;
        }
    }
}

TEST_F(WinRarSets, CompressedSetSaysBadMethodButKeepsItsGeometry) {
    QUORVAN_NEEDS_SHARED_DATA();
    RarVolumeSet reader;
    ASSERT_TRUE(
        reader.isRarFileName(Data("test_read_format_rar_multivolume.part0001.rar").c_str()));
    EXPECT_EQ(reader.namingScheme, 1);
    EXPECT_TRUE(reader.raropen());
    EXPECT_EQ(port.Events(),
              std::vector<std::string>{
                  "message:Error RAR:Bad compression method!\nTry File->stream from unrar.."});
    EXPECT_EQ(reader.unpackedSize, 241647978u);
    EXPECT_GT(reader.volumeDataSize, 0);
}
} // namespace
