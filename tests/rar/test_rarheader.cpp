// The block walk over the first volume's headers, on good and hostile bytes.
#include "rar/rarheader.h"
#include "tests/rar/rarfixture.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {
RarHeaderInfo Parse(const std::string& bytes) {
    return ParseRarGeometry(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

void Set16(std::string& bytes, size_t at, unsigned v) {
    bytes[at] = char(v & 0xff);
    bytes[at + 1] = char(v >> 8);
}

// Offsets in the fixture's head: marker 0..6, main header 7..19, file header from 20.
constexpr size_t kFile = 20;

TEST(RarHeader, ReadsTheGeometryOfAStoredSet) {
    StoredSetOptions options;
    options.share = 50000000;
    std::string head = StoredSetHead(123456789, options);
    RarHeaderInfo info = Parse(head);
    ASSERT_EQ(info.result, RarHeaderResult::Ok);
    EXPECT_EQ(info.volumeDataSize, 50000000);
    EXPECT_EQ(info.unpackedSize, 123456789u);
    EXPECT_EQ(info.dataOffset, int32_t(head.size()));
    EXPECT_TRUE(info.stored);
    EXPECT_FALSE(info.largeFile);
}

TEST(RarHeader, TheLargeFileFlagAddsTheHighUnpackedSize) {
    StoredSetOptions options;
    options.share = 2000000000;
    options.largeFile = true;
    std::string head = StoredSetHead(5000000000ull, options);
    RarHeaderInfo info = Parse(head);
    ASSERT_EQ(info.result, RarHeaderResult::Ok);
    EXPECT_TRUE(info.largeFile);
    EXPECT_EQ(info.unpackedSize, 5000000000ull);
    // Without the flag the high field is not read.
    head[kFile + 4] = 0;
    info = Parse(head);
    EXPECT_EQ(info.unpackedSize, 5000000000ull & 0xffffffffull);
}

TEST(RarHeader, OneVolumeMayCarryMoreThan2GiB) {
    StoredSetOptions options;
    options.share = 0x80000000; // past a signed 32-bit count, without the large-file flag
    RarHeaderInfo info = Parse(StoredSetHead(0x80000000u, options));
    ASSERT_EQ(info.result, RarHeaderResult::Ok);
    EXPECT_EQ(info.volumeDataSize, 0x80000000ll);
    options.share = 6000000000ll; // the high packed size says so
    info = Parse(StoredSetHead(6000000000ull, options));
    ASSERT_EQ(info.result, RarHeaderResult::Ok);
    EXPECT_TRUE(info.largeFile);
    EXPECT_EQ(info.volumeDataSize, 6000000000ll);
    EXPECT_EQ(info.unpackedSize, 6000000000ull);
}

TEST(RarHeader, TheSignatureIsComparedIgnoringCase) {
    StoredSetOptions options;
    options.share = 10;
    std::string head = StoredSetHead(100, options);
    for (const char* signature : {"RAR!", "rar!", "rAr!"}) {
        head.replace(0, 4, signature);
        EXPECT_EQ(Parse(head).result, RarHeaderResult::Ok) << signature;
    }
    for (const char* signature : {"Rar?", "PK\x03\x04", "Ra", ""}) {
        std::string bad = std::string(signature) + head.substr(4);
        EXPECT_EQ(Parse(bad).result, RarHeaderResult::NotRar) << signature;
    }
    EXPECT_EQ(Parse("").result, RarHeaderResult::NotRar);
}

TEST(RarHeader, HostileHeadersGiveNoGeometry) {
    StoredSetOptions options;
    options.share = 1000;
    const std::string good = StoredSetHead(5000, options);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const char* what, auto change) {
        std::string bytes = good;
        change(bytes);
        cases.push_back({what, bytes});
    };
    with("marker header size 0", [](std::string& b) { Set16(b, 5, 0); });
    with("main header size 0", [](std::string& b) { Set16(b, 12, 0); });
    with("main header size 6", [](std::string& b) { Set16(b, 12, 6); });
    with("file header size 0", [](std::string& b) { Set16(b, kFile + 5, 0); });
    with("file header shorter than its fields", [](std::string& b) { Set16(b, kFile + 5, 31); });
    with("main header skips past the end", [](std::string& b) { Set16(b, 12, 0xffff); });
    with("packed size 0", [](std::string& b) { b.replace(kFile + 7, 4, std::string(4, '\0')); });
    with("header runs past the bytes there",
         [](std::string& b) { Set16(b, kFile + 5, unsigned(b.size() - kFile + 1)); });
    with("file header is the fourth block",
         [](std::string& b) { b.insert(kFile, std::string("\0\0\x7a\0\0\x07\0", 7)); });
    with("truncated inside the base header", [](std::string& b) { b.resize(kFile + 5); });
    with("truncated inside the file header", [](std::string& b) { b.resize(kFile + 20); });
    with("large flag without room for the high fields", [](std::string& b) {
        b[kFile + 4] = char(b[kFile + 4] | 0x01);
        b.resize(kFile + 36);
    });
    for (const Case& c : cases) {
        RarHeaderInfo info = Parse(c.bytes);
        EXPECT_EQ(info.result, RarHeaderResult::NoFileHeader) << c.what;
        EXPECT_EQ(info.volumeDataSize, 0) << c.what;
    }
}

TEST(RarHeader, AFileHeaderPastTheWindowIsNotSeen) {
    StoredSetOptions options;
    options.share = 1000;
    std::string head = StoredSetHead(5000, options);
    // A main header padded so that the file header starts beyond the first 5000 bytes.
    size_t padding = kRarHeaderWindow;
    Set16(head, 12, unsigned(13 + padding));
    head.insert(kFile, std::string(padding, '\0'));
    EXPECT_EQ(
        ParseRarGeometry(reinterpret_cast<const unsigned char*>(head.data()), kRarHeaderWindow)
            .result,
        RarHeaderResult::NoFileHeader);
}

TEST(RarHeader, RandomBytesBehindTheSignatureNeverReadOutside) {
    // Run under the address sanitizer in CI; here the walk must simply end with an answer.
    std::mt19937 gen(7);
    for (int round = 0; round < 20000; ++round) {
        size_t n = gen() % 80;
        std::string bytes = "Rar!" + RandomBytes(n, uint32_t(round));
        RarHeaderInfo info = Parse(bytes);
        if (info.result == RarHeaderResult::Ok) {
            EXPECT_GT(info.volumeDataSize, 0);
            EXPECT_LE(size_t(info.dataOffset), 3 * 0xffffu);
        }
    }
}
} // namespace
