// Our own RAR5 decompressor on its own: the packed data of the public RAR5 sets (whole, solid,
// across volumes, and damaged) straight into it, each file checked against its header's CRC32
// or BLAKE2sp.
#include "tests/rartools/toolrun.h"
#include "tests/support/rar5packer.h"
#include "tests/support/testenv.h"
#include "tools/unrar/filecheck.h"
#include "tools/unrar/rar5unpack.h"
#include "tools/unrar/rarscan.h"
#include "tools/unrar/rarvolumes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace {

std::string Corpus() {
    return SharedDir() + "/testdata/rar-corpus/";
}

// A compressed RAR5 file of a set: its header and its packed bytes, pieces joined.
struct PackedFile {
    ScanFile file;
    std::string data;
};

struct PackedSet {
    std::string path;
    bool complete = false;
    std::vector<PackedFile> files; // compressed, unencrypted, in archive order
    uint64_t dictionary = 0;       // the largest of them
};

PackedSet ReadSet(const std::string& path) {
    PackedSet set;
    set.path = path;
    VolumeList volumes = ListVolumes(Corpus() + path);
    ArchiveScan scan = ScanArchive(volumes.names);
    set.complete = scan.complete && scan.format == 5;
    if (scan.format != 5)
        return set;
    std::map<size_t, std::string> content;
    for (const ScanFile& f : scan.files) {
        if (!f.compressed || f.encrypted || f.directory || f.link || f.rar5Algorithm != 0)
            continue;
        PackedFile packed{f, {}};
        for (const ScanPiece& piece : f.pieces) {
            if (!content.count(piece.volume))
                content[piece.volume] = ReadFile(volumes.names[piece.volume]);
            const std::string& volume = content[piece.volume];
            if (piece.dataAt < volume.size())
                packed.data += volume.substr(size_t(piece.dataAt), size_t(piece.present));
        }
        set.dictionary = std::max(set.dictionary, f.dictionary);
        set.files.push_back(std::move(packed));
    }
    return set;
}

// Every RAR5 set of the corpus, and whether an independent decoder extracted it whole.
std::vector<std::pair<std::string, bool>> Rar5Sets() {
    std::vector<std::pair<std::string, bool>> sets;
    std::ifstream tsv(Corpus() + "expected.tsv");
    for (std::string line; std::getline(tsv, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::string path = line.substr(0, line.find('\t'));
        if (!sets.empty() && sets.back().first == path)
            continue;
        std::ifstream archive(Corpus() + path, std::ios::binary);
        std::string head(1 << 20, '\0');
        archive.read(head.data(), std::streamsize(head.size()));
        head.resize(size_t(archive.gcount()));
        if (head.find(std::string("Rar!\x1a\x07\x01\x00", 8)) == std::string::npos)
            continue;
        bool unarExtracted = line.find("\t0\t") == path.size();
        sets.emplace_back(path, unarExtracted);
    }
    return sets;
}

// Gives its bytes `chunk` at a time, as volumes and decryption hand them over.
class StringSource : public PackedSource {
  public:
    StringSource(const std::string& data, size_t chunk) : data_(data), chunk_(chunk) {}
    size_t Read(unsigned char* to, size_t size) override {
        size_t n = std::min({size, chunk_, data_.size() - at_});
        if (n > 0)
            std::memcpy(to, data_.data() + at_, n);
        at_ += n;
        return n;
    }

  private:
    const std::string& data_;
    size_t chunk_;
    size_t at_ = 0;
};

struct Outcome {
    bool ok = false;
    std::string error;
    std::string out;
    std::string check; // what FileCheck says of the bytes ("" = they match the header)
};

Outcome UnpackOne(Unpacker& unpacker, const PackedFile& packed, const std::string& data,
                  uint64_t size, bool solid, size_t chunk = 1 << 16) {
    Outcome outcome;
    StringSource source(data, chunk);
    FileCheck check(&packed.file, nullptr);
    UnpackSink sink = [&](const unsigned char* bytes, size_t n) {
        outcome.out.append(reinterpret_cast<const char*>(bytes), n);
        check.Feed(reinterpret_cast<const char*>(bytes), n);
        return true;
    };
    outcome.ok = unpacker.Unpack(source, size, solid, sink, &outcome.error);
    outcome.check = check.Finish();
    return outcome;
}

// Sets unar cannot read but libarchive's own tests extract (their files' sums are in their
// headers).
const std::set<std::string> kReadByLibarchive = {
    "libarchive/test_read_format_rar5_multiarchive_solid.part01.rar",
    "libarchive/test_read_format_rar5_solid.rar", "rarfile/rar5-solid.rar"};

} // namespace

