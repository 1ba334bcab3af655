// The wrapper's RAR bridge: the stored movie served over HTTP with byte ranges.
#include "platform/fdio.h"
#include "platform/paths.h"
#include "tests/support/otheruser.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"
#include "tools/wrapper/rarbridge.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
    // A secret of 128 bits (32 hex digits) before the name.
    ASSERT_EQ(path.size(), 1 + 32 + 1 + std::string("movie.rar").size()) << path;
    EXPECT_EQ(path.substr(33), "/movie.rar");
    EXPECT_EQ(path.find_first_not_of("0123456789abcdef", 1), 33u) << path;
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

namespace {
// One raw exchange over a fresh socket: the request as given, the answer until the server
// closes (or `limitMs` passes).
struct RawAnswer {
    int status = 0;
    std::string head;
    std::string body;
};

RawAnswer Exchange(int port, const std::string& request, int limitMs = 5000) {
    RawAnswer answer;
    int fd = ConnectLoopback(port);
    if (fd < 0)
        return answer;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
        close(fd);
        return answer;
    }
    std::string all;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char chunk[65536];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        all.append(chunk, size_t(n));
    }
    close(fd);
    size_t end = all.find("\r\n\r\n");
    if (end == std::string::npos)
        return answer;
    answer.head = all.substr(0, end + 2);
    answer.body = all.substr(end + 4);
    std::sscanf(answer.head.c_str(), "HTTP/1.1 %d", &answer.status);
    return answer;
}

std::string Header(const RawAnswer& a, const std::string& name) {
    size_t at = a.head.find("\r\n" + name + ": ");
    if (at == std::string::npos)
        return "";
    at += name.size() + 4;
    return a.head.substr(at, a.head.find("\r\n", at) - at);
}

std::string Get(const std::string& path, const std::string& extra = "") {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra + "\r\n";
}
} // namespace

TEST(RarBridge, OnlyTheSecretPathIsServed) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 50 * 1024, 100);
    WriteFile(dir.file("other.avi"), "not to be served");
    RarBridge bridge;
    std::string address = bridge.Serve(set.first);
    auto [tcp, path] = PortAndPath(address);
    std::string secret = path.substr(1, 32);
    std::string wrong = secret;
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    for (const std::string& other :
         {std::string("/movie.rar"), "/" + wrong + "/movie.rar", "/" + secret + "/other.avi",
          "/" + secret + "/", "/" + secret, "/" + secret + "/../other.avi", std::string("/"),
          path + "?x=1", dir.file("other.avi")}) {
        RawAnswer a = Exchange(tcp, Get(other));
        EXPECT_EQ(a.status, 404) << other;
        EXPECT_EQ(a.body, "") << other;
    }
    RawAnswer good = Exchange(tcp, Get(path));
    EXPECT_EQ(good.status, 200);
    EXPECT_TRUE(good.body == set.data);
}

TEST(RarBridge, RangesAnswerExactlyAndPastTheEndAnswer416) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 300 * 1024, 100);
    RarBridge bridge;
    auto [tcp, path] = PortAndPath(bridge.Serve(set.first));
    const std::string size = std::to_string(set.data.size());
    for (const std::string& range : {"bytes=" + size + "-", "bytes=" + size + "-" + size,
                                     std::string("bytes=999999999-"), std::string("bytes=-0")}) {
        RawAnswer a = Exchange(tcp, Get(path, "Range: " + range + "\r\n"));
        EXPECT_EQ(a.status, 416) << range;
        EXPECT_EQ(Header(a, "Content-Range"), "bytes */" + size) << range;
        EXPECT_EQ(a.body, "") << range;
    }
    struct Case {
        std::string range;
        size_t from, to;
    };
    const size_t n = set.data.size();
    for (const Case& c : {Case{"bytes=0-0", 0, 0}, Case{"bytes=102390-102410", 102390, 102410},
                          Case{"bytes=100-", 100, n - 1}, Case{"bytes=-5", n - 5, n - 1},
                          Case{"bytes=5-99999999", 5, n - 1}}) {
        RawAnswer a = Exchange(tcp, Get(path, "Range: " + c.range + "\r\n"));
        EXPECT_EQ(a.status, 206) << c.range;
        EXPECT_EQ(Header(a, "Content-Range"),
                  "bytes " + std::to_string(c.from) + "-" + std::to_string(c.to) + "/" + size)
            << c.range;
        EXPECT_EQ(Header(a, "Content-Length"), std::to_string(a.body.size())) << c.range;
        EXPECT_TRUE(a.body == set.data.substr(c.from, c.to - c.from + 1)) << c.range;
    }
}

