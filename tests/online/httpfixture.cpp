#include "tests/online/httpfixture.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::string RecordedRequest::Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? "" : it->second;
}

TestHttpServer::TestHttpServer(const std::string& host) : host_(host) {
    // The logger runs once the answer is written, so a client can be done (and have sent its
    // next request) before a request is recorded: each request takes its place in arrival
    // order when it is routed, is filled in by the logger, and Requests() waits for them all.
    server_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_[&req] = requests_.size();
        requests_.emplace_back();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_.set_logger([this](const httplib::Request& req, const httplib::Response&) {
        RecordedRequest r;
        r.method = req.method;
        r.target = req.target;
        r.path = req.path;
        r.version = req.version;
        r.headers = req.headers;
        r.body = req.body;
        std::lock_guard<std::mutex> lock(mutex_);
        auto slot = pending_.find(&req);
        if (slot == pending_.end()) {
            requests_.push_back(std::move(r)); // not routed (refused before routing)
        } else {
            requests_[slot->second] = std::move(r);
            pending_.erase(slot);
        }
        cv_.notify_all();
    });
    port_ = server_.bind_to_any_port(host_);
}

TestHttpServer::~TestHttpServer() {
    Stop();
}

void TestHttpServer::Start() {
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() before the loop runs would be lost, and the loop would then never end.
    for (int i = 0; i < 5000 && !server_.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestHttpServer::Stop() {
    server_.stop();
    if (thread_.joinable())
        thread_.join();
}

std::string TestHttpServer::url() const {
    return "http://" + host_ + ":" + std::to_string(port_);
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(5), [&] { return pending_.empty(); });
    return requests_;
}

bool TestHttpServer::WaitForRequests(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return requests_.size() - pending_.size() >= count; });
}

SilentServer::SilentServer(Mode mode, std::string answer)
    : mode_(mode), answer_(std::move(answer)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listenFd_, 16);
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (pipe2(stopPipe_, O_CLOEXEC) != 0)
        stopPipe_[0] = stopPipe_[1] = -1;
    thread_ = std::thread([this] {
        for (;;) {
            pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents != 0)
                break;
            int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            accepted_++;
            if (mode_ == Answer)
                Serve(fd);
            else if (mode_ == Close)
                close(fd);
            else
                held_.push_back(fd);
        }
    });
}

SilentServer::~SilentServer() {
    char c = 'x';
    if (write(stopPipe_[1], &c, 1) < 0) {
    }
    thread_.join();
    for (int fd : held_)
        close(fd);
    close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

void SilentServer::Serve(int fd) {
    std::string raw;
    char buffer[4096];
    size_t need = std::string::npos;
    while (need == std::string::npos || raw.size() < need) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            break;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        raw.append(buffer, size_t(n));
        size_t end = raw.find("\r\n\r\n");
        if (need == std::string::npos && end != std::string::npos) {
            size_t length = 0;
            std::string head = raw.substr(0, end);
            for (const char* key : {"\r\nContent-Length: ", "\r\ncontent-length: "}) {
                size_t at = head.find(key);
                if (at != std::string::npos)
                    length = std::stoul(head.substr(at + std::strlen(key)));
            }
            need = end + 4 + length;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        raw_.push_back(raw);
    }
    size_t sent = 0;
    while (sent < answer_.size()) {
        ssize_t n = write(fd, answer_.data() + sent, answer_.size() - sent);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    close(fd);
}

std::vector<std::string> SilentServer::Raw() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return raw_;
}

std::string SilentServer::url() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}
