// binary/unrar decrypts stored encrypted files itself (RAR 2.9-4.x and RAR5), so no other
// program is handed the password: every run here has no unar on its PATH.
#include "tests/rartools/toolrun.h"
#include "tests/support/encryptedrar.h"
#include "tests/support/testenv.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kLimitMs = 60000;

std::string CorpusFile(const std::string& name) {
    return SharedDir() + "/testdata/rar-corpus/rarfile/" + name;
}

uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// binary/unrar with a PATH on which no other extractor can be found.
ToolRun OwnUnrar(const std::vector<std::string>& args, std::string* out) {
    std::vector<std::string> argv = {"/usr/bin/env", "PATH=/nonexistent", UnrarTool(), "p",
                                     "-inul"};
    argv.insert(argv.end(), args.begin(), args.end());
    out->clear();
    return RunTool(argv, kLimitMs, nullptr, out);
}

// The packed data of `name` in a public single-volume set, with what its header says about it,
// and the size and CRC32 an independent decoder extracts (expected.tsv).
struct CorpusPacked {
    PackedFile file;
    bool rar5 = false;
    uint64_t expectedSize = 0;
    uint32_t expectedCrc = 0;
};

CorpusPacked PackedFromCorpus(const std::string& set, const std::string& name) {
    const std::string corpus = SharedDir() + "/testdata/rar-corpus/";
    CorpusPacked packed;
    packed.file = PackedFromArchive(corpus + set, name, &packed.rar5);
    std::ifstream tsv(corpus + "expected.tsv");
    for (std::string line; std::getline(tsv, line);) {
        std::vector<std::string> field;
        for (size_t at = 0, tab; at <= line.size(); at = tab + 1) {
            tab = std::min(line.find('\t', at), line.size());
            field.push_back(line.substr(at, tab - at));
        }
        if (field.size() == 5 && field[0] == set && field[2] == name) {
            packed.expectedSize = std::stoull(field[3]);
            packed.expectedCrc = uint32_t(std::stoul(field[4], nullptr, 16));
        }
    }
    return packed;
}

void FlipByte(const std::string& path, size_t at) {
    std::string data = ReadFile(path);
    data[at] = static_cast<char>(data[at] ^ 0x5A);
    WriteFile(path, data);
}

} // namespace

