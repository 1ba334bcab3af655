#include "tests/subtitles/ddetestserver.h"

#include "platform/ddeframes.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

ScopedRuntimeDir::ScopedRuntimeDir(const std::string& dir) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
        had_ = true;
        old_ = old;
    }
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

ScopedRuntimeDir::~ScopedRuntimeDir() {
    if (had_)
        setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

DdeTestServer::DdeTestServer(const std::string& runtimeDir,
                             const std::vector<std::string>& services, bool silent)
    : services_(services), silent_(silent) {
    ScopedRuntimeDir runtime(runtimeDir);
    std::string error;
    if (!PrepareDdeSocketFolder(&error))
        throw std::runtime_error(error);
    for (const std::string& service : services) {
        std::string path = DdeSocketPath(service);
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        unlink(path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(fd, 16) != 0)
            throw std::runtime_error("cannot listen on " + path);
        listeners_.push_back(fd);
    }
    if (pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    thread_ = std::thread(&DdeTestServer::Run, this);
}

DdeTestServer::~DdeTestServer() {
    char c = 0;
    ssize_t ignored = write(wake_[1], &c, 1);
    (void)ignored;
    thread_.join();
    for (size_t i = 0; i < listeners_.size(); ++i) {
        close(listeners_[i]);
        unlink(DdeSocketPath(services_[i]).c_str());
    }
    close(wake_[0]);
    close(wake_[1]);
}

void DdeTestServer::Run() {
    struct Peer {
        int fd;
        std::string buffer;
        std::string service, topic;
    };
    std::vector<Peer> peers;
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        for (int fd : listeners_)
            fds.push_back({silent_ ? -1 : fd, POLLIN, 0});
        for (const Peer& p : peers)
            fds.push_back({p.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents != 0)
            break;
        size_t base = 1 + listeners_.size();
        std::vector<Peer> kept;
        for (size_t i = 0; i < peers.size(); ++i) {
            Peer& p = peers[i];
            if (fds[base + i].revents == 0) {
                kept.push_back(std::move(p));
                continue;
            }
            char chunk[8192];
            ssize_t n = recv(p.fd, chunk, sizeof(chunk), 0);
            if (n > 0)
                p.buffer.append(chunk, static_cast<size_t>(n));
            DdeFrame frame;
            while (TakeDdeFrame(p.buffer, &frame) == FrameParse::Complete) {
                std::string data = frame.data;
                if (!data.empty() && data.back() == '\0')
                    data.pop_back();
                std::lock_guard<std::mutex> lock(mutex_);
                if (frame.type == 'C') {
                    p.service = frame.service;
                    p.topic = frame.topic;
                    std::string ack = EncodeDdeFrame(DdeFrame{'A', "", "", "", 0, ""});
                    send(p.fd, ack.data(), ack.size(), MSG_NOSIGNAL);
                    ++conversations_;
                } else if (frame.type == 'P') {
                    frames_.push_back(p.service + "|" + p.topic + "|P|" + frame.item + "|" + data);
                } else {
                    frames_.push_back(p.service + "|" + p.topic + "|E|" + data);
                }
                cv_.notify_all();
            }
            if (n > 0)
                kept.push_back(std::move(p));
            else
                close(p.fd);
        }
        peers.swap(kept);
        for (size_t i = 0; i < listeners_.size(); ++i) {
            if (fds[1 + i].revents == 0)
                continue;
            int fd = accept4(listeners_[i], nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                peers.push_back(Peer{fd, "", "", ""});
        }
    }
    for (const Peer& p : peers)
        close(p.fd);
}

std::vector<std::string> DdeTestServer::Frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

std::vector<std::string> DdeTestServer::WaitFrames(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                 [&] { return frames_.size() >= count; });
    return frames_;
}

size_t DdeTestServer::Conversations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return conversations_;
}
