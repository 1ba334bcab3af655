#pragma once
// Local servers for the online tests: a cpp-httplib server on 127.0.0.1 (ephemeral port)
// that records every request it got, and a bare socket server that either never answers
// or closes each connection at once.
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The text between the first `open` in `text` and the next `close` after it ("" when either is
// missing): how the fake services pick fields out of the bodies they are sent.
inline std::string Between(const std::string& text, const std::string& open,
                           const std::string& close) {
    size_t s = text.find(open);
    if (s == std::string::npos)
        return "";
    s += open.size();
    size_t e = text.find(close, s);
    return e == std::string::npos ? "" : text.substr(s, e - s);
}

struct RecordedRequest {
    std::string method;
    std::string target; // path and query as sent
    std::string path;
    std::string version;
    httplib::Headers headers;
    std::string body;
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const { return headers.count(name) > 0; }
};

class TestHttpServer {
  public:
    // Listens on `host` (another loopback address plays another machine).
    explicit TestHttpServer(const std::string& host = "127.0.0.1");
    ~TestHttpServer();
    // Handlers are added before Start().
    httplib::Server& server() { return server_; }
    void Start();
    void Stop();
    int port() const { return port_; }
    std::string url() const;
    // Every request that reached the server, once those still being answered are recorded.
    std::vector<RecordedRequest> Requests() const;
    // Waits until `count` requests have been answered.
    bool WaitForRequests(size_t count, int timeoutMs) const;

  private:
    httplib::Server server_;
    std::thread thread_;
    std::string host_;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<RecordedRequest> requests_;
    // Requests routed but not yet answered, with their places in requests_.
    std::map<const httplib::Request*, size_t> pending_;
};

// A socket server that accepts connections and then holds them without a word (Stall),
// closes them at once (Close), or reads one whole request (head and Content-Length bytes),
// keeps its raw bytes and sends `answer` (Answer).
class SilentServer {
  public:
    enum Mode { Stall, Close, Answer };
    explicit SilentServer(Mode mode, std::string answer = "");
    // The raw requests read in Answer mode.
    std::vector<std::string> Raw() const;
    ~SilentServer();
    int port() const { return port_; }
    std::string url() const;
    int accepted() const { return accepted_.load(); }

  private:
    void Serve(int fd);
    Mode mode_;
    std::string answer_;
    mutable std::mutex mutex_;
    std::vector<std::string> raw_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> accepted_{0};
    std::thread thread_;
    std::vector<int> held_;
};