TEST(UnrarCrypt, PublicEncryptedArchivesOpenWithTheirPasswordAndRefuseAWrongOne) {
    QUORVAN_NEEDS_SHARED_DATA();
    // stest2.txt is stored in each; an independent decoder gives 2048 bytes of CRC c5b7e6a2
    // (the corpus's expected.tsv). Keyed CRC32, keyed BLAKE2sp, encrypted headers (-hp).
    for (const char* set : {"rar5-psw.rar", "rar5-psw-blake.rar", "rar5-hpsw.rar"}) {
        SCOPED_TRACE(set);
        std::string out;
        ToolRun right = OwnUnrar({"-ppassword", CorpusFile(set), "stest2.txt"}, &out);
        EXPECT_EQ(right.exitCode, 0) << right.errors;
        EXPECT_EQ(out.size(), 2048u);
        EXPECT_EQ(Crc(out), 0xc5b7e6a2u);
        // stest1.txt, the same text, is compressed: decrypted and unpacked here too.
        ToolRun packed = OwnUnrar({"-ppassword", CorpusFile(set)}, &out);
        EXPECT_EQ(packed.exitCode, 0) << packed.errors;
        ASSERT_EQ(out.size(), 4096u);
        EXPECT_EQ(Crc(out.substr(0, 2048)), 0xc5b7e6a2u);
        ToolRun wrong = OwnUnrar({"-pPassword", CorpusFile(set), "stest2.txt"}, &out);
        EXPECT_EQ(wrong.exitCode, 11);
        EXPECT_EQ(out.size(), 0u) << "the check value refuses it before any byte";
        EXPECT_NE(wrong.errors.find("the password is wrong"), std::string::npos) << wrong.errors;
        ToolRun none = OwnUnrar({CorpusFile(set), "stest2.txt"}, &out);
        EXPECT_EQ(none.exitCode, 11);
        EXPECT_NE(none.errors.find("no password was given"), std::string::npos) << none.errors;
    }
    // A byte flipped in the encrypted data fails the keyed checksum as damage: the check value
    // already took the password.
    for (const char* set : {"rar5-psw.rar", "rar5-psw-blake.rar"}) {
        SCOPED_TRACE(set);
        TempDir dir;
        fs::copy_file(CorpusFile(set), dir.file(set));
        std::string out;
        ASSERT_EQ(OwnUnrar({"-ppassword", dir.file(set), "stest2.txt"}, &out).exitCode, 0);
        const size_t end = ReadFile(dir.file(set)).size();
        FlipByte(dir.file(set), end - 8 - 1000); // inside stest2.txt, the last file
        ToolRun flipped = OwnUnrar({"-ppassword", dir.file(set), "stest2.txt"}, &out);
        EXPECT_EQ(flipped.exitCode, 3) << flipped.errors;
        EXPECT_NE(flipped.errors.find("stest2.txt"), std::string::npos) << flipped.errors;
        EXPECT_EQ(flipped.errors.find("password"), std::string::npos) << flipped.errors;
    }
    // RAR 2.9-4.x encrypted headers: the right password gives a file list (no stest2.txt in
    // it), a wrong one fails the first header's CRC.
    std::string out;
    ToolRun rar3 = OwnUnrar({"-ppassword", CorpusFile("rar3-comment-hpsw.rar"), "x"}, &out);
    EXPECT_EQ(rar3.exitCode, 10) << rar3.errors;
    ToolRun rar3Wrong = OwnUnrar({"-pwrong", CorpusFile("rar3-comment-hpsw.rar"), "x"}, &out);
    EXPECT_EQ(rar3Wrong.exitCode, 11) << rar3Wrong.errors;
    EXPECT_NE(rar3Wrong.errors.find("the password is wrong"), std::string::npos);
}

