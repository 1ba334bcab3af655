// binary/rar followed by binary/unrar gives the input back byte for byte.
#include "tests/rartools/toolrun.h"
#include "tests/support/testenv.h"
#include "tools/rarwriter/rarblocks.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kLimitMs = 60000;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

std::vector<std::string> VolumesOf(const std::string& firstVolume) {
    std::vector<std::string> names;
    std::string base = firstVolume.substr(0, firstVolume.size() - 4);
    if (fs::exists(firstVolume))
        names.push_back(firstVolume);
    for (int i = 0;; ++i) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".r%02d", i);
        if (!fs::exists(base + suffix))
            break;
        names.push_back(base + suffix);
    }
    return names;
}

std::string Unrar(const std::vector<std::string>& args, ToolRun* run) {
    std::vector<std::string> argv = {UnrarTool(), "p", "-inul"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out;
    *run = RunTool(argv, kLimitMs, nullptr, &out);
    return out;
}

} // namespace

TEST(RarRoundTrip, SizesAroundTheVolumeBoundary) {
    const uint64_t volume = 102400; // -v100k
    const uint64_t share = volume - rarwriter::kMarkerSize - rarwriter::kMainHeaderSize -
                           rarwriter::kEndArcSize - rarwriter::FileHeaderSize("movie.avi", 1);
    struct Case {
        uint64_t size;
        size_t volumes;
    } cases[] = {{0, 1},         {1, 1},         {share - 1, 1},    {share, 1},
                 {share + 1, 2}, {5 * share, 5}, {5 * share + 1, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        TempDir dir;
        std::string movie = dir.file("movie.avi");
        std::string content = RandomBytes(c.size, static_cast<unsigned>(c.size));
        WriteFile(movie, content);
        ToolRun made =
            RunTool({RarTool(), "a", "-ep", "-m0", "-o+", "-v100k", "-vn", dir.file("set"), movie},
                    kLimitMs, nullptr);
        ASSERT_EQ(made.exitCode, 0) << made.errors;
        std::vector<std::string> volumes = VolumesOf(dir.file("set.rar"));
        ASSERT_EQ(volumes.size(), c.volumes);
        for (size_t v = 0; v + 1 < volumes.size(); ++v)
            EXPECT_EQ(fs::file_size(volumes[v]), volume) << volumes[v];
        // Any volume's name leads to the whole set.
        ToolRun run;
        std::string out = Unrar({volumes.back()}, &run);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_TRUE(out == content) << "extracted " << out.size() << " bytes";
    }
}

TEST(RarRoundTrip, SeveralFilesFollowEachOtherAndMasksPickOne) {
    TempDir dir;
    std::string movie = RandomBytes(250000, 1), page = "<html>play me</html>\n";
    WriteFile(dir.file("m.avi"), movie);
    WriteFile(dir.file("How to play this movie without unpacking.html"), page);
    ToolRun made =
        RunTool({RarTool(), "a", "-ep", "-m0", "-o+", "-v100k", "-vn", dir.file("s"),
                 dir.file("m.avi"), dir.file("How to play this movie without unpacking.html")},
                kLimitMs, nullptr);
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    ToolRun run;
    EXPECT_TRUE(Unrar({dir.file("s.rar")}, &run) == movie + page);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(Unrar({dir.file("s.r00"), "*.html"}, &run) == page);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(Unrar({dir.file("s.rar"), "nothing.txt"}, &run).empty());
    EXPECT_NE(run.exitCode, 0);
}

TEST(RarRoundTrip, ExistingSetIsReplacedOnlyWithOverwrite) {
    TempDir dir;
    WriteFile(dir.file("a.avi"), "first");
    std::vector<std::string> base = {RarTool(),        "a", "-ep", "-m0", "-vn", dir.file("s"),
                                     dir.file("a.avi")};
    ASSERT_EQ(RunTool(base, kLimitMs, nullptr).exitCode, 0);
    WriteFile(dir.file("a.avi"), "second");
    ToolRun refused = RunTool(base, kLimitMs, nullptr);
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.errors.find("exists"), std::string::npos) << refused.errors;
    base.insert(base.begin() + 2, "-o+");
    EXPECT_EQ(RunTool(base, kLimitMs, nullptr).exitCode, 0);
    ToolRun run;
    EXPECT_EQ(Unrar({dir.file("s.rar")}, &run), "second");

    // A file that cannot be read leaves no half-written set behind.
    ToolRun missing = RunTool(
        {RarTool(), "a", "-ep", "-m0", "-o+", dir.file("t"), dir.file("none")}, kLimitMs, nullptr);
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_FALSE(missing.errors.empty());
    EXPECT_FALSE(fs::exists(dir.file("t.rar")));
}

// A file over 4 GiB (large-file fields) made sparse, so the test writes only a few megabytes:
// the writer keeps the holes, and the extracted stream is compared against the known content.
TEST(RarRoundTrip, SparseFileOverFourGigabytes) {
    TempDir dir;
    const uint64_t size = (4ull << 30) + 12345;
    const uint64_t marks[] = {0, 999999990, (4ull << 30) - 3, size - 4096};
    std::string movie = dir.file("big.mkv");
    int fd = open(movie.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    std::string mark = RandomBytes(4096, 7);
    for (uint64_t at : marks)
        ASSERT_EQ(pwrite(fd, mark.data(), mark.size(), static_cast<off_t>(at)), 4096);
    close(fd);

    ToolRun made =
        RunTool({RarTool(), "a", "-ep", "-m0", "-o+", "-v1G", "-vn", dir.file("big"), movie},
                kLimitMs, nullptr);
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    std::vector<std::string> volumes = VolumesOf(dir.file("big.rar"));
    ASSERT_EQ(volumes.size(), 5u);
    EXPECT_EQ(fs::file_size(volumes[0]), 1000000000u);

    // The stream is compared run by run: the marks, and zeros everywhere else.
    static const std::string zeros(1 << 20, '\0');
    uint64_t got = 0;
    bool same = true;
    auto compare = [&](const char* data, size_t n) {
        size_t i = 0;
        while (i < n && same) {
            uint64_t at = got + i;
            uint64_t runEnd = at + (n - i);
            const char* expected = zeros.data();
            for (uint64_t m : marks) {
                if (at >= m && at < m + 4096) {
                    expected = mark.data() + (at - m);
                    runEnd = std::min(runEnd, m + 4096);
                } else if (m > at) {
                    runEnd = std::min(runEnd, m);
                }
            }
            size_t len = static_cast<size_t>(std::min<uint64_t>(runEnd - at, zeros.size()));
            same = std::memcmp(data + i, expected, len) == 0;
            i += len;
        }
        got += n;
    };
    ToolRun run = RunTool({UnrarTool(), "p", "-inul", volumes[2]}, 240000, compare);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(got, size);
    EXPECT_TRUE(same);
}
