#include "tools/wrapper/rangeserver.h"

#include "platform/fdio.h"
#include "tools/wrapper/peercheck.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr size_t kSendChunk = 1 << 20;
constexpr size_t kFirstChunk = 32 * 1024;

bool ParseNumber(const std::string& text, uint64_t* value) {
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + uint64_t(c - '0');
    }
    *value = v;
    return true;
}

std::string Trim(const std::string& text) {
    size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos)
        return "";
    size_t b = text.find_last_not_of(" \t\r");
    return text.substr(a, b - a + 1);
}

// The value of header `name` in a request header block ("" when absent).
std::string HeaderValue(const std::string& header, const char* name) {
    size_t n = std::strlen(name);
    size_t at = header.find("\r\n");
    while (at != std::string::npos) {
        size_t start = at + 2;
        size_t end = header.find("\r\n", start);
        std::string line = header.substr(start, end == std::string::npos ? end : end - start);
        if (line.size() > n && line[n] == ':' && strncasecmp(line.c_str(), name, n) == 0)
            return Trim(line.substr(n + 1));
        at = end;
    }
    return "";
}

std::string StatusHead(const char* status) {
    return std::string("HTTP/1.1 ") + status + "\r\nServer: Quorvan\r\nAccept-Ranges: bytes\r\n";
}

// Reads until the blank line that ends a request header, within `deadline`. False on a
// timeout, a closed connection or a header too long.
bool ReadHeader(int fd, std::string& buffer, std::chrono::steady_clock::time_point deadline,
                std::string* header) {
    while (true) {
        size_t end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            *header = buffer.substr(0, end + 2);
            buffer.erase(0, end + 4);
            return true;
        }
        if (buffer.size() > RangeServer::kMaxHeader)
            return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[4096];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer.append(chunk, size_t(n));
    }
}
} // namespace

RangeRequest ParseRange(const std::string& value, uint64_t size) {
    RangeRequest whole;
    std::string v = Trim(value);
    if (v.rfind("bytes=", 0) != 0 || v.find(',') != std::string::npos)
        return whole;
    std::string spec = Trim(v.substr(6));
    size_t dash = spec.find('-');
    if (dash == std::string::npos)
        return whole;
    std::string a = Trim(spec.substr(0, dash));
    std::string b = Trim(spec.substr(dash + 1));
    RangeRequest r;
    r.kind = RangeRequest::Part;
    uint64_t x = 0, y = 0;
    if (a.empty()) { // the last y bytes
        if (!ParseNumber(b, &y))
            return whole;
        if (y == 0 || size == 0)
            return {RangeRequest::Unsatisfiable, 0, 0};
        r.first = size - std::min(y, size);
        r.last = size - 1;
        return r;
    }
    if (!ParseNumber(a, &x))
        return whole;
    if (!b.empty() && (!ParseNumber(b, &y) || y < x))
        return whole;
    if (x >= size)
        return {RangeRequest::Unsatisfiable, 0, 0};
    r.first = x;
    r.last = b.empty() ? size - 1 : std::min(y, size - 1);
    return r;
}

RangeServer::RangeServer() : peerCheck_(PeerIsThisUser) {}

RangeServer::~RangeServer() {
    Stop();
}

bool RangeServer::Start(const std::string& path, Content content) {
    Stop();
    stopping_ = false;
    path_ = path;
    content_ = std::move(content);
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, kBacklog) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(wakeFds_, O_CLOEXEC) != 0) {
        Stop();
        return false;
    }
    port_ = ntohs(address.sin_port);
    // The socket already listens: mplayer may connect before the accept loop runs.
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void RangeServer::Stop() {
    stopping_ = true;
    if (wakeFds_[1] >= 0) {
        char c = 0;
        if (write(wakeFds_[1], &c, 1) < 0) {
            // The loop also ends when the listening socket is shut down below.
        }
    }
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::list<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections.swap(connections_);
        // Wakes every connection thread out of its recv or send.
        for (auto& c : connections)
            shutdown(c->fd, SHUT_RDWR);
    }
    for (auto& c : connections) {
        if (c->thread.joinable())
            c->thread.join();
        close(c->fd);
    }
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void RangeServer::ReapFinished() {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            auto next = std::next(it);
            if ((*it)->done)
                finished.splice(finished.end(), connections_, it);
            it = next;
        }
    }
    for (auto& c : finished) {
        c->thread.join();
        close(c->fd);
    }
}