TEST(Rar5Unpack, EveryPublicFileComesOutExactlyAndDamagedOnesFailWithAMessage) {
    QUORVAN_NEEDS_SHARED_DATA();
    int exactFiles = 0, exactSets = 0;
    for (const auto& [path, unarExtracted] : Rar5Sets()) {
        SCOPED_TRACE(path);
        PackedSet set = ReadSet(path);
        if (set.files.empty())
            continue;
        bool mustWork = set.complete && (unarExtracted || kReadByLibarchive.count(path));
        Rar5Unpacker unpacker(size_t(set.dictionary));
        bool allExact = true;
        for (const PackedFile& packed : set.files) {
            SCOPED_TRACE(packed.file.name);
            Outcome o = UnpackOne(unpacker, packed, packed.data, packed.file.unpackedSize,
                                  packed.file.solidContinues);
            // Never more bytes than the header says, and a failure says why.
            EXPECT_LE(o.out.size(), packed.file.unpackedSize);
            if (o.ok) {
                EXPECT_EQ(o.out.size(), packed.file.unpackedSize);
            } else {
                EXPECT_FALSE(o.error.empty());
            }
            bool exact = o.ok && o.check.empty();
            if (mustWork) {
                EXPECT_TRUE(exact) << o.error << o.check;
            }
            exactFiles += exact;
            allExact = allExact && exact;
        }
        exactSets += mustWork && allExact;
    }
    // The 15 compressed RAR5 sets an independent decoder reads and multiarchive_solid.
    EXPECT_GE(exactSets, 16);
    EXPECT_GE(exactFiles, 50);
    std::printf("exact: %d sets, %d files\n", exactSets, exactFiles);
}

TEST(Rar5Unpack, SolidFilesGoOnFromTheStateBeforeThemWhateverTheReadSizes) {
    QUORVAN_NEEDS_SHARED_DATA();
    PackedSet set = ReadSet("libarchive/test_read_format_rar5_multiarchive_solid.part01.rar");
    ASSERT_GE(set.files.size(), 9u);
    for (size_t chunk : {size_t(1), size_t(7), size_t(4096)}) {
        SCOPED_TRACE(chunk);
        Rar5Unpacker unpacker(size_t(set.dictionary));
        for (const PackedFile& packed : set.files) {
            Outcome o = UnpackOne(unpacker, packed, packed.data, packed.file.unpackedSize,
                                  packed.file.solidContinues, chunk);
            EXPECT_TRUE(o.ok) << o.error;
            EXPECT_EQ(o.check, "") << packed.file.name;
        }
    }
}

TEST(Rar5Unpack, DamagedCutAndRandomDataNeverGiveMoreBytesOrFailSilently) {
    QUORVAN_NEEDS_SHARED_DATA();
    std::mt19937 random(20261210);
    int failures = 0, runs = 0;
    for (const char* path : {"libarchive/test_read_format_rar5_arm.rar",
                             "libarchive/test_read_format_rar5_multiarchive.part01.rar",
                             "libarchive/test_read_format_rar5_multiple_files_solid.rar",
                             "rarfile/rar5-solid-qo.rar"}) {
        SCOPED_TRACE(path);
        PackedSet set = ReadSet(path);
        ASSERT_FALSE(set.files.empty());
        for (int round = 0; round < 40; ++round) {
            Rar5Unpacker unpacker(size_t(set.dictionary));
            for (const PackedFile& packed : set.files) {
                std::string data = packed.data;
                uint64_t size = packed.file.unpackedSize;
                switch (round % 5) {
                case 0: // bits flipped
                    for (int i = 0; i < 1 + round / 4; ++i)
                        data[random() % data.size()] ^= char(1 << (random() % 8));
                    break;
                case 1: // cut short
                    data.resize(random() % data.size());
                    break;
                case 2: // noise
                    for (char& c : data)
                        c = char(random());
                    break;
                case 3: // a header promising more than the data holds
                    size = size * 2 + random() % 100000;
                    break;
                case 4: // or less
                    size = random() % size;
                    break;
                }
                Outcome o = UnpackOne(unpacker, packed, data, size, packed.file.solidContinues,
                                      1 + random() % 5000);
                ++runs;
                EXPECT_LE(o.out.size(), size);
                if (o.ok) {
                    EXPECT_EQ(o.out.size(), size);
                } else {
                    EXPECT_FALSE(o.error.empty());
                    ++failures;
                }
            }
        }
    }
    // Most damaged runs are caught by the decompressor itself, not only by the checksums.
    EXPECT_GT(failures, runs / 2);
}