// A set damaged the ways downloads and users damage it, before it is served or while it
// plays: the stream is the movie up to the damage byte for byte, nothing behind it is offered
// as if it followed (no zeros, no bytes of the next volume), and what lies before it is served
// as before.
struct SetDamage {
    const char* what;
    bool whilePlaying;
    // Damages the set; returns where in the movie the damage begins.
    size_t (*apply)(const TempDir& dir, const RarVolumeSet& reader);
};

const SetDamage kSetDamages[] = {
    {"a missing volume", false,
     [](const TempDir& dir, const RarVolumeSet& reader) {
         // .rar and .r00 carry the first two slices.
         EXPECT_EQ(std::remove(dir.file("movie.r01").c_str()), 0);
         return size_t(reader.volumeDataSize) * 2;
     }},
    {"a volume deleted while playing", true,
     [](const TempDir& dir, const RarVolumeSet& reader) {
         EXPECT_EQ(std::remove(dir.file("movie.r01").c_str()), 0);
         return size_t(reader.volumeDataSize) * 2;
     }},
    {"a middle volume a download cut short", false,
     [](const TempDir& dir, const RarVolumeSet& reader) {
         std::string second = ReadFile(dir.file("movie.r00"));
         WriteFile(dir.file("movie.r00"), second.substr(0, size_t(reader.dataOffset) + 30000));
         return size_t(reader.volumeDataSize) + 30000;
     }},
};

TEST(RarBridge, ADamagedSetStreamsUpToTheDamageAndNothingBehindIt) {
    for (const SetDamage& damage : kSetDamages) {
        SCOPED_TRACE(damage.what);
        TempDir dir;
        StoredSet set = MakeSet(dir, 500 * 1024, 100);
        RarVolumeSet reader;
        ASSERT_TRUE(reader.OpenSet(set.first));
        size_t gap = 0;
        if (!damage.whilePlaying)
            gap = damage.apply(dir, reader);
        RarBridge bridge;
        std::string address = bridge.Serve(set.first);
        ASSERT_FALSE(address.empty());
        auto [tcp, path] = PortAndPath(address);
        httplib::Client client("127.0.0.1", tcp);
        auto read = [&, &path = path](size_t from, size_t to) {
            std::string received;
            client.Get(path.c_str(), {httplib::make_range_header({{from, to}})},
                       [&](const char* data, size_t n) {
                           received.append(data, n);
                           return true;
                       });
            return received;
        };
        if (damage.whilePlaying) {
            // The whole movie once, as a player reading to its end would.
            auto whole = client.Get(path.c_str());
            ASSERT_TRUE(whole);
            ASSERT_TRUE(whole->body == set.data);
            gap = damage.apply(dir, reader);
        }
        // A read across the damage ends at it; one behind it gets nothing.
        std::string across = read(gap - 5000, gap + 4999);
        EXPECT_LE(across.size(), 5000u);
        EXPECT_GT(across.size(), 0u);
        EXPECT_TRUE(across == set.data.substr(gap - 5000, across.size()));
        EXPECT_EQ(read(gap + 1000, gap + 1999), "");
        // The volumes still there are served as before.
        EXPECT_TRUE(read(0, 999) == set.data.substr(0, 1000));
        if (!damage.whilePlaying) {
            // Known before it is served: the whole movie is announced as ending there.
            RawAnswer whole = Exchange(tcp, Get(path));
            EXPECT_EQ(whole.status, 200);
            EXPECT_EQ(Header(whole, "Content-Length"), std::to_string(gap));
            EXPECT_TRUE(whole.body == set.data.substr(0, gap)) << whole.body.size();
            EXPECT_EQ(
                Exchange(tcp, Get(path, "Range: bytes=" + std::to_string(gap) + "-\r\n")).status,
                416);
        }
    }
}