void RangeServer::AcceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        // A periodic wake-up reaps finished connections even when nobody connects.
        int ready = poll(fds, 2, 1000);
        ReapFinished();
        if (ready < 0 && errno != EINTR)
            return;
        if (stopping_ || (fds[1].revents & POLLIN) != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Another user's program may reach the port, but gets neither a byte nor a slot.
        if (peerCheck_ && !peerCheck_(fd)) {
            close(fd);
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (!MakeRoom()) {
            close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        Connection* raw = connection.get();
        connections_.push_back(std::move(connection));
        raw->thread = std::thread([this, raw] {
            Serve(*raw);
            raw->done = true;
        });
    }
}

bool RangeServer::MakeRoom() {
    size_t active = 0;
    Connection* stranger = nullptr;
    for (auto& c : connections_) {
        if (c->done || c->evicted)
            continue;
        ++active;
        if (stranger == nullptr && !c->proven)
            stranger = c.get(); // the list is in the order of arrival
    }
    if (active < kMaxConnections)
        return true;
    // Shut down connections end their threads promptly; they are reaped on the next round.
    if (stranger == nullptr || connections_.size() >= 2 * kMaxConnections)
        return false;
    stranger->evicted = true;
    shutdown(stranger->fd, SHUT_RDWR);
    return true;
}

void RangeServer::Serve(Connection& connection) {
    std::string buffer;
    while (!stopping_) {
        std::string header;
        // Every request, also the next one on a kept-alive connection, must arrive whole in
        // time: an idle or trickling client is closed.
        if (!ReadHeader(connection.fd, buffer, std::chrono::steady_clock::now() + kHeaderTimeout,
                        &header))
            break;
        if (!Answer(connection, header))
            break;
    }
    shutdown(connection.fd, SHUT_RDWR);
}

bool RangeServer::Answer(Connection& connection, const std::string& header) {
    const int fd = connection.fd;
    std::string requestLine = header.substr(0, header.find("\r\n"));
    size_t sp1 = requestLine.find(' ');
    size_t sp2 = sp1 == std::string::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string::npos) {
        std::string reply = StatusHead("400 Bad Request") + "Content-Length: 0\r\n"
                                                            "Connection: close\r\n\r\n";
        SendAllOnSocket(fd, reply.data(), reply.size());
        return false;
    }
    std::string method = requestLine.substr(0, sp1);
    std::string target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string version = requestLine.substr(sp2 + 1);
    std::string connectionHeader = HeaderValue(header, "Connection");
    bool keepAlive = version == "HTTP/1.1"
                         ? strcasecmp(connectionHeader.c_str(), "close") != 0
                         : strcasecmp(connectionHeader.c_str(), "keep-alive") == 0;
    const std::string connectionLine =
        keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    bool head = method == "HEAD";

    // After an error answer the connection is closed: a client that does not know the path
    // cannot keep a slot by asking again and again.
    if (method != "GET" && !head) {
        std::string reply = StatusHead("405 Method Not Allowed") +
                            "Allow: GET, HEAD\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAllOnSocket(fd, reply.data(), reply.size());
        return false;
    }
    if (target != path_) {
        std::string reply =
            StatusHead("404 Not Found") + "Content-Length: 0\r\nConnection: close\r\n\r\n";
        SendAllOnSocket(fd, reply.data(), reply.size());
        return false;
    }
    connection.proven = true;

    const uint64_t size = content_.size();
    RangeRequest range = ParseRange(HeaderValue(header, "Range"), size);
    const std::string total = std::to_string(size);
    if (range.kind == RangeRequest::Unsatisfiable) {
        std::string reply = StatusHead("416 Range Not Satisfiable") + "Content-Range: bytes */" +
                            total + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAllOnSocket(fd, reply.data(), reply.size());
        return false;
    }
    uint64_t first = 0;
    uint64_t count = size;
    std::string reply;
    if (range.kind == RangeRequest::Part) {
        first = range.first;
        count = range.last - range.first + 1;
        reply = StatusHead("206 Partial Content") + "Content-Range: bytes " +
                std::to_string(range.first) + "-" + std::to_string(range.last) + "/" + total +
                "\r\n";
    } else {
        reply = StatusHead("200 OK");
    }
    reply += "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(count) +
             "\r\n" + connectionLine + "\r\n";
    // The head leaves with the first bytes of the body (MSG_MORE), not as a segment of its own.
    if (!SendAllOnSocket(fd, reply.data(), reply.size(), head || count == 0 ? 0 : MSG_MORE))
        return false;
    if (head)
        return keepAlive;

    std::vector<char> chunk(size_t(std::min<uint64_t>(count, kSendChunk)));
    uint64_t pos = first;
    uint64_t left = count;
    // A seek waits for the first bytes only: they go out in a small piece, the rest in big ones.
    size_t piece = kFirstChunk;
    while (left > 0 && !stopping_) {
        size_t want = size_t(std::min<uint64_t>(left, std::min(piece, chunk.size())));
        piece = kSendChunk;
        size_t got = content_.read(chunk.data(), pos, want);
        if (got > 0 && !SendAllOnSocket(fd, chunk.data(), got))
            return false;
        if (got < want)
            return false; // the data ends early (a volume gone meanwhile): close, never pad
        pos += got;
        left -= got;
    }
    return left == 0 && keepAlive;
}
