// binary/unrar on the WinRAR-made sets and on damaged, incomplete and encrypted ones.
#include "tests/rartools/toolrun.h"
#include "tests/support/testenv.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <mbedtls/md5.h>
#include <sstream>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kLimitMs = 60000;

std::string SetFile(const std::string& name) {
    return SharedDir() + "/testdata/rar/" + name;
}

ToolRun Unrar(const std::vector<std::string>& args, std::string* out) {
    std::vector<std::string> argv = {UnrarTool(), "p", "-inul"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv, kLimitMs, nullptr, out);
}

// Copies the volumes of a set into `dir` and returns the copy of the first one.
std::string CopySet(const TempDir& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        fs::copy_file(SetFile(name), dir.file(name));
    return dir.file(names[0]);
}

void FlipByte(const std::string& path, size_t at) {
    std::string data = ReadFile(path);
    data[at] = static_cast<char>(data[at] ^ 0x5A);
    WriteFile(path, data);
}

} // namespace

TEST(Unrar, WinRarSetsExtractToTheirChecksums) {
    QUORVAN_NEEDS_SHARED_DATA();
    struct Case {
        const char* given; // any volume of the set
        const char* mask;
        const char* md5;
    } cases[] = {
        {"rar3-old.rar", "vols\\bigfile.txt", "86c08c8bf3a7ff3e2b4d60e2f115a443"},
        {"rar3-old.r01", "vols/bigfile.txt", "86c08c8bf3a7ff3e2b4d60e2f115a443"},
        {"rar3-vols.part2.rar", "vols\\bigfile.txt", "86c08c8bf3a7ff3e2b4d60e2f115a443"},
        {"test_rar_multivolume_single_file.part1.rar", "", "78943e839b05c89a973845de122285a2"},
        {"test_rar_multivolume_single_file.part3.rar", "", "78943e839b05c89a973845de122285a2"},
        {"test_read_format_rar.rar", "test.txt", "f03f566a28784ddb31d216e6a5056e83"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        std::string out;
        std::vector<std::string> args = {SetFile(c.given)};
        if (*c.mask)
            args.push_back(c.mask);
        ToolRun run = Unrar(args, &out);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(Md5Hex(out), c.md5);
    }
}

TEST(Unrar, MissingVolumesAreNamedAndFailTheRun) {
    QUORVAN_NEEDS_SHARED_DATA();
    // The WinRAR set is incomplete on purpose: its first file is whole, the next one runs into
    // the missing third volume.
    std::string out;
    ToolRun run = Unrar({SetFile("test_rar_multivolume_uncompressed_files.part01.rar")}, &out);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("test_rar_multivolume_uncompressed_files.part03.rar is missing"),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(out.substr(0, 20111).size(), 20111u);

    // Middle volume gone: the set ends at the gap.
    TempDir dir;
    std::string first = CopySet(dir, {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"});
    fs::remove(dir.file("rar3-old.r00"));
    run = Unrar({first}, &out);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("rar3-old.r00 is missing"), std::string::npos) << run.errors;

    // First volume gone.
    fs::remove(first);
    run = Unrar({dir.file("rar3-old.r01")}, &out);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("rar3-old.rar"), std::string::npos) << run.errors;
}

TEST(Unrar, DamagedDataAndHeadersFailWithAMessage) {
    QUORVAN_NEEDS_SHARED_DATA();
    struct Case {
        const char* volume; // which volume of rar3-old is damaged
        size_t at;          // byte flipped
        const char* says;
    } cases[] = {
        {"rar3-old.rar", 30000, "CRC error"}, // stored data in the first volume
        {"rar3-old.r00", 5000, "CRC error"},  // stored data in a middle volume
        {"rar3-old.r01", 200, "CRC error"},   // the last piece (whole-file CRC)
        {"rar3-old.r00", 30, "damaged"},      // a file header
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.volume) + "@" + std::to_string(c.at));
        TempDir dir;
        std::string first = CopySet(dir, {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"});
        FlipByte(dir.file(c.volume), c.at);
        std::string out;
        ToolRun run = Unrar({first}, &out);
        EXPECT_FALSE(run.timedOut);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.errors.find(c.says), std::string::npos) << run.errors;
    }

    // A last volume cut short, and a file that is no archive at all.
    TempDir dir;
    std::string first = CopySet(dir, {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"});
    fs::resize_file(dir.file("rar3-old.r01"), 300);
    std::string out;
    ToolRun cut = Unrar({first}, &out);
    EXPECT_NE(cut.exitCode, 0);
    EXPECT_FALSE(cut.errors.empty());
    WriteFile(dir.file("junk.rar"), std::string(5000, 'j'));
    ToolRun junk = Unrar({dir.file("junk.rar")}, &out);
    EXPECT_NE(junk.exitCode, 0);
    EXPECT_FALSE(junk.errors.empty());
}

TEST(Unrar, EncryptedFilesFailWithThePasswordMessage) {
    // A stored archive whose file header says "encrypted" (flag 0x0004, header CRC redone).
    TempDir dir;
    WriteFile(dir.file("secret.avi"), std::string(1000, 's'));
    ASSERT_EQ(
        RunTool({RarTool(), "a", "-ep", "-m0", "-o+", dir.file("enc"), dir.file("secret.avi")},
                kLimitMs, nullptr)
            .exitCode,
        0);
    std::string data = ReadFile(dir.file("enc.rar"));
    const size_t header = 20; // after the marker and the archive header
    data[header + 3] = static_cast<char>(data[header + 3] | 0x04);
    size_t size = static_cast<unsigned char>(data[header + 5]) |
                  (static_cast<unsigned char>(data[header + 6]) << 8);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()) + header + 2,
                      static_cast<uInt>(size - 2));
    data[header] = static_cast<char>(crc & 0xFF);
    data[header + 1] = static_cast<char>((crc >> 8) & 0xFF);
    WriteFile(dir.file("enc.rar"), data);

    // The password on the command line, in the environment, on an inherited descriptor, or none.
    const std::string archive = dir.file("enc.rar");
    const std::string unrar = UnrarTool();
    struct Way {
        const char* name;
        std::vector<std::string> argv;
        bool given;
    };
    for (const Way& way :
         {Way{"switch", {unrar, "p", "-inul", "-pWRONG", archive}, true},
          Way{"environment",
              {"/usr/bin/env", "QUORVAN_RAR_PASSWORD=WRONG", unrar, "p", "-inul", archive},
              true},
          Way{"descriptor",
              {"/bin/bash", "-c", "QUORVAN_RAR_PASSWORD_FD=3 exec \"$0\" p -inul \"$1\" 3<<<WRONG",
               unrar, archive},
              true},
          Way{"none", {unrar, "p", "-inul", archive}, false}}) {
        SCOPED_TRACE(way.name);
        std::string out;
        ToolRun run = RunTool(way.argv, kLimitMs, nullptr, &out);
        EXPECT_EQ(run.exitCode, 11);
        EXPECT_NE(run.errors.find("encrypted"), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(way.given ? "password is wrong" : "no password"),
                  std::string::npos)
            << run.errors;
    }
    std::string out;
    ToolRun bad =
        RunTool({"/usr/bin/env", "QUORVAN_RAR_PASSWORD_FD=three", unrar, "p", "-inul", archive},
                kLimitMs, nullptr, &out);
    EXPECT_EQ(bad.exitCode, 7);
    EXPECT_NE(bad.errors.find("QUORVAN_RAR_PASSWORD_FD must name a descriptor"), std::string::npos)
        << bad.errors;
}

