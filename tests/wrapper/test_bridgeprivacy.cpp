// The RAR bridge as other local users meet it, while the real mplayer plays a stored set: they
// cannot learn its address, are not served, and cannot crowd the player out of a seek.
#include "platform/fdio.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "tests/support/otheruser.h"
#include "tests/support/testenv.h"
#include "tests/wrapper/realplayerfixture.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class BridgePrivacy : public RealPlayerTest {
  protected:
    void SetUp() override {
        RealPlayerTest::SetUp();
        const char* kept = std::getenv("TMPDIR");
        keptTmp_ = kept != nullptr ? kept : "";
        hadTmp_ = kept != nullptr;
    }
    void TearDown() override {
        RealPlayerTest::TearDown();
        if (hadTmp_)
            setenv("TMPDIR", keptTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    // Plays a 60 s movie out of a stored set of 5 volumes; the wrapper's temporary folder is
    // tmp_. Returns false when playback did not start.
    bool PlayStoredSet() {
        std::string movie = GeneratedMovie(60);
        if (movie.empty())
            return false;
        auto kib = fs::file_size(movie) / 5 / 1024 + 1;
        std::string out;
        if (RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+",
                        "-v" + std::to_string(kib) + "k", "-vn", dir_.file("movie.rar"), movie},
                       &out) != 0)
            return false;
        setenv("TMPDIR", tmp_.path().c_str(), 1);
        Mp1.movieFile = dir_.file("movie.rar");
        Mp1.LanchMovie();
        return !port_.WaitForPrefix("range:106:0:", 20000).empty();
    }
    // The bridge's port and path as mplayer names the movie it plays (the front end's console).
    bool Address(int* port, std::string* path) {
        const std::string console = Mp1.ConsoleTextSnapshot();
        const std::string intro = "Playing ffmpeg://http://127.0.0.1:";
        size_t at = console.find(intro);
        if (at == std::string::npos)
            return false;
        at += intro.size();
        size_t slash = console.find('/', at);
        size_t end = console.find_first_of("\r\n", at);
        if (slash == std::string::npos || end == std::string::npos || slash > end)
            return false;
        *port = std::atoi(console.substr(at, slash - at).c_str());
        *path = console.substr(slash, end - slash - 1); // without the closing '.'
        return *port > 0 && path->size() > 33;
    }
    // Seeks to 45 s and checks that the player gets there cleanly.
    void SeekAndCheck() {
        SeekAndExpectPosition(45);
        ExpectNoPlayerComplaints();
    }
    TempDir dir_;
    TempDir tmp_;
    std::string keptTmp_;
    bool hadTmp_ = false;
};

// Every process's command line and environment, as root reads them.
std::string AllCommandLinesAndEnvironments() {
    std::string all;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])))
            continue;
        all +=
            ReadFile(entry.path() / "cmdline") + "\n" + ReadFile(entry.path() / "environ") + "\n";
    }
    return all;
}
} // namespace

TEST_F(BridgePrivacy, AnotherUserCanNeitherReadTheAddressNorFetchTheMovie) {
    if (!CanActAsAnotherUser())
        GTEST_SKIP() << "needs root and setpriv";
    ASSERT_TRUE(PlayStoredSet()) << Mp1.ConsoleTextSnapshot();
    int port = 0;
    std::string path;
    ASSERT_TRUE(Address(&port, &path)) << Mp1.ConsoleTextSnapshot();
    const std::string secret = path.substr(1, 32);

    // In no command line and no environment of any process, for root as for anyone.
    EXPECT_EQ(AllCommandLinesAndEnvironments().find(secret), std::string::npos);
    std::string seen;
    RunCommand(AsAnotherUser({"bash", "-c",
                              "cat /proc/[0-9]*/cmdline /proc/[0-9]*/environ "
                              "2>/dev/null; echo scanned"}),
               &seen);
    EXPECT_NE(seen.find("scanned"), std::string::npos) << seen.substr(0, 300);
    EXPECT_EQ(seen.find(secret), std::string::npos);
    // The playlist that carried it to mplayer is already gone.
    for (const auto& entry : fs::directory_iterator(tmp_.path()))
        EXPECT_NE(entry.path().filename().string().rfind("quorvan-bridge-", 0), 0u) << entry.path();

    // Even knowing the address, another user gets nothing; this user gets the movie.
    std::string theirs;
    RunCommand(AsAnotherUser(FetchCommand("127.0.0.1", port, path)), &theirs);
    EXPECT_TRUE(theirs.empty()) << theirs.substr(0, 200);
    std::string ours;
    RunCommand(FetchCommand("127.0.0.1", port, path), &ours);
    EXPECT_EQ(ours.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << ours.substr(0, 200);

    SeekAndCheck();
    ClosePlayer(3000);
    EXPECT_TRUE(fs::is_empty(tmp_.path())) << "nothing of the bridge is left";
}

TEST_F(BridgePrivacy, HundredsOfIdleConnectionsDoNotBreakASeek) {
    ASSERT_TRUE(PlayStoredSet()) << Mp1.ConsoleTextSnapshot();
    int port = 0;
    std::string path;
    ASSERT_TRUE(Address(&port, &path)) << Mp1.ConsoleTextSnapshot();

    // 300 connections of another user (when the test may act as one), then 300 of this user's
    // programs that never ask for anything and 20 that ask for a wrong path; all stay open.
    SpawnResult stranger;
    if (CanActAsAnotherUser()) {
        SpawnOptions options;
        options.argv = AsAnotherUser(
            {"bash", "-c",
             "for i in $(seq 300); do exec {fd}<>\"/dev/tcp/127.0.0.1/$1\" || exit 3; done\n"
             "echo ready; read line",
             "hold", std::to_string(port)});
        options.pipeStdin = true;
        options.pipeOutput = true;
        stranger = SpawnProcess(options);
        ASSERT_TRUE(stranger.ok());
        std::string said;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (said.find("ready") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{stranger.outputFd, POLLIN, 0};
            char chunk[256];
            ssize_t n = poll(&p, 1, 100) > 0 ? read(stranger.outputFd, chunk, sizeof chunk) : 0;
            if (n > 0)
                said.append(chunk, size_t(n));
            else if (p.revents & POLLHUP)
                break;
        }
        ASSERT_NE(said.find("ready"), std::string::npos) << said;
    }
    std::vector<int> idle;
    for (int i = 0; i < 320; ++i) {
        idle.push_back(ConnectLoopback(port));
        ASSERT_GE(idle.back(), 0);
        if (i >= 300) {
            const std::string wrong = "GET /x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
            send(idle.back(), wrong.data(), wrong.size(), MSG_NOSIGNAL);
        }
    }

    SeekAndCheck();
    for (int fd : idle)
        close(fd);
    if (stranger.ok()) {
        close(stranger.stdinFd);
        close(stranger.outputFd);
        EXPECT_TRUE(WaitProcess(stranger.pid, 10000, nullptr));
    }
}
