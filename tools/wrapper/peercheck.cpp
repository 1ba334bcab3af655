#include "tools/wrapper/peercheck.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The kernel prints each 32-bit word of an address as it lies in memory, then the port in host
// order.
std::string Hex(const void* address, size_t words, uint16_t port) {
    std::string out;
    char piece[16];
    for (size_t i = 0; i < words; ++i) {
        uint32_t word = 0;
        std::memcpy(&word, static_cast<const char*>(address) + 4 * i, 4);
        std::snprintf(piece, sizeof piece, "%08X", word);
        out += piece;
    }
    std::snprintf(piece, sizeof piece, ":%04X", port);
    return out + piece;
}

std::string Spelling(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(address);
        return Hex(&a.sin_addr, 1, ntohs(a.sin_port));
    }
    const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
    return Hex(&a.sin6_addr, 4, ntohs(a.sin6_port));
}

// The same endpoint as an IPv6 socket sees it: an IPv4 address mapped to ::ffff:a.b.c.d.
sockaddr_storage Mapped(const sockaddr_storage& address) {
    if (address.ss_family != AF_INET)
        return address;
    const auto& four = reinterpret_cast<const sockaddr_in&>(address);
    sockaddr_storage out{};
    auto& six = reinterpret_cast<sockaddr_in6&>(out);
    six.sin6_family = AF_INET6;
    six.sin6_port = four.sin_port;
    six.sin6_addr.s6_addr[10] = 0xFF;
    six.sin6_addr.s6_addr[11] = 0xFF;
    std::memcpy(&six.sin6_addr.s6_addr[12], &four.sin_addr, 4);
    return out;
}

std::string ReadProcFile(const char* path) {
    std::string text;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char chunk[65536];
    while (true) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(chunk, size_t(n));
    }
    close(fd);
    return text;
}

// The socket that asks the kernel, one per thread and kept open: opening and closing one for
// every connection cost as much again as the question itself, on the way to every seek.
struct DiagSocket {
    int fd = -1;
    uint32_t sequence = 0;
    ~DiagSocket() { Reset(); }
    int Get() {
        if (fd < 0)
            fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
        return fd;
    }
    void Reset() {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
};
thread_local DiagSocket t_diag;

constexpr long long kUnknown = -1;     // no such socket, or none with an owner
constexpr long long kUnavailable = -2; // the kernel could not be asked

// The owner of the socket with local address `local` and peer `remote` as the kernel's socket
// diagnostics give it (both addresses of the same family).
long long OwnerFromKernel(const sockaddr_storage& local, const sockaddr_storage& remote) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    inet_diag_req_v2& r = message.request;
    r.sdiag_family = static_cast<__u8>(local.ss_family);
    r.sdiag_protocol = IPPROTO_TCP;
    r.idiag_states = ~0u;
    r.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    r.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (local.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(local);
        const auto& b = reinterpret_cast<const sockaddr_in&>(remote);
        r.id.idiag_sport = a.sin_port;
        r.id.idiag_dport = b.sin_port;
        std::memcpy(r.id.idiag_src, &a.sin_addr, 4);
        std::memcpy(r.id.idiag_dst, &b.sin_addr, 4);
    } else {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(local);
        const auto& b = reinterpret_cast<const sockaddr_in6&>(remote);
        r.id.idiag_sport = a.sin6_port;
        r.id.idiag_dport = b.sin6_port;
        std::memcpy(r.id.idiag_src, &a.sin6_addr, 16);
        std::memcpy(r.id.idiag_dst, &b.sin6_addr, 16);
    }
    DiagSocket& diag = t_diag;
    const int fd = diag.Get();
    if (fd < 0)
        return kUnavailable;
    message.header.nlmsg_seq = ++diag.sequence;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    long long owner = kUnavailable;
    alignas(nlmsghdr) char answer[8192];
    ssize_t n = -1;
    if (sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) == ssize_t(sizeof message)) {
        // The kernel answers an exact question before sendto returns; the wait is only a
        // guard, and an answer to an earlier question (one that came after its wait) is
        // passed over.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (true) {
            n = recv(fd, answer, sizeof answer, MSG_DONTWAIT);
            if (n >= ssize_t(sizeof(nlmsghdr)) &&
                reinterpret_cast<nlmsghdr*>(answer)->nlmsg_seq != diag.sequence)
                continue;
            if (n >= 0 || (errno != EAGAIN && errno != EINTR))
                break;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                limit - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count()) + 1) <= 0) {
                diag.Reset(); // a socket that lost its answer is not asked again
                break;
            }
        }
    } else {
        diag.Reset();
    }
    size_t left = n > 0 ? size_t(n) : 0;
    for (auto* h = reinterpret_cast<nlmsghdr*>(answer); NLMSG_OK(h, left);
         h = NLMSG_NEXT(h, left)) {
        if (h->nlmsg_type == NLMSG_ERROR) {
            auto* error = static_cast<nlmsgerr*>(NLMSG_DATA(h));
            owner = error->error == -ENOENT ? kUnknown : kUnavailable;
            break;
        }
        if (h->nlmsg_type == SOCK_DIAG_BY_FAMILY) {
            auto* found = static_cast<inet_diag_msg*>(NLMSG_DATA(h));
            // A socket without an inode is held by no process any more (closed, TIME_WAIT, a
            // half-open request): its owner is shown as root.
            owner = found->idiag_inode != 0 ? static_cast<long long>(found->idiag_uid) : kUnknown;
            break;
        }
    }
    return owner;
}

