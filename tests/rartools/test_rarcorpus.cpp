// binary/unrar and quorvan cat over the public RAR test archives (libarchive's and rarfile's),
// compared file by file with what an independent implementation (unar) extracts from them.
#include "platform/rarnames.h"
#include "tests/rartools/toolrun.h"
#include "tests/support/testenv.h"
#include "tools/unrar/rarscan.h"
#include "tools/unrar/rarvolumes.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <zlib.h>

namespace {

constexpr int kLimitMs = 120000;

struct Expected {
    std::string name;
    bool known = false; // size and CRC given (else: a link, or nothing unar could extract)
    uint64_t size = 0;
    std::string crc;
};
struct CorpusSet {
    std::string path; // first volume, relative to the corpus folder
    int unarExit = 0;
    std::vector<Expected> files;
};

std::string Corpus() {
    return SharedDir() + "/testdata/rar-corpus";
}

std::vector<CorpusSet> ReadExpected() {
    std::vector<CorpusSet> sets;
    std::ifstream in(Corpus() + "/expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        if (f.size() != 5)
            continue;
        if (sets.empty() || sets.back().path != f[0])
            sets.push_back({f[0], std::stoi(f[1]), {}});
        Expected e{f[2], f[4] != "-", 0, f[4]};
        if (e.known)
            e.size = std::stoull(f[3]);
        sets.back().files.push_back(e);
    }
    return sets;
}

// Cuts a stream into the expected files (in archive order) and sums each one's CRC32.
class Splitter {
  public:
    explicit Splitter(std::vector<uint64_t> sizes) : sizes_(std::move(sizes)) {
        crcs_.assign(sizes_.size(), crc32(0L, Z_NULL, 0));
        got_.assign(sizes_.size(), 0);
    }
    void Feed(const char* data, size_t n) {
        while (n > 0) {
            while (file_ < sizes_.size() && got_[file_] == sizes_[file_])
                ++file_;
            if (file_ == sizes_.size()) {
                extra_ += n;
                return;
            }
            size_t take = size_t(std::min<uint64_t>(n, sizes_[file_] - got_[file_]));
            crcs_[file_] = crc32(crcs_[file_], reinterpret_cast<const Bytef*>(data), uInt(take));
            got_[file_] += take;
            data += take;
            n -= take;
        }
    }
    std::string Crc(size_t i) const {
        char text[9];
        std::snprintf(text, sizeof text, "%08lx", crcs_[i]);
        return text;
    }
    uint64_t Got(size_t i) const { return got_[i]; }
    uint64_t extra() const { return extra_; }

  private:
    std::vector<uint64_t> sizes_;
    std::vector<unsigned long> crcs_;
    std::vector<uint64_t> got_;
    size_t file_ = 0;
    uint64_t extra_ = 0;
};

// Sets unar cannot extract but libarchive's own tests read: what those tests name them as
// holding, with the sizes and CRCs the same files have elsewhere in the corpus.
const std::map<std::string, std::vector<std::string>> kLibarchiveAsserted = {
    {"libarchive/test_read_format_rar5_multiarchive_solid.part01.rar",
     {"cebula.txt", "test.bin", "test1.bin", "test2.bin", "test3.bin", "test4.bin", "test5.bin",
      "test6.bin", "elf-Linux-ARMv7-ls"}},
    {"libarchive/test_read_format_rar5_solid.rar",
     {"test.bin", "test1.bin", "test2.bin", "test3.bin", "test4.bin", "test5.bin", "test6.bin"}},
};

// Sets whose headers contradict what unar writes: we refuse them rather than agree.
// test_read_format_rar_overflow: the header promises 48 bytes with CRC 0, unar writes none.
const char* const kRefusedAgainstUnar[] = {"libarchive/test_read_format_rar_overflow.rar"};

// Its test.txt follows an old-style sub-block: the fourth block of the first volume.
const char kPastThreeBlocks[] = "libarchive/test_read_format_rar_subblock.rar";

// The size and CRC a file of that name has where unar extracted it.
Expected Elsewhere(const std::vector<CorpusSet>& sets, const std::string& name) {
    for (const CorpusSet& s : sets)
        for (const Expected& e : s.files)
            if (s.unarExit == 0 && e.known && e.name == name)
                return e;
    return {};
}

void CheckFiles(const std::vector<Expected>& want, const Splitter& split, const std::string& what) {
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(split.Got(i), want[i].size) << what << ": " << want[i].name;
        EXPECT_EQ(split.Crc(i), want[i].crc) << what << ": " << want[i].name;
    }
    EXPECT_EQ(split.extra(), 0u) << what << ": bytes after the last file";
}