TEST(Rar5Unpack, StopsWhenTheSinkRefuses) {
    QUORVAN_NEEDS_SHARED_DATA();
    PackedSet set = ReadSet("libarchive/test_read_format_rar5_arm.rar");
    ASSERT_EQ(set.files.size(), 1u);
    const PackedFile& packed = set.files[0];
    Rar5Unpacker whole(size_t(set.dictionary));
    Outcome full = UnpackOne(whole, packed, packed.data, packed.file.unpackedSize, false);
    ASSERT_TRUE(full.ok) << full.error;
    ASSERT_EQ(full.check, "");

    Rar5Unpacker refused(size_t(set.dictionary));
    StringSource source(packed.data, 1 << 16);
    int calls = 0;
    std::string error = "unset";
    EXPECT_FALSE(refused.Unpack(
        source, packed.file.unpackedSize, false,
        [&](const unsigned char*, size_t) {
            ++calls;
            return false;
        },
        &error));
    EXPECT_EQ(error, "") << "the sink's own failure is no fault of the data";
    EXPECT_EQ(calls, 1);
}

TEST(Rar5Unpack, RefusesDictionariesOverOneGiBWithAMessage) {
    std::string nothing;
    StringSource source(nothing, 1);
    Rar5Unpacker unpacker(size_t(2) << 30);
    std::string error;
    EXPECT_FALSE(unpacker.Unpack(
        source, 10, false, [](const unsigned char*, size_t) { return true; }, &error));
    EXPECT_NE(error.find("1024 MiB"), std::string::npos) << error;

    Rar5Unpacker empty(size_t(1) << 20);
    error = "unset";
    EXPECT_TRUE(empty.Unpack(
        source, 0, false, [](const unsigned char*, size_t) { return true; }, &error));
    EXPECT_EQ(error, "");
}

namespace {

// Data of the kinds the filters are for, the same every run: text lines, x86-like code (with
// many CALL, JMP and ARM BL opcodes) and noise that does not compress.
std::string MadeUpData(int kind, size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string data;
    while (data.size() < size) {
        if (kind == 0) {
            data += "line " + std::to_string(random() % 5000) + " of the film's subtitles, " +
                    std::to_string(data.size()) + "\n";
        } else if (kind == 1) {
            static const unsigned char opcodes[] = {0xe8, 0xe9, 0x8b, 0x48, 0x89, 0xeb};
            data.push_back(char(opcodes[random() % 6]));
            uint32_t target = random() % 3 == 0 ? random() : random() % 70000;
            data.append(reinterpret_cast<const char*>(&target), 3 + random() % 2);
        } else {
            data.push_back(char(random()));
        }
    }
    data.resize(size);
    return data;
}

} // namespace

TEST(Rar5Unpack, PackedFilesWithEveryFilterSolidAndAWrappingWindowComeBackExactly) {
    struct Case {
        Rar5Filter filter;
        unsigned dictionaryLog;
    };
    for (const Case& c :
         {Case{Rar5Filter::None, 17}, Case{Rar5Filter::Delta, 17}, Case{Rar5Filter::E8, 17},
          Case{Rar5Filter::E8E9, 17}, Case{Rar5Filter::Arm, 17}, Case{Rar5Filter::E8E9, 22}}) {
        SCOPED_TRACE(int(c.filter) * 100 + int(c.dictionaryLog));
        Rar5Packer packer(c.dictionaryLog);
        Rar5Unpacker unpacker(size_t(1) << c.dictionaryLog);
        bool solid = false;
        for (int kind : {0, 1, 2, 0, 1}) {
            SCOPED_TRACE(kind);
            std::string data = MadeUpData(kind, 400000, uint32_t(kind * 7 + 1));
            std::string packed = packer.Pack(data, c.filter);
            if (kind != 2) {
                EXPECT_LT(packed.size(), data.size());
            }
            std::string out, error;
            StringSource source(packed, 1 + data.size() % 9000);
            EXPECT_TRUE(unpacker.Unpack(
                source, data.size(), solid,
                [&](const unsigned char* bytes, size_t n) {
                    out.append(reinterpret_cast<const char*>(bytes), n);
                    return true;
                },
                &error))
                << error;
            EXPECT_TRUE(out == data);
            solid = true;
        }
    }
}

TEST(Rar5Unpack, BinaryUnrarAndLibarchiveAgreeOnASolidPackedArchive) {
    TempDir dir;
    std::vector<Rar5PackedFile> files = {{"subs.srt", MadeUpData(0, 300000, 3)},
                                         {"player.exe", MadeUpData(1, 500000, 4)},
                                         {"noise.bin", MadeUpData(2, 100000, 5)},
                                         {"again.srt", MadeUpData(0, 300000, 3)}};
    std::string expected;
    for (const Rar5PackedFile& f : files)
        expected += f.data;
    WriteFile(dir.file("film.rar"), Rar5CompressedArchive(files, true, 18, Rar5Filter::E8E9));
    for (const char* decoder : {"own", "libarchive"}) {
        SCOPED_TRACE(decoder);
        std::string out;
        ToolRun run = RunTool({"/usr/bin/env", std::string("QUORVAN_UNRAR_DECODER=") + decoder,
                               UnrarTool(), "p", "-inul", dir.file("film.rar")},
                              60000, nullptr, &out);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_TRUE(out == expected) << out.size() << " bytes of " << expected.size();
    }
}
