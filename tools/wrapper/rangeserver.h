#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for one resource read by byte ranges: what the RAR
// bridge needs to let mplayer play and seek in a stored movie.
//
// Its port is reachable by any local user, so it trusts nothing it is sent. A connection from a
// socket of another user is closed before anything is read from it. Only the one path is served
// (404 for any other, never mapped to a file), and any error answer closes the connection. A
// request must bring its whole header within kHeaderTimeout (an idle or slow client is closed),
// and each connection has a thread of its own, so slow clients never hold up the player's reads.
// When every slot is taken, the oldest connection that has not yet asked for the served path
// makes room: idle strangers cannot lock the player out of a seek.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class RangeServer {
  public:
    // What is served. `size` is asked at every request: the bytes really there now (a set
    // still downloading grows). `read` fills up to `length` bytes at `pos` and returns the
    // count; fewer than asked (0 included) means the data ends there, and the connection is
    // closed rather than padded.
    struct Content {
        std::function<uint64_t()> size;
        std::function<size_t(char* buffer, uint64_t pos, size_t length)> read;
    };

    static constexpr std::chrono::seconds kHeaderTimeout{5};
    static constexpr int kBacklog = 256;
    static constexpr size_t kMaxConnections = 128; // then strangers make room, or it is refused
    static constexpr size_t kMaxHeader = 16 * 1024;

    // Decides, before anything is read, whether a fresh connection is served (PeerIsThisUser
    // unless set otherwise before Start; an empty one admits every peer).
    using PeerCheck = std::function<bool(int fd)>;

    RangeServer();
    ~RangeServer();
    RangeServer(const RangeServer&) = delete;
    RangeServer& operator=(const RangeServer&) = delete;

    // Listens on an ephemeral port of 127.0.0.1 and serves `content` at `path` (already
    // %-encoded, starting with '/'). False when no socket could be had.
    bool Start(const std::string& path, Content content);
    void SetPeerCheck(PeerCheck check) { peerCheck_ = std::move(check); }
    int port() const { return port_; }
    // Closes the listening socket and every connection, and waits for their threads.
    void Stop();

  private:
    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
        std::atomic<bool> proven{false}; // has asked for the served path
        bool evicted = false;            // shut down to make room (under mutex_)
    };
    void AcceptLoop();
    void Serve(Connection& connection);
    // One request; false when the connection must close afterwards.
    bool Answer(Connection& connection, const std::string& header);
    void ReapFinished();
    // Under mutex_: room for one more connection, made by shutting down the oldest unproven one
    // when every slot is taken. False when there is none to spare.
    bool MakeRoom();

    std::string path_;
    Content content_;
    PeerCheck peerCheck_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex mutex_; // guards connections_
    std::list<std::unique_ptr<Connection>> connections_;
};

// A byte range asked for by a "Range" header, resolved against a resource of `size` bytes.
struct RangeRequest {
    enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
    uint64_t first = 0;
    uint64_t last = 0; // inclusive
};
// Pure: "bytes=a-b", "bytes=a-", "bytes=-n". A header that is absent, malformed or asks for
// several ranges gives Whole (a server may ignore a range it does not serve); a range that
// starts at or past the end, or a suffix of 0 bytes, gives Unsatisfiable.
RangeRequest ParseRange(const std::string& value, uint64_t size);