TEST(Unrar, CompressedSetAndBadCommandLinesEndPromptly) {
    QUORVAN_NEEDS_SHARED_DATA();
    // Compressed RAR 2.9 set over four volumes: the run ends well within the limit, and what
    // it prints is every member in turn, each of the size and CRC that another reader (lsar)
    // lists from the headers.
    const std::string set = SetFile("test_read_format_rar_multivolume.part0001.rar");
    std::string out;
    ToolRun run = Unrar({set}, &out);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    std::string listing;
    ASSERT_EQ(RunCommand({"lsar", "-L", set}, &listing), 0) << listing;
    // Regular files only: a link is not printed, a folder has nothing to print.
    struct Member {
        size_t size = 0;
        uint32_t crc = 0;
        bool printed = false; // set by its size line (the first line names the set)
    };
    std::vector<Member> members;
    std::istringstream lines(listing);
    bool folder = false;
    for (std::string line; std::getline(lines, line);) {
        auto value = [&] { return line.substr(line.find(':') + 1); };
        if (!line.empty() && line[0] != ' ') {
            members.push_back({});
            members.back().printed = false;
            folder = line.find("/: ") != std::string::npos;
        } else if (members.empty()) {
            continue;
        } else if (line.rfind("  Size: ", 0) == 0) {
            std::string v = value();
            size_t open = v.find('(');
            members.back().size = std::stoull(open == std::string::npos ? v : v.substr(open + 1));
            members.back().printed = !folder;
        } else if (line.rfind("  Is a link: ", 0) == 0 &&
                   value().find("Yes") != std::string::npos) {
            members.back().printed = false;
        } else if (line.rfind("  RARCRC32: ", 0) == 0) {
            members.back().crc = static_cast<uint32_t>(std::stoul(value(), nullptr, 16));
        }
    }
    std::erase_if(members, [](const Member& m) { return !m.printed; });
    ASSERT_GE(members.size(), 2u) << listing;
    size_t at = 0;
    for (const auto& [size, crc, printed] : members) {
        ASSERT_LE(at + size, out.size());
        EXPECT_EQ(
            crc32(0, reinterpret_cast<const Bytef*>(out.data()) + at, static_cast<uInt>(size)), crc)
            << "member at " << at;
        at += size;
    }
    EXPECT_EQ(at, out.size());

    for (std::vector<std::string> argv :
         std::vector<std::vector<std::string>>{{UnrarTool()},
                                               {UnrarTool(), "x", "a.rar"},
                                               {UnrarTool(), "p", "-zz", "a.rar"},
                                               {UnrarTool(), "p", "-inul"}}) {
        ToolRun bad = RunTool(argv, kLimitMs, nullptr, &out);
        EXPECT_EQ(bad.exitCode, 7);
        EXPECT_NE(bad.errors.find("Usage"), std::string::npos);
    }
}