TEST(RarBridge, SlowAndIdleConnectionsNeitherDelayThePlayerNorStay) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 2 * 1024 * 1024, 512);
    RarBridge bridge;
    auto [tcp, path] = PortAndPath(bridge.Serve(set.first));
    // Five connections that say nothing, five that trickle a header a byte at a time.
    std::vector<int> idle, slow;
    for (int i = 0; i < 5; ++i) {
        idle.push_back(ConnectLoopback(tcp));
        slow.push_back(ConnectLoopback(tcp));
        ASSERT_GE(idle.back(), 0);
        ASSERT_GE(slow.back(), 0);
    }
    auto opened = std::chrono::steady_clock::now();
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        const std::string request = Get(path);
        for (size_t i = 0; trickling && i < request.size(); ++i) {
            for (int fd : slow)
                send(fd, &request[i], 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    // The player's reads meanwhile: 64 KiB at spread positions.
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        size_t from = size_t(i) * 100000;
        auto t0 = std::chrono::steady_clock::now();
        RawAnswer a = Exchange(tcp, Get(path, "Range: bytes=" + std::to_string(from) + "-" +
                                                  std::to_string(from + 65535) + "\r\n"));
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        ASSERT_EQ(a.status, 206);
        ASSERT_TRUE(a.body == set.data.substr(from, 65536));
    }
    std::sort(ms.begin(), ms.end());
    EXPECT_LT(ms[ms.size() / 2], 100.0) << "median of the player's reads";
    EXPECT_LT(ms.back(), 2000.0) << "slowest of the player's reads";

    // Within a little more than the header limit, every slow or idle connection is closed.
    std::vector<int> all = idle;
    all.insert(all.end(), slow.begin(), slow.end());
    for (int fd : all) {
        pollfd p{fd, POLLIN, 0};
        auto left =
            std::chrono::milliseconds(9000) - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - opened);
        ASSERT_GT(poll(&p, 1, int(std::max<int64_t>(left.count(), 1))), 0) << "still open";
        char c;
        EXPECT_LE(recv(fd, &c, 1, 0), 0) << "closed without an answer";
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count();
    EXPECT_GE(seconds, 4.5) << "the header limit is 5 s";
    trickling = false;
    trickle.join();
    for (int fd : all)
        close(fd);
}

namespace {
// Reads one answer from a connection that stays open: the head, then Content-Length bytes.
RawAnswer ReadAnswer(int fd, int limitMs = 5000) {
    RawAnswer answer;
    std::string all;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    size_t need = std::string::npos;
    while (std::chrono::steady_clock::now() < deadline && all.size() != need) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char chunk[65536];
        size_t room = need == std::string::npos ? 1 : need - all.size();
        ssize_t n = recv(fd, chunk, std::min(sizeof chunk, room), 0);
        if (n <= 0)
            break;
        all.append(chunk, size_t(n));
        size_t end = all.find("\r\n\r\n");
        if (need == std::string::npos && end != std::string::npos) {
            answer.head = all.substr(0, end + 2);
            need = end + 4 + std::stoul("0" + Header(answer, "Content-Length"));
        }
    }
    if (all.size() != need)
        return RawAnswer{};
    answer.body = all.substr(answer.head.size() + 2);
    std::sscanf(answer.head.c_str(), "HTTP/1.1 %d", &answer.status);
    return answer;
}

// True when the server closes `fd` within `limitMs` (whatever it still sends is read away).
bool ClosedWithin(int fd, int limitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char chunk[4096];
        if (recv(fd, chunk, sizeof chunk, 0) <= 0)
            return true;
    }
    return false;
}

std::string RangeGet(const std::string& path, size_t from, size_t to) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=" + std::to_string(from) +
           "-" + std::to_string(to) + "\r\n\r\n";
}
} // namespace