TEST(UnrarCrypt, EncryptedStoredVolumeSetsOfBothFormatsComeOutExactly) {
    // A file whose size is no multiple of the AES block, in volumes whose share of it is no
    // multiple either: the CBC chain runs on across every volume boundary.
    std::string movie(300001, 0);
    unsigned state = 11;
    for (char& c : movie)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    const std::string password = "zażółć gęślą jaźń \"'$x";
    struct Case {
        const char* name;
        const char* first;
        EncryptedSetOptions options;
        bool unarReadsIt; // unar 1.10.1 decrypts no RAR 2.9 AES file, not even the public ones
    };
    for (const Case& c :
         {Case{"RAR 2.9", "film.rar", {.format = 4, .dataPerVolume = 70001}, false},
          Case{"RAR5 keyed", "film.part1.rar", {.format = 5, .dataPerVolume = 70001}, true},
          Case{"RAR5 keyed pieces",
               "film.part1.rar",
               {.format = 5, .dataPerVolume = 70001, .keyedPieceCrcs = true},
               false},
          Case{"RAR5 plain sums",
               "film.part1.rar",
               {.format = 5, .dataPerVolume = 70001, .keyedChecksums = false, .lg2Count = 12},
               true}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<std::string> volumes =
            WriteEncryptedStoredSet(dir.file(c.first), "movie.avi", movie, password, c.options);
        ASSERT_EQ(volumes.size(), 5u);
        // unar, another implementation of the format, reads what the writer wrote: the CBC
        // chain of a RAR5 file goes on across the volumes.
        std::string out;
        if (c.unarReadsIt) {
            ToolRun unar = RunTool({"/usr/bin/unar", "-o", "-", "-q", "-p", password, volumes[0]},
                                   kLimitMs, nullptr, &out);
            EXPECT_EQ(unar.exitCode, 0) << unar.errors;
            EXPECT_TRUE(out == movie) << out.size();
        }

        ToolRun own = OwnUnrar({"-p" + password, volumes[0]}, &out);
        EXPECT_EQ(own.exitCode, 0) << own.errors;
        EXPECT_EQ(out.size(), movie.size());
        EXPECT_TRUE(out == movie) << "exactly the file, without the padding";
        // Any volume names the set.
        own = OwnUnrar({"-p" + password, volumes[3]}, &out);
        EXPECT_EQ(own.exitCode, 0) << own.errors;
        EXPECT_TRUE(out == movie);

        ToolRun wrong = OwnUnrar({"-p" + password + "x", volumes[0]}, &out);
        EXPECT_EQ(wrong.exitCode, 11);
        EXPECT_NE(wrong.errors.find("password is wrong"), std::string::npos) << wrong.errors;
        if (c.options.format == 5) {
            EXPECT_EQ(out.size(), 0u) << "RAR5's check value refuses it before any byte";
        }

        // A byte changed in the second volume fails that volume's own CRC (of the bytes as
        // they lie): the run ends with that volume.
        FlipByte(volumes[1], ReadFile(volumes[1]).size() - 500);
        ToolRun damaged = OwnUnrar({"-p" + password, volumes[0]}, &out);
        EXPECT_EQ(damaged.exitCode, 3) << damaged.errors;
        EXPECT_NE(damaged.errors.find(volumes[1]), std::string::npos) << damaged.errors;
        EXPECT_LE(out.size(), 2 * 70001u);
        EXPECT_TRUE(out.substr(0, 70001) == movie.substr(0, 70001));
    }
}

TEST(UnrarCrypt, EncryptedCompressedVolumeSetsComeOutExactlyWithNoOtherProgram) {
    QUORVAN_NEEDS_SHARED_DATA();
    // Packed data of public archives (LZ with an x86 filter, the best method, a low-distance
    // reset, incompressible data, RAR5, RAR5 with the ARM filter), encrypted as RAR writes it and
    // cut into three volumes: our own decryption feeds our own decompressors across the volume
    // boundaries.
    const std::string password = "Tom & Jerry \"<1>\" zażółć";
    struct Case {
        const char* set;
        const char* name;
    };
    for (const Case& c :
         {Case{"libarchive/test_read_format_rar_filter.rar", "bsdcat.exe"},
          Case{"libarchive/test_read_format_rar_compress_best.rar", "LibarchiveAddingTest.html"},
          Case{"libarchive/test_read_format_rar3_lowdist_reset.rar", "lowdist-reset.bin"},
          Case{"libarchive/test_read_format_rar_binary_data.rar", "random_data.bin"},
          Case{"libarchive/test_read_format_rar5_compressed.rar", "test.bin"}}) {
        SCOPED_TRACE(c.set);
        CorpusPacked packed = PackedFromCorpus(c.set, c.name);
        ASSERT_FALSE(packed.file.data.empty());
        ASSERT_EQ(packed.file.unpackedSize, packed.expectedSize);
        TempDir dir;
        const size_t padded = (packed.file.data.size() + 15) / 16 * 16;
        std::vector<std::string> volumes = WriteEncryptedSet(
            dir.file(packed.rar5 ? "film.part1.rar" : "film.rar"), c.name, packed.file, password,
            {.format = packed.rar5 ? 5 : 4, .dataPerVolume = padded / 3 + 1});
        ASSERT_EQ(volumes.size(), 3u);
        std::string out;
        ToolRun own = OwnUnrar({"-p" + password, volumes[0]}, &out);
        EXPECT_EQ(own.exitCode, 0) << own.errors;
        EXPECT_EQ(out.size(), packed.expectedSize);
        EXPECT_EQ(Crc(out), packed.expectedCrc);

        ToolRun wrong = OwnUnrar({"-p" + password + "!", volumes[0]}, &out);
        EXPECT_EQ(wrong.exitCode, 11) << wrong.errors;
        EXPECT_NE(wrong.errors.find("password is wrong"), std::string::npos) << wrong.errors;
    }
}