namespace {

std::string CorpusFile(const std::string& name) {
    return SharedDir() + "/testdata/rar-corpus/rarfile/" + name;
}

std::string CopyCorpusSet(const TempDir& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        fs::copy_file(CorpusFile(name), dir.file(name));
    return dir.file(names[0]);
}

uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

} // namespace

TEST(Unrar, DamageInAStoredSetEndsTheRunAtTheLastGoodByteAndNamesTheVolume) {
    QUORVAN_NEEDS_SHARED_DATA();
    // The same two files stored in RAR 2.9 and in RAR5 volumes of 100 KiB.
    struct Case {
        std::vector<std::string> volumes;
        size_t share0, share1, offset1; // geometry of the first file in volumes 1 and 2
    } cases[] = {
        {{"rar3-vols.part1.rar", "rar3-vols.part2.rar", "rar3-vols.part3.rar"}, 0, 0, 0},
        {{"rar5-vols.part1.rar", "rar5-vols.part2.rar", "rar5-vols.part3.rar"}, 98489, 98488, 76},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volumes[0]);
        TempDir dir;
        std::string first = CopyCorpusSet(dir, c.volumes);
        std::string whole;
        ToolRun good = Unrar({first}, &whole);
        ASSERT_EQ(good.exitCode, 0) << good.errors;
        ASSERT_EQ(whole.size(), 205000u + 2050u);
        EXPECT_EQ(Crc(whole.substr(0, 205000)), 0x509ad74cu);

        // A flipped byte in the middle volume's data: the CRC of that piece fails.
        std::string middle = dir.file(c.volumes[1]);
        std::string saved = ReadFile(middle);
        FlipByte(middle, 5000);
        std::string out;
        ToolRun flipped = Unrar({first}, &out);
        EXPECT_EQ(flipped.exitCode, 3);
        EXPECT_NE(flipped.errors.find("CRC error"), std::string::npos) << flipped.errors;
        EXPECT_NE(flipped.errors.find(c.volumes[1]), std::string::npos) << flipped.errors;
        EXPECT_LT(out.size(), 205000u);

        // The middle volume cut short: the output is the movie up to its last byte there, never
        // the next volume's headers, and the short volume is named.
        WriteFile(middle, saved.substr(0, 50000));
        out.clear();
        ToolRun cut = Unrar({first}, &out);
        EXPECT_EQ(cut.exitCode, 3);
        EXPECT_NE(cut.errors.find(c.volumes[1] + " is cut short"), std::string::npos) << cut.errors;
        EXPECT_EQ(out.find("Rar!"), std::string::npos);
        if (c.share0 > 0) {
            EXPECT_EQ(out.size(), c.share0 + 50000 - c.offset1);
        }
        EXPECT_TRUE(out == whole.substr(0, out.size())) << "the output is the movie's own bytes";
        EXPECT_GT(out.size(), 100000u);
    }
}

