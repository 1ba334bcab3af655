#include "platform/ddeclient.h"

#include "platform/codepage.h"
#include "platform/ddeframes.h"
#include "platform/fdio.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

bool WaitFd(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, MsLeft(deadline));
        if (n > 0)
            return (p.revents & events) != 0;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

bool SendFrame(int fd, const std::string& bytes, Clock::time_point deadline) {
    return SendAllOnSocket(fd, bytes.data(), bytes.size(), 0, deadline);
}

// Receives the server's answer to a connect; true when it accepted the conversation.
bool Accepted(int fd, Clock::time_point deadline) {
    std::string buffer;
    DdeFrame answer;
    for (;;) {
        FrameParse state = TakeDdeFrame(buffer, &answer);
        if (state == FrameParse::Complete)
            return answer.type == 'A';
        if (state == FrameParse::Bad || !WaitFd(fd, POLLIN, deadline))
            return false;
        char chunk[64];
        ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
        if (n > 0)
            buffer.append(chunk, static_cast<size_t>(n));
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            return false;
    }
}

// Connects to the service's socket and asks for the topic; the socket, or -1 when no server
// accepted within the limit.
int OpenConversation(const char* service, const char* topic) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kDdeAnswerLimitMs);
    std::string path = DdeSocketPath(service != nullptr ? service : "");
    if (path.empty() || !DdeSocketFolderIsPrivate())
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    // EAGAIN: a full backlog, the server is not taking conversations just now.
    if (!connected && errno == EAGAIN && WaitFd(fd, POLLOUT, deadline)) {
        int error = 0;
        socklen_t len = sizeof(error);
        connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
    }
    DdeFrame hello;
    hello.type = 'C';
    hello.service = service;
    hello.topic = topic != nullptr ? topic : "";
    if (!connected || !SendFrame(fd, EncodeDdeFrame(hello), deadline) || !Accepted(fd, deadline)) {
        close(fd);
        return -1;
    }
    return fd;
}

// One conversation, open for the lifetime of the object.
class Conversation {
  public:
    Conversation(const char* service, const char* topic) : fd_(OpenConversation(service, topic)) {}
    ~Conversation() {
        if (fd_ >= 0)
            close(fd_);
    }
    Conversation(const Conversation&) = delete;
    Conversation& operator=(const Conversation&) = delete;

    bool accepted() const { return fd_ >= 0; }

    // Issues the transaction; the server does not answer it.
    bool Send(const DdeFrame& frame) {
        Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kDdeAnswerLimitMs);
        return fd_ >= 0 && SendFrame(fd_, EncodeDdeFrame(frame), deadline);
    }

  private:
    int fd_;
};

// The payload as the 4096-byte buffer holds it: cut to 4095 bytes, the zero byte added.
std::string TextPayload(const char* text, size_t buffer = kDdePayloadBuffer) {
    std::string payload(text != nullptr ? text : "");
    if (payload.size() > buffer - 1)
        payload.resize(buffer - 1);
    payload.push_back('\0');
    return payload;
}

DdeFrame Poke(const char* item, const std::string& payload) {
    DdeFrame frame;
    frame.type = 'P';
    frame.item = item != nullptr ? item : "";
    frame.format = kFormatText;
    frame.data = payload;
    return frame;
}

DdeFrame Execute(const char* command) {
    DdeFrame frame;
    frame.type = 'E';
    frame.data = TextPayload(command);
    return frame;
}

} // namespace

std::string ToSystemCodepage(const char* utf8) {
    std::string out;
    if (utf8 == nullptr)
        return out;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    size_t left = std::strlen(utf8);
    while (left > 0) {
        size_t len = Utf8SequenceLength(s, left);
        size_t take = len == 0 ? 1 : len;
        if (out.size() + take > static_cast<size_t>(kDdeCodepageBuffer) - 1)
            break;
        if (len == 0)
            out.push_back('?');
        else
            out.append(reinterpret_cast<const char*>(s), len);
        s += take;
        left -= take;
    }
    return out;
}

int DDEPokeData(const char* service, const char* topic, const char* item, const char* text) {
    Conversation conversation(service, topic);
    if (!conversation.accepted())
        return 0;
    conversation.Send(Poke(item, TextPayload(text)));
    return 1;
}

int DDEPokeDataUTF8(const char*, const char*, const char*, const char* text) {
    Conversation conversation("Expressivo", "synteza");
    if (!conversation.accepted())
        return 0;
    conversation.Send(Poke("do_serwera", TextPayload(ToSystemCodepage(text).c_str())));
    return 1;
}

int DDEExecute(const char* service, const char* topic, const char* command) {
    Conversation conversation(service, topic);
    if (!conversation.accepted())
        return 0;
    conversation.Send(Execute(command));
    return 1;
}

int DDEPokeExecute(const char* service, const char* topic, const char* item, const char* text,
                   const char* topic2, const char* command) {
    Conversation first(service, topic);
    if (!first.accepted())
        return 0;
    first.Send(Poke(item, TextPayload(text)));
    Conversation second(service, topic2);
    if (!second.accepted())
        return 0;
    second.Send(Execute(command));
    return 1;
}

int DDEProbe(const char* service, const char* topic) {
    Conversation conversation(service, topic);
    return conversation.accepted() ? 1 : 0;
}
