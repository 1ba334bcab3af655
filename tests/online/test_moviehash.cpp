// Movie fingerprints: the OpenSubtitles hash against a straightforward word-by-word reading,
// the MD5 fingerprints against whole-buffer MD5, and stored sets against loose files.
#include "online/moviehash.h"
#include "platform/textutil.h"
#include "rar/rarreader.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <mbedtls/md5.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <thread>

namespace {
// Straight from the description: size, then up to 8192 whole words from the start, then up
// to 8192 from max(0, size - 65536), each read on its own; a stream whose first pass ran into
// its end reads nothing in the second.
uint64_t ReferenceOpenSubtitles(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    uint64_t size = uint64_t(in.tellg());
    uint64_t hash = size;
    auto pass = [&](uint64_t from) {
        in.seekg(std::streamoff(from));
        for (int i = 0; i < 8192; ++i) {
            unsigned char w[8];
            if (!in.read(reinterpret_cast<char*>(w), 8))
                break;
            uint64_t v = 0;
            for (int b = 0; b < 8; ++b)
                v |= uint64_t(w[b]) << (8 * b);
            hash += v;
        }
    };
    pass(0);
    pass(size > 65536 ? size - 65536 : 0);
    return hash;
}

std::string Hex16(uint64_t v) {
    std::string s;
    for (int i = 15; i >= 0; --i)
        s += "0123456789abcdef"[(v >> (4 * i)) & 15];
    return s;
}

class Fingerprints : public ::testing::Test {
  protected:
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped{&port};
};

TEST_F(Fingerprints, OpenSubtitlesHashAgreesWithTheWordByWordReading) {
    const size_t sizes[] = {0, 7, 8, 100, 65535, 65536, 65537, 65543, 131072, 200003};
    for (size_t size : sizes) {
        std::string path = dir.file(Format("m%zu.avi", size));
        WriteFile(path, RandomBytes(size, uint32_t(size)));
        std::string hash = GenerateHashOpenSubtitles(path);
        EXPECT_EQ(hash, Hex16(ReferenceOpenSubtitles(path))) << size;
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(compute_hash(in), ReferenceOpenSubtitles(path)) << size;
    }
}

TEST_F(Fingerprints, OpenSubtitlesEdgeSizesCountWordsOnceOrTwice) {
    // Shorter than 64 KiB: every whole word counts once; 3 trailing bytes add nothing.
    std::string small = std::string(8, '\x01') + std::string(3, '\x7f');
    WriteFile(dir.file("small"), small);
    EXPECT_EQ(GenerateHashOpenSubtitles(dir.file("small")), "010101010101010c");
    std::string words = std::string(8, '\x01') + std::string(8, '\x02');
    WriteFile(dir.file("words"), words);
    EXPECT_EQ(GenerateHashOpenSubtitles(dir.file("words")),
              Hex16(16 + 0x0101010101010101ull + 0x0202020202020202ull));
    // Exactly 64 KiB: both passes read the whole file, so each word counts twice.
    WriteFile(dir.file("exact"), std::string(65536, '\x01'));
    EXPECT_EQ(GenerateHashOpenSubtitles(dir.file("exact")),
              Hex16(65536 + 2 * 8192 * 0x0101010101010101ull));
    // A value with leading zero nibbles keeps 16 digits: 31 zero bytes hash to 31.
    WriteFile(dir.file("zeros"), std::string(31, '\0'));
    EXPECT_EQ(GenerateHashOpenSubtitles(dir.file("zeros")), "000000000000001f");
}

TEST_F(Fingerprints, OpenSubtitlesTailOfAFileBeyondFourGibibytes) {
    const uint64_t size = (uint64_t(1) << 32) + 4097;
    RarMarks marks = {{0, RandomBytes(70000, 1)},
                      {size - 65536 - 5, RandomBytes(20, 2)},
                      {size - 30000, RandomBytes(30000, 3)}};
    std::string path = dir.file("huge.mkv");
    ASSERT_TRUE(WriteLooseFile(path, size, marks));
    EXPECT_EQ(GenerateHashOpenSubtitles(path), Hex16(ReferenceOpenSubtitles(path)));
    MovieHash hash(path);
    EXPECT_EQ(hash.fileSize, int64_t(size));
    EXPECT_EQ(hash.getfilesize(), "4294971393");
}

TEST_F(Fingerprints, NapiprojektDigestsTheFirstTenMebibytes) {
    std::string shortMovie = RandomBytes(300000, 4);
    WriteFile(dir.file("short.avi"), shortMovie);
    std::string longMovie = RandomBytes(10 * 1024 * 1024 + 5000, 5);
    WriteFile(dir.file("long.avi"), longMovie);

    MovieHash shortHash(dir.file("short.avi"));
    EXPECT_EQ(shortHash.hashNapiprojekt, Md5Hex(shortMovie));
    MovieHash longHash(dir.file("long.avi"));
    EXPECT_EQ(longHash.hashNapiprojekt, Md5Hex(longMovie.substr(0, 10 * 1024 * 1024)));
    EXPECT_EQ(longHash.hashNapisyInfo, Md5Hex(longMovie.substr(500000, 1024)));
    EXPECT_EQ(longHash.fileSize, int64_t(longMovie.size()));

    unsigned char digest[16];
    char hex[33];
    ASSERT_EQ(napiproj_file(dir.file("long.avi"), digest, 1000), 0);
    tohexdigs(digest, hex);
    EXPECT_EQ(std::string(hex), Md5Hex(longMovie.substr(1000, 10 * 1024 * 1024)));
    ASSERT_EQ(napisyinfo_file(dir.file("short.avi"), digest, 299500), 0);
    tohexdigs(digest, hex);
    EXPECT_EQ(std::string(hex), Md5Hex(shortMovie.substr(299500)));
}

TEST_F(Fingerprints, NapisyInfoOfAMovieShorterThanItsStartIsTheDigestOfNothing) {
    WriteFile(dir.file("tiny.avi"), RandomBytes(499999, 6));
    MovieHash hash(dir.file("tiny.avi"));
    EXPECT_EQ(hash.hashNapisyInfo, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hash.fileSize, 499999);
}

TEST_F(Fingerprints, AnUnopenablePathGivesMissingFingerprints) {
    testing::internal::CaptureStderr();
    MovieHash hash(dir.file("absent.avi"));
    EXPECT_EQ(GenerateHashOpenSubtitles(dir.file("absent.avi")), "");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(hash.hashNapiprojekt, "0");
    EXPECT_EQ(hash.hashNapisyInfo, "0");
    EXPECT_EQ(hash.hashOpenSubtitles, "");
    EXPECT_EQ(hash.fileSize, 0);
    EXPECT_NE(err.find("Error opening file\n"), std::string::npos);
    unsigned char digest[16];
    EXPECT_EQ(napiproj_file(dir.file("absent.avi"), digest, 0), 1);
    EXPECT_EQ(napisyinfo_file(dir.file("absent.avi"), digest, 500000), 1);
    EXPECT_EQ(GetFileSizeForName(dir.file("absent.avi")), 0);
    // A RAR name whose first volume is missing: missing fingerprints, not a loose-file hash.
    MovieHash set(dir.file("absent.part01.rar"));
    EXPECT_EQ(set.hashNapiprojekt, "0");
    EXPECT_EQ(set.hashOpenSubtitles, "");
}

void ExpectSameFingerprints(const std::string& stored, const std::string& loose) {
    MovieHash a(stored), b(loose);
    EXPECT_EQ(a.hashNapiprojekt, b.hashNapiprojekt);
    EXPECT_EQ(a.hashNapisyInfo, b.hashNapisyInfo);
    EXPECT_EQ(a.hashOpenSubtitles, b.hashOpenSubtitles);
    EXPECT_EQ(a.fileSize, b.fileSize);
    EXPECT_EQ(GenerateHashOpenSubtitles(stored), b.hashOpenSubtitles);
    EXPECT_NE(b.hashOpenSubtitles, "");
}

TEST_F(Fingerprints, AStoredMovieFingerprintsAsTheSameMovieLoose) {
    // Volumes smaller than the 10 MiB and 500,000-byte reads, so they cross many volumes.
    struct Case {
        size_t size;
        int32_t share;
    };
    for (Case c : {Case{20000, 7000}, Case{65536, 10000}, Case{600000, 123457},
                   Case{11 * 1024 * 1024 + 3, 3000000}}) {
        SCOPED_TRACE(c.size);
        std::string movie = RandomBytes(c.size, uint32_t(c.share));
        std::string base = dir.file(Format("s%zu", c.size));
        std::vector<std::string> names;
        for (size_t k = 0; k * size_t(c.share) < c.size; ++k)
            names.push_back(base + Format(".part%02zu.rar", k + 1));
        StoredSetOptions options;
        options.share = c.share;
        ASSERT_TRUE(WriteStoredSet(names, c.size, {{0, movie}}, options));
        WriteFile(base + ".avi", movie);
        ExpectSameFingerprints(names[0], base + ".avi");
    }
}

TEST_F(Fingerprints, AStoredMovieOfFiveBillionBytesFingerprintsAsLoose) {
    const uint64_t size = 5000000000ull;
    RarMarks marks = {{0, RandomBytes(600000, 7)},
                      {size - 70000, RandomBytes(70000, 8)},
                      {2000000000ull - 4, RandomBytes(8, 9)}};
    StoredSetOptions options;
    options.share = 2000000000;
    std::vector<std::string> names = {dir.file("big.rar"), dir.file("big.r00"),
                                      dir.file("big.r01")};
    ASSERT_TRUE(WriteStoredSet(names, size, marks, options));
    ASSERT_TRUE(WriteLooseFile(dir.file("big.mkv"), size, marks));
    testing::internal::CaptureStdout();
    ExpectSameFingerprints(names[0], dir.file("big.mkv"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(MovieHash(names[0]).getfilesize(), "5000000000");
}

TEST_F(Fingerprints, WinRarSetsFingerprintAsTheirExtractedFile) {
    QUORVAN_NEEDS_SHARED_DATA();
    const std::string data = SharedDir() + "/testdata/rar/";
    const std::vector<std::vector<std::string>> sets = {
        {"rar3-old.rar", "rar3-old.r00", "rar3-old.r01"},
        {"rar3-vols.part1.rar", "rar3-vols.part2.rar", "rar3-vols.part3.rar"},
        {"test_read_format_rar.rar"},
    };
    for (const auto& volumes : sets) {
        SCOPED_TRACE(volumes[0]);
        std::vector<std::string> paths;
        for (const std::string& v : volumes)
            paths.push_back(data + v);
        std::vector<const char*> names;
        for (const std::string& p : paths)
            names.push_back(p.c_str());
        names.push_back(nullptr);
        archive* a = archive_read_new();
        archive_read_support_format_rar(a);
        archive_entry* entry = nullptr;
        std::string movie;
        ASSERT_EQ(archive_read_open_filenames(a, names.data(), 10240), ARCHIVE_OK);
        ASSERT_EQ(archive_read_next_header(a, &entry), ARCHIVE_OK);
        char chunk[8192];
        la_ssize_t n;
        while ((n = archive_read_data(a, chunk, sizeof chunk)) > 0)
            movie.append(chunk, size_t(n));
        archive_read_free(a);
        WriteFile(dir.file("loose"), movie);
        ExpectSameFingerprints(paths[0], dir.file("loose"));
    }
}

TEST(FingerprintHelpers, MaxOfTwoInts) {
    EXPECT_EQ(MAX(3, -4), 3);
    EXPECT_EQ(MAX(-7, -4), -4);
}
} // namespace

namespace {
// Message boxes as the Qt program shows them: only the window thread shows one; any other
// thread hands its box over and waits until the window thread has shown it (here at most
// 5 s, so that a deadlock shows as a failure instead of a hang).
class WindowThreadPort : public RecorderPort {
  public:
    int MessageBox(const std::string& text, const std::string& caption, int flags) override {
        if (std::this_thread::get_id() == window_)
            return RecorderPort::MessageBox(text, caption, flags);
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(text);
        size_t mine = ++asked_;
        if (!cv_.wait_for(lock, std::chrono::seconds(5), [&] { return shown_ >= mine; }))
            ++timedOut;
        return IDOK_;
    }
    // Runs on the window thread: shows the boxes handed over so far.
    void ShowHandedOver() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            std::string text = queue_.front();
            queue_.erase(queue_.begin());
            lock.unlock();
            RecorderPort::MessageBox(text, "shown by the window thread", 0);
            lock.lock();
            ++shown_;
        }
        cv_.notify_all();
    }
    std::atomic<int> timedOut{0};

  private:
    std::thread::id window_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> queue_;
    size_t asked_ = 0;
    size_t shown_ = 0;
};
} // namespace

TEST(FingerprintThreads, ADamagedSetFingerprintedByAWorkerNeverWaitsOnTheWindowUnderTheLock) {
    TempDir dir;
    WriteFile(dir.file("broken.rar"), std::string(4096, 'x')); // no RAR signature
    WindowThreadPort port;
    ScopedPort scoped(&port);
    std::atomic<bool> done{false};
    std::string openSubtitles = "unset";
    std::thread worker([&] {
        for (int round = 0; round < 3; ++round)
            openSubtitles = MovieHash(dir.file("broken.rar")).hashOpenSubtitles;
        done = true;
    });
    // The window thread keeps asking the reader (waiting for its lock) and showing what the
    // worker hands over.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        EXPECT_EQ(s.numerpliku(0), 0);
        port.ShowHandedOver();
    }
    worker.join();
    port.ShowHandedOver();
    EXPECT_EQ(port.timedOut, 0) << "the worker showed a message box while holding the reader";
    EXPECT_EQ(openSubtitles, "");
    size_t shown = 0;
    for (const auto& event : port.Events())
        shown +=
            event.rfind("message:shown by the window thread:This isn’t good RAR file!", 0) == 0;
    EXPECT_EQ(shown, 3u);
}