// Runs binary/unrar (through `env` settings when given) over the set and cuts its output into
// the files `want` names; whatever the set holds, the run must end by itself.
ToolRun ExtractSet(const std::vector<std::string>& env, const std::string& first,
                   const std::vector<Expected>& want, Splitter* split) {
    std::vector<std::string> argv = {"/usr/bin/env"};
    argv.insert(argv.end(), env.begin(), env.end());
    // rarfile's encrypted sets use the password "password"; it changes nothing elsewhere.
    argv.insert(argv.end(), {UnrarTool(), "p", "-inul", "-ppassword", first});
    std::vector<uint64_t> sizes;
    for (const Expected& e : want)
        sizes.push_back(e.size);
    *split = Splitter(sizes);
    return RunTool(argv, kLimitMs, [&](const char* d, size_t n) { split->Feed(d, n); });
}

bool RefusedAgainstUnar(const std::string& path) {
    return std::find(std::begin(kRefusedAgainstUnar), std::end(kRefusedAgainstUnar), path) !=
           std::end(kRefusedAgainstUnar);
}

} // namespace

TEST(RarCorpus, EveryFileExtractsAsUnarOrTheRunFailsClearly) {
    QUORVAN_NEEDS_SHARED_DATA();
    std::vector<CorpusSet> sets = ReadExpected();
    ASSERT_GT(sets.size(), 100u);
    int compared = 0;
    for (const CorpusSet& set : sets) {
        SCOPED_TRACE(set.path);
        std::vector<Expected> want;
        for (const Expected& e : set.files)
            if (e.known)
                want.push_back(e);
        bool asserted = kLibarchiveAsserted.count(set.path) > 0;
        if (asserted) {
            want.clear();
            for (const std::string& name : kLibarchiveAsserted.at(set.path)) {
                want.push_back(Elsewhere(sets, name));
                ASSERT_TRUE(want.back().known) << name;
            }
        }
        Splitter split({});
        ToolRun run = ExtractSet({}, Corpus() + "/" + set.path, want, &split);
        // Whatever the set holds, the run ends by itself: no hang, no signal.
        ASSERT_FALSE(run.timedOut);
        ASSERT_LT(run.exitCode, 128) << run.errors;
        if (RefusedAgainstUnar(set.path)) {
            EXPECT_NE(run.exitCode, 0);
            EXPECT_FALSE(run.errors.empty());
            continue;
        }
        if ((set.unarExit == 0 && !want.empty()) || asserted) {
            EXPECT_EQ(run.exitCode, 0) << run.errors;
            CheckFiles(want, split, "unrar p");
            ++compared;
        } else if (run.exitCode != 0) {
            EXPECT_FALSE(run.errors.empty()) << "a failure says why";
        }
    }
    EXPECT_GE(compared, 60);
}