TEST(Unrar, Rar5PasswordsAndChecksumsAreHonoured) {
    QUORVAN_NEEDS_SHARED_DATA();
    // Encrypted RAR5 (AES, CRC32 keyed): the right password gives the two files exactly.
    std::string out;
    ToolRun right = Unrar({"-ppassword", CorpusFile("rar5-psw.rar")}, &out);
    EXPECT_EQ(right.exitCode, 0) << right.errors;
    ASSERT_EQ(out.size(), 4096u);
    EXPECT_EQ(Crc(out.substr(0, 2048)), 0xc5b7e6a2u);
    EXPECT_EQ(Crc(out.substr(2048)), 0xc5b7e6a2u);
    for (const char* password : {"-pWRONG", ""}) {
        SCOPED_TRACE(password);
        std::vector<std::string> args;
        if (*password)
            args.push_back(password);
        args.push_back(CorpusFile("rar5-psw.rar"));
        out.clear();
        ToolRun wrong = Unrar(args, &out);
        EXPECT_EQ(wrong.exitCode, 11);
        EXPECT_EQ(out.size(), 0u) << "no ciphertext passed off as the file";
        EXPECT_NE(wrong.errors.find("stest1.txt"), std::string::npos) << wrong.errors;
        EXPECT_NE(wrong.errors.find(*password ? "password is wrong" : "no password"),
                  std::string::npos)
            << wrong.errors;
    }

    // A stored RAR5 file that has only a BLAKE2sp checksum: a flipped byte fails it.
    TempDir dir;
    std::string blake = CopyCorpusSet(dir, {"rar5-blake.rar"});
    out.clear();
    ToolRun whole = Unrar({blake}, &out);
    ASSERT_EQ(whole.exitCode, 0) << whole.errors;
    EXPECT_EQ(Crc(out.substr(2048)), 0xc5b7e6a2u);
    FlipByte(blake, 293 + 100); // inside stest2.txt, stored
    out.clear();
    ToolRun flipped = Unrar({blake, "stest2.txt"}, &out);
    EXPECT_EQ(flipped.exitCode, 3);
    EXPECT_NE(flipped.errors.find("BLAKE2"), std::string::npos) << flipped.errors;
    EXPECT_NE(flipped.errors.find("stest2.txt"), std::string::npos) << flipped.errors;
}

TEST(Unrar, NamesOutsideAsciiExtractInTheCLocale) {
    QUORVAN_NEEDS_SHARED_DATA();
    // The C locale cannot write these names; the tool extracts them all the same.
    const char* saved = std::getenv("LC_ALL");
    std::string keep = saved != nullptr ? saved : "";
    setenv("LC_ALL", "C", 1);
    struct Case {
        const char* set;
        std::vector<std::string> masks;
        size_t bytes;
    } cases[] = {
        {"rar3-subdirs.rar", {}, 25},
        {"unicode2.rar", {}, 4},
        {"unicode.rar", {"уииоотивл.txt"}, 2},
        {"rar5-subdirs.rar", {}, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        std::vector<std::string> args = {CorpusFile(c.set)};
        args.insert(args.end(), c.masks.begin(), c.masks.end());
        std::string out;
        ToolRun run = Unrar(args, &out);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(out.size(), c.bytes);
    }
    if (saved != nullptr)
        setenv("LC_ALL", keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}