TEST(RarBridge, AnErrorAnswerClosesTheConnection) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 50 * 1024, 100);
    RarBridge bridge;
    auto [tcp, path] = PortAndPath(bridge.Serve(set.first));
    struct Case {
        std::string request;
        int status;
    };
    const std::string keep = " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n";
    for (const Case& c :
         {Case{"GET /movie.rar" + keep + "\r\n", 404}, Case{"POST " + path + keep + "\r\n", 405},
          Case{"GET " + path + keep + "Range: bytes=999999-\r\n\r\n", 416},
          Case{"garbage\r\n\r\n", 400}}) {
        int fd = ConnectLoopback(tcp);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(send(fd, c.request.data(), c.request.size(), MSG_NOSIGNAL),
                  ssize_t(c.request.size()));
        RawAnswer a = ReadAnswer(fd);
        EXPECT_EQ(a.status, c.status) << c.request;
        EXPECT_EQ(Header(a, "Connection"), "close") << c.request;
        // Well before the 5 s any silent connection is given.
        EXPECT_TRUE(ClosedWithin(fd, 2000)) << c.request;
        close(fd);
    }
    // A good answer keeps the connection for the next request.
    int fd = ConnectLoopback(tcp);
    for (int round = 0; round < 2; ++round) {
        std::string request = RangeGet(path, 10, 19);
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        RawAnswer a = ReadAnswer(fd);
        EXPECT_EQ(a.status, 206);
        EXPECT_EQ(a.body, set.data.substr(10, 10));
    }
    close(fd);
}

TEST(RarBridge, ConnectionsOfAnotherUserAreClosedUnanswered) {
    if (!CanActAsAnotherUser())
        GTEST_SKIP() << "needs root and setpriv";
    TempDir dir;
    StoredSet set = MakeSet(dir, 40 * 1024, 100);
    RarBridge bridge;
    auto [tcp, path] = PortAndPath(bridge.Serve(set.first));
    // An IPv6 socket reaches the IPv4 port through a mapped address; it is listed elsewhere.
    for (const char* host : {"127.0.0.1", "::ffff:127.0.0.1"}) {
        std::string ours;
        RunCommand(FetchCommand(host, tcp, path), &ours);
        EXPECT_EQ(ours.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << host << ": " << ours.substr(0, 200);
        EXPECT_NE(ours.find(set.data.substr(0, 4096)), std::string::npos) << host;
        std::string theirs;
        RunCommand(AsAnotherUser(FetchCommand(host, tcp, path)), &theirs);
        EXPECT_TRUE(theirs.empty()) << host << ": " << theirs.substr(0, 200);
    }
}

TEST(RarBridge, IdleStrangersMakeRoomForThePlayer) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 1024 * 1024, 512);
    RarBridge bridge;
    auto [tcp, path] = PortAndPath(bridge.Serve(set.first));
    // The player's connection, kept alive after its first read.
    int player = ConnectLoopback(tcp);
    std::string first = RangeGet(path, 0, 999);
    send(player, first.data(), first.size(), MSG_NOSIGNAL);
    ASSERT_EQ(ReadAnswer(player).status, 206);
    // Far more connections than there are slots, none of which ever asks for anything.
    std::vector<int> idle;
    for (int i = 0; i < 300; ++i) {
        idle.push_back(ConnectLoopback(tcp));
        ASSERT_GE(idle.back(), 0);
    }
    // The player's seeks meanwhile come on fresh connections, and on the kept one.
    for (int i = 0; i < 10; ++i) {
        size_t from = size_t(i) * 90000;
        RawAnswer a = Exchange(tcp, Get(path, "Range: bytes=" + std::to_string(from) + "-" +
                                                  std::to_string(from + 9999) + "\r\n"));
        ASSERT_EQ(a.status, 206) << "seek " << i;
        EXPECT_TRUE(a.body == set.data.substr(from, 10000)) << "seek " << i;
    }
    std::string again = RangeGet(path, 500000, 500099);
    send(player, again.data(), again.size(), MSG_NOSIGNAL);
    RawAnswer kept = ReadAnswer(player);
    EXPECT_EQ(kept.status, 206) << "the connection that asked for the movie keeps its slot";
    EXPECT_EQ(kept.body, set.data.substr(500000, 100));
    close(player);
    for (int fd : idle)
        close(fd);
}

