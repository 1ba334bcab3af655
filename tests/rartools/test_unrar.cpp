// binary/unrar on the WinRAR-made sets and on damaged, incomplete and encrypted ones.
#include "tests/rartools/toolrun.h"
#include "tests/support/testenv.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <mbedtls/md5.h>
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

    for (const char* password : {"-pWRONG", ""}) {
        SCOPED_TRACE(password);
        std::string out;
        std::vector<std::string> args;
        if (*password)
            args.push_back(password);
        args.push_back(dir.file("enc.rar"));
        ToolRun run = Unrar(args, &out);
        EXPECT_EQ(run.exitCode, 11);
        EXPECT_NE(run.errors.find("encrypted"), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(*password ? "password is wrong" : "no password"),
                  std::string::npos)
            << run.errors;
    }
}

TEST(Unrar, CompressedSetAndBadCommandLinesEndPromptly) {
    // Compressed RAR 2.9 set over four volumes: the run ends (whatever the library makes of
    // it) well within the limit and reports any failure.
    std::string out;
    ToolRun run = Unrar({SetFile("test_read_format_rar_multivolume.part0001.rar")}, &out);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode == 0, run.errors.empty()) << run.errors;

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
