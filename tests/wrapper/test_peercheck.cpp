// Who is at the other end of a loopback connection: both ways of asking the kernel.
#include "platform/fdio.h"
#include "platform/process.h"
#include "tests/support/otheruser.h"
#include "tools/wrapper/peercheck.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
class Listener {
  public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 8) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~Listener() { close(fd_); }
    int port() const { return port_; }
    // The server's end of the next connection (-1 after 10 s without one).
    int Accept() {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 10000) == 1 ? accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Both lookups, which must agree.
long long Owner(int fd) {
    long long kernel = PeerOwner(fd, PeerLookup::Kernel);
    long long tables = PeerOwner(fd, PeerLookup::Tables);
    EXPECT_EQ(kernel, tables);
    return kernel;
}
} // namespace

TEST(PeerCheck, BothLookupsNameTheOwnerOfEveryKindOfPeer) {
    Listener listener;
    ASSERT_GT(listener.port(), 0);
    const long long me = geteuid();

    int four = ConnectLoopback(listener.port());
    int served = listener.Accept();
    ASSERT_GE(served, 0);
    EXPECT_EQ(Owner(served), me) << "an IPv4 socket of this user";
    EXPECT_TRUE(PeerIsThisUser(served));
    close(served);
    close(four);

    int six = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 mapped{};
    mapped.sin6_family = AF_INET6;
    mapped.sin6_port = htons(uint16_t(listener.port()));
    inet_pton(AF_INET6, "::ffff:127.0.0.1", &mapped.sin6_addr);
    ASSERT_EQ(connect(six, reinterpret_cast<sockaddr*>(&mapped), sizeof mapped), 0);
    served = listener.Accept();
    ASSERT_GE(served, 0);
    EXPECT_EQ(Owner(served), me) << "an IPv6 socket of this user on the mapped address";
    EXPECT_TRUE(PeerIsThisUser(served));
    close(served);
    close(six);

    // A peer that has closed its end is held by nobody: the kernel shows root, it is unknown.
    int gone = ConnectLoopback(listener.port());
    served = listener.Accept();
    ASSERT_GE(served, 0);
    close(gone);
    EXPECT_EQ(Owner(served), -1);
    EXPECT_FALSE(PeerIsThisUser(served));
    close(served);

    if (!CanActAsAnotherUser())
        GTEST_SKIP() << "another user's peer needs root and setpriv";
    for (const char* host : {"127.0.0.1", "::ffff:127.0.0.1"}) {
        SpawnOptions options;
        options.argv = AsAnotherUser({"bash", "-c", "exec 3<>\"/dev/tcp/$1/$2\" && read line",
                                      "hold", host, std::to_string(listener.port())});
        options.pipeStdin = true;
        options.nullStdio = false;
        SpawnResult stranger = SpawnProcess(options);
        ASSERT_TRUE(stranger.ok());
        served = listener.Accept();
        ASSERT_GE(served, 0) << host;
        EXPECT_EQ(Owner(served), 65534) << host;
        EXPECT_FALSE(PeerIsThisUser(served)) << host;
        close(served);
        close(stranger.stdinFd);
        EXPECT_TRUE(WaitProcess(stranger.pid, 10000, nullptr));
    }
}
