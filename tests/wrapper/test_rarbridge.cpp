// The wrapper's RAR bridge: the stored movie served over HTTP with byte ranges.
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"
#include "tools/wrapper/rarbridge.h"

#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <random>

namespace {
// A file of `size` pseudo-random bytes split by binary/rar into volumes of `volumeKiB` KiB.
struct StoredSet {
    std::string data;
    std::string first;
};

StoredSet MakeSet(const TempDir& dir, size_t size, int volumeKiB) {
    StoredSet set;
    std::mt19937 rng(static_cast<unsigned>(size));
    set.data.resize(size);
    for (auto& c : set.data)
        c = static_cast<char>(rng());
    WriteFile(dir.file("movie.avi"), set.data);
    std::string out;
    int rc = RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+",
                         "-v" + std::to_string(volumeKiB) + "k", "-vn", dir.file("movie.rar"),
                         dir.file("movie.avi")},
                        &out);
    EXPECT_EQ(rc, 0) << out;
    set.first = dir.file("movie.rar");
    return set;
}

// "ffmpeg://http://127.0.0.1:N/name" -> client and path.
std::pair<int, std::string> PortAndPath(const std::string& address) {
    std::string rest = address.substr(std::string("ffmpeg://http://127.0.0.1:").size());
    size_t slash = rest.find('/');
    return {std::stoi(rest.substr(0, slash)), rest.substr(slash)};
}
} // namespace

TEST(RarBridge, ServesTheStoredMovieWholeAndByRanges) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 700 * 1024 + 123, 100);
    RecorderPort port;
    ScopedPort scoped(&port);
    RarBridge bridge;
    std::string address = bridge.Serve(dir.file("movie.r03"));
    ASSERT_EQ(address.rfind("ffmpeg://http://127.0.0.1:", 0), 0u) << address;
    auto [tcp, path] = PortAndPath(address);
    EXPECT_EQ(path, "/movie.rar");
    httplib::Client client("127.0.0.1", tcp);

    auto whole = client.Get(path.c_str());
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_TRUE(whole->body == set.data)
        << "sizes " << whole->body.size() << " " << set.data.size();

    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        size_t from = rng() % set.data.size();
        size_t length = 1 + rng() % (300 * 1024);
        size_t to = std::min(set.data.size() - 1, from + length - 1);
        auto part = client.Get(path.c_str(), {httplib::make_range_header({{from, to}})});
        ASSERT_TRUE(part);
        ASSERT_EQ(part->status, 206);
        ASSERT_TRUE(part->body == set.data.substr(from, to - from + 1)) << from << "-" << to;
    }
    auto tail = client.Get(path.c_str(), {{"Range", "bytes=-10"}});
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->body, set.data.substr(set.data.size() - 10));
    EXPECT_TRUE(port.Events().empty()) << "a good set draws no message";
}

TEST(RarBridge, AMissingVolumeEndsTheStreamAtTheGap) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 500 * 1024, 100);
    ASSERT_EQ(std::remove(dir.file("movie.r01").c_str()), 0);
    RarBridge bridge;
    std::string address = bridge.Serve(set.first);
    ASSERT_FALSE(address.empty());
    auto [tcp, path] = PortAndPath(address);
    httplib::Client client("127.0.0.1", tcp);
    std::string received;
    client.Get(path.c_str(), [&](const char* data, size_t n) {
        received.append(data, n);
        return true;
    });
    // Volumes .rar and .r00 carry the first two slices; .r01 is gone.
    ASSERT_GT(received.size(), 0u);
    EXPECT_LT(received.size(), set.data.size());
    EXPECT_TRUE(received == set.data.substr(0, received.size()));
    // Past the gap the bytes are there again.
    size_t after = 4 * 100 * 1024;
    auto part = client.Get(path.c_str(), {httplib::make_range_header({{after, after + 999}})});
    ASSERT_TRUE(part);
    EXPECT_TRUE(part->body == set.data.substr(after, 1000));
}

TEST(RarBridge, AVolumeDeletedWhilePlayingEndsTheStreamThere) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 500 * 1024, 100);
    RarBridge bridge;
    std::string address = bridge.Serve(set.first);
    ASSERT_FALSE(address.empty());
    auto [tcp, path] = PortAndPath(address);
    httplib::Client client("127.0.0.1", tcp);
    // The whole movie once, as a player reading to its end would.
    auto whole = client.Get(path.c_str());
    ASSERT_TRUE(whole);
    ASSERT_TRUE(whole->body == set.data);

    // .r01 carries the third slice; seeking back into it after it is gone must not give zeros.
    ASSERT_EQ(std::remove(dir.file("movie.r01").c_str()), 0);
    const size_t from = 250 * 1024;
    const size_t to = from + 9999;
    std::string received;
    client.Get(path.c_str(), {httplib::make_range_header({{from, to}})},
               [&](const char* data, size_t n) {
                   received.append(data, n);
                   return true;
               });
    EXPECT_LT(received.size(), to - from + 1) << "the stream ends at the deleted volume";
    EXPECT_TRUE(received == set.data.substr(from, received.size()));

    // The volumes still there are served as before.
    auto start = client.Get(path.c_str(), {httplib::make_range_header({{0, 999}})});
    ASSERT_TRUE(start);
    EXPECT_TRUE(start->body == set.data.substr(0, 1000));
}

TEST(RarBridge, NamesThatAreNoStoredSetAreLeftToThePlayer) {
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped(&port);
    RarBridge bridge;
    EXPECT_EQ(bridge.Serve(dir.file("movie.avi")), "");
    EXPECT_EQ(bridge.Serve(dir.file("absent.rar")), "");
    EXPECT_FALSE(port.Events().empty()) << "an unreadable set is reported";

    // A set whose file is compressed: the method byte of the file header says so.
    StoredSet set = MakeSet(dir, 50 * 1024, 100);
    std::string first = ReadFile(set.first);
    size_t header = first.find("movie.avi") - 32; // the file header's fixed part precedes the name
    ASSERT_EQ(first[header + 25], '0');
    first[header + 25] = '3';
    WriteFile(set.first, first);
    port.Clear();
    EXPECT_EQ(bridge.Serve(set.first), "");
    ASSERT_FALSE(port.Events().empty());
    EXPECT_NE(port.Events().back().find("Bad compression method!\nTry File->stream from unrar.."),
              std::string::npos);
}

TEST(RarBridge, AddressesEncodeTheFileName) {
    EXPECT_EQ(UrlPathEncode("my movie (1).part01.rar"), "my%20movie%20%281%29.part01.rar");
    EXPECT_EQ(UrlPathEncode("zaż.rar"), "za%C5%BC.rar");
}