TEST(RarCorpus, QuorvanCatGivesTheStoredFirstFileAndRefusesPackedOnes) {
    QUORVAN_NEEDS_SHARED_DATA();
    std::vector<CorpusSet> sets = ReadExpected();
    const std::string quorvan = StageDir() + "/quorvan";
    int stored = 0, refused = 0;
    for (const CorpusSet& set : sets) {
        std::string first = Corpus() + "/" + set.path;
        if (FindFirstVolumeRule(first) == nullptr || set.files.empty())
            continue;
        SCOPED_TRACE(set.path);
        ArchiveScan scan = ScanArchive(ListVolumes(first).names);
        // An empty first file leaves the reader no geometry (there is no movie to play), and
        // a first file header past the first three blocks is beyond where it looks.
        if (scan.files.empty() || scan.files[0].directory || scan.files[0].link ||
            scan.files[0].unpackedSize == 0 || set.path == kPastThreeBlocks)
            continue;
        const ScanFile& head = scan.files[0];
        const Expected& expected = set.files[0];
        if (head.Plain() && set.unarExit == 0 && expected.known && expected.name == head.name) {
            Splitter split({expected.size});
            ToolRun run = RunTool({quorvan, "cat", first}, kLimitMs,
                                  [&](const char* d, size_t n) { split.Feed(d, n); });
            EXPECT_EQ(run.exitCode, 0) << run.errors;
            CheckFiles({expected}, split, "quorvan cat");
            ++stored;
        } else if (!head.Plain()) {
            std::string out;
            ToolRun run = RunTool({quorvan, "cat", first}, kLimitMs, nullptr, &out);
            EXPECT_NE(run.exitCode, 0);
            EXPECT_EQ(out.size(), 0u) << "packed bytes are never passed off as the file";
            EXPECT_NE(run.errors.find(head.encrypted ? "encrypted" : "compressed"),
                      std::string::npos)
                << run.errors;
            ++refused;
        }
    }
    EXPECT_GE(stored, 15);
    EXPECT_GE(refused, 15);
}

TEST(RarCorpus, OurOwnDecompressorsExtractEverySetTheyUnpackAsUnarDoes) {
    QUORVAN_NEEDS_SHARED_DATA();
    // Forced for every compressed file (binary/unrar uses them for encrypted compressed sets):
    // each RAR 2.9-4.x and RAR5 set an independent decoder extracts comes out the same, and
    // every other set, damaged or fuzzed, ends with a message, never a signal or a hang.
    std::vector<CorpusSet> sets = ReadExpected();
    int compared = 0;
    for (const CorpusSet& set : sets) {
        SCOPED_TRACE(set.path);
        const std::string first = Corpus() + "/" + set.path;
        ArchiveScan scan = ScanArchive(ListVolumes(first).names);
        bool packed = false, ours = true;
        for (const ScanFile& f : scan.files) {
            if (f.directory || f.link || !f.compressed)
                continue;
            packed = true;
            ours = ours && f.version >= 29;
        }
        if (!packed)
            continue;
        std::vector<Expected> want;
        for (const Expected& e : set.files)
            if (e.known)
                want.push_back(e);
        bool asserted = kLibarchiveAsserted.count(set.path) > 0;
        if (asserted) {
            want.clear();
            for (const std::string& name : kLibarchiveAsserted.at(set.path))
                want.push_back(Elsewhere(sets, name));
        }
        Splitter split({});
        ToolRun run = ExtractSet({"QUORVAN_UNRAR_DECODER=own"}, first, want, &split);
        ASSERT_FALSE(run.timedOut);
        ASSERT_LT(run.exitCode, 128) << run.errors;
        if (ours && !RefusedAgainstUnar(set.path) &&
            ((set.unarExit == 0 && !want.empty()) || asserted)) {
            EXPECT_EQ(run.exitCode, 0) << run.errors;
            CheckFiles(want, split, "own decompressors");
            ++compared;
        } else if (run.exitCode != 0) {
            EXPECT_FALSE(run.errors.empty()) << "a failure says why";
        }
    }
    // 12 RAR 2.9-4.x sets and 16 RAR5 ones (README).
    EXPECT_GE(compared, 26);
}