TEST(RarBridge, ThePlayerGetsTheAddressInAPrivatePlaylistRemovedOnceItPlays) {
    TempDir dir;
    StoredSet set = MakeSet(dir, 50 * 1024, 100);
    std::vector<std::string> args = {"-nolirc", "-vo", "null", dir.file("movie.r00"), "-ss", "3"};
    std::string list;
    {
        RarBridgePlugin plugin;
        plugin.Prepare(args);
        ASSERT_EQ(args.size(), 7u);
        EXPECT_EQ(args[3], "-playlist");
        list = args[4];
        EXPECT_EQ((std::vector<std::string>{args[5], args[6]}),
                  (std::vector<std::string>{"-ss", "3"}));
        for (const std::string& word : args)
            EXPECT_EQ(word.find("127.0.0.1"), std::string::npos) << word;
        struct stat file {};
        struct stat folder {};
        ASSERT_EQ(lstat(list.c_str(), &file), 0);
        ASSERT_EQ(lstat(GetDirectoryFromPath(list).c_str(), &folder), 0);
        EXPECT_TRUE(S_ISREG(file.st_mode));
        EXPECT_EQ(file.st_mode & 0777, 0600u);
        EXPECT_EQ(folder.st_mode & 0777, 0700u);
        std::string address = ReadFile(list);
        ASSERT_EQ(address.rfind("ffmpeg://http://127.0.0.1:", 0), 0u) << address;
        ASSERT_EQ(address.back(), '\n');
        auto [tcp, path] = PortAndPath(address.substr(0, address.size() - 1));
        EXPECT_EQ(Exchange(tcp, Get(path)).body, set.data);

        struct NoIo : PlayerIo {
            void SendToPlayer(const std::string&) override {}
            void Print(const std::string&) override {}
        } io;
        EXPECT_TRUE(
            plugin.OnOutput("Playing " + address.substr(0, address.size() - 1) + ".\n", io));
        EXPECT_FALSE(std::filesystem::exists(GetDirectoryFromPath(list)))
            << "gone once mplayer has read it";
        // Without the movie line (mplayer failed before it), the plugin's end removes it.
        args = {"-vo", "null", set.first};
        plugin.Prepare(args);
        list = args[3];
        EXPECT_TRUE(std::filesystem::exists(list));
    }
    EXPECT_FALSE(std::filesystem::exists(GetDirectoryFromPath(list)));
}

TEST(RangeServer, ParseRangeResolvesEveryForm) {
    struct Case {
        const char* header;
        RangeRequest::Kind kind;
        uint64_t first, last;
    };
    const Case cases[] = {
        {"", RangeRequest::Whole, 0, 0},
        {"bytes=0-", RangeRequest::Part, 0, 999},
        {"bytes=10-19", RangeRequest::Part, 10, 19},
        {"bytes=990-5000", RangeRequest::Part, 990, 999},
        {"bytes=-10", RangeRequest::Part, 990, 999},
        {"bytes=-5000", RangeRequest::Part, 0, 999},
        {"bytes=1000-", RangeRequest::Unsatisfiable, 0, 0},
        {"bytes=-0", RangeRequest::Unsatisfiable, 0, 0},
        {"bytes=20-10", RangeRequest::Whole, 0, 0},
        {"bytes=0-1,5-6", RangeRequest::Whole, 0, 0},
        {"items=0-1", RangeRequest::Whole, 0, 0},
        {"bytes=x-", RangeRequest::Whole, 0, 0},
        {"bytes=99999999999999999999-", RangeRequest::Whole, 0, 0},
    };
    for (const Case& c : cases) {
        RangeRequest r = ParseRange(c.header, 1000);
        EXPECT_EQ(r.kind, c.kind) << c.header;
        if (c.kind == RangeRequest::Part) {
            EXPECT_EQ(r.first, c.first) << c.header;
            EXPECT_EQ(r.last, c.last) << c.header;
        }
    }
}
