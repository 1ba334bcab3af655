#include "tools/speaker/server.h"

#include "platform/ddeframes.h"
#include "tools/speaker/speechrequest.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kServices[] = {"unispiker", "Expressivo", "Syntalk", "rozmowy"};
// A conversation never needs more than a frame or two; a peer that sends more is dropped.
constexpr size_t kMaxPending = 4 * kMaxFrameBody;

int g_wake[2] = {-1, -1};

void OnSignal(int) {
    char c = 0;
    ssize_t ignored = write(g_wake[1], &c, 1);
    (void)ignored;
}

struct Listener {
    std::string service;
    std::string path;
    int fd = -1;
    ino_t inode = 0;
};

struct Conversation {
    int fd = -1;
    std::string listener; // the service whose socket it came in on
    std::string service;  // set when the connect was accepted
    std::string buffer;
};

bool SomeoneAnswers(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return answers;
}

ServeEnd Bind(Listener& listener, std::string* error) {
    listener.path = DdeSocketPath(listener.service);
    struct stat st {};
    if (lstat(listener.path.c_str(), &st) == 0) {
        if (S_ISSOCK(st.st_mode) && SomeoneAnswers(listener.path))
            return ServeEnd::AlreadyRunning;
        unlink(listener.path.c_str()); // left behind by a speaker that did not end cleanly
    }
    listener.fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, listener.path.c_str(), listener.path.size() + 1);
    if (listener.fd < 0 ||
        bind(listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener.fd, 64) != 0) {
        *error = "cannot serve " + listener.path + ": " + std::strerror(errno);
        return ServeEnd::Failed;
    }
    if (lstat(listener.path.c_str(), &st) == 0)
        listener.inode = st.st_ino;
    return ServeEnd::Stopped;
}

void Unbind(const Listener& listener) {
    if (listener.fd < 0)
        return;
    close(listener.fd);
    // Only our own socket: a newer speaker may have taken the name since.
    struct stat st {};
    if (lstat(listener.path.c_str(), &st) == 0 && st.st_ino == listener.inode)
        unlink(listener.path.c_str());
}

void Answer(int fd, char type) {
    DdeFrame frame;
    frame.type = type;
    std::string bytes = EncodeDdeFrame(frame);
    ssize_t ignored = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    (void)ignored;
}

// Handles what arrived on a conversation; false when it is over.
bool Handle(Conversation& c, SpeechRequests& requests, Speech& speech) {
    char chunk[8192];
    for (;;) {
        ssize_t n = recv(c.fd, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (n > 0) {
            c.buffer.append(chunk, static_cast<size_t>(n));
            if (c.buffer.size() > kMaxPending)
                return false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        bool open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        DdeFrame frame;
        FrameParse state;
        while ((state = TakeDdeFrame(c.buffer, &frame)) == FrameParse::Complete) {
            if (c.service.empty()) {
                if (frame.type != 'C' ||
                    strcasecmp(frame.service.c_str(), c.listener.c_str()) != 0 ||
                    !IsServedConversation(frame.service, frame.topic)) {
                    Answer(c.fd, 'R');
                    return false;
                }
                c.service = frame.service;
                Answer(c.fd, 'A');
                continue;
            }
            if (std::optional<std::string> text = requests.Take(c.service, frame))
                if (!text->empty())
                    speech.Say(c.service, *text);
        }
        return open && state != FrameParse::Bad;
    }
}

} // namespace

ServeEnd Serve(Speech& speech, bool watchStdin, void (*onReady)(), std::string* error) {
    if (!PrepareDdeSocketFolder(error))
        return ServeEnd::Failed;
    if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::strerror(errno);
        return ServeEnd::Failed;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::vector<Listener> listeners;
    ServeEnd end = ServeEnd::Stopped;
    for (const char* service : kServices) {
        Listener listener;
        listener.service = service;
        end = Bind(listener, error);
        if (end != ServeEnd::Stopped)
            break;
        listeners.push_back(listener);
    }
    if (end != ServeEnd::Stopped) {
        for (const Listener& listener : listeners)
            Unbind(listener);
        return end;
    }
    onReady();

    SpeechRequests requests;
    std::vector<Conversation> conversations;
    bool running = true;
    while (running) {
        std::vector<pollfd> fds;
        fds.push_back({g_wake[0], POLLIN, 0});
        fds.push_back({watchStdin ? 0 : -1, POLLIN, 0});
        for (const Listener& listener : listeners)
            fds.push_back({listener.fd, POLLIN, 0});
        for (const Conversation& c : conversations)
            fds.push_back({c.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            *error = std::strerror(errno);
            end = ServeEnd::Failed;
            break;
        }
        if (fds[0].revents != 0)
            running = false;
        if (fds[1].revents != 0) {
            // Our starter holds the other end of this pipe: its end is ours.
            char drain[256];
            ssize_t n = read(0, drain, sizeof(drain));
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                running = false;
        }
        // Conversations first, in the order they were accepted: a poke on an older one is
        // taken before an execute on a newer one (SynTalk's "[read]").
        size_t first = 2 + listeners.size();
        std::vector<Conversation> kept;
        for (size_t i = 0; i < conversations.size(); ++i) {
            Conversation& c = conversations[i];
            if (fds[first + i].revents == 0 || Handle(c, requests, speech))
                kept.push_back(std::move(c));
            else
                close(c.fd);
        }
        conversations.swap(kept);
        for (size_t i = 0; i < listeners.size(); ++i) {
            if ((fds[2 + i].revents & POLLIN) == 0)
                continue;
            for (;;) {
                int fd = accept4(listeners[i].fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    break;
                if (conversations.size() >= 256) {
                    close(fd); // a flood; the client counts it as no server
                    continue;
                }
                Conversation c;
                c.fd = fd;
                c.listener = listeners[i].service;
                conversations.push_back(std::move(c));
            }
        }
    }
    for (const Conversation& c : conversations)
        close(c.fd);
    for (const Listener& listener : listeners)
        Unbind(listener);
    return end;
}