// The next blank-separated word of `text` from `at` on, or "" at the end of the line.
std::string NextWord(const std::string& text, size_t& at) {
    while (at < text.size() && text[at] == ' ')
        ++at;
    size_t start = at;
    while (at < text.size() && text[at] != ' ' && text[at] != '\n')
        ++at;
    return text.substr(start, at - start);
}
// The owner of the socket whose own address and port are `localHex` and whose peer is
// `remoteHex` ("0100007F:1F90", spelt as the table spells them), read from the text of
// /proc/net/tcp or /proc/net/tcp6.
long long SocketOwnerInTable(const std::string& table, const std::string& localHex,
                             const std::string& remoteHex) {
    // A row: "  sl: local remote st tx:rx tr:when retrnsmt uid timeout inode ...".
    const std::string pair = " " + localHex + " " + remoteHex + " ";
    size_t at = table.find(pair);
    if (at == std::string::npos)
        return kUnknown;
    at += pair.size() - 1;
    for (int skip = 0; skip < 4; ++skip) // state, queues, timer, retransmits
        NextWord(table, at);
    std::string uid = NextWord(table, at);
    NextWord(table, at); // timeout
    std::string inode = NextWord(table, at);
    auto number = [](const std::string& word) {
        return !word.empty() && word.size() <= 19 &&
               word.find_first_not_of("0123456789") == std::string::npos;
    };
    // A socket without an inode is held by no process any more (see OwnerFromKernel).
    if (!number(uid) || uid.size() > 10 || !number(inode) || inode == "0")
        return kUnknown;
    return std::stoll(uid);
}
} // namespace

long long PeerOwner(int fd, PeerLookup way) {
    sockaddr_storage ours{};
    sockaddr_storage peer{};
    socklen_t ourLength = sizeof ours;
    socklen_t peerLength = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&ours), &ourLength) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
        (peer.ss_family != AF_INET && peer.ss_family != AF_INET6))
        return kUnknown;
    // The peer's socket has the peer's address as its own. An IPv4 peer may be an IPv6 socket
    // connected to ::ffff:127.0.0.1; the kernel finds it by either spelling, the tables list it
    // only under IPv6.
    const bool four = peer.ss_family == AF_INET;
    if (way == PeerLookup::Kernel) {
        long long owner = OwnerFromKernel(peer, ours);
        if (owner == kUnknown && four)
            owner = OwnerFromKernel(Mapped(peer), Mapped(ours));
        return owner;
    }
    long long owner = SocketOwnerInTable(ReadProcFile(four ? "/proc/net/tcp" : "/proc/net/tcp6"),
                                         Spelling(peer), Spelling(ours));
    if (owner == kUnknown && four)
        owner = SocketOwnerInTable(ReadProcFile("/proc/net/tcp6"), Spelling(Mapped(peer)),
                                   Spelling(Mapped(ours)));
    return owner;
}

bool PeerIsThisUser(int fd) {
    long long owner = PeerOwner(fd, PeerLookup::Kernel);
    if (owner == kUnavailable)
        owner = PeerOwner(fd, PeerLookup::Tables);
    return owner >= 0 && owner == static_cast<long long>(geteuid());
}
