#include "platform/fdio.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

bool WriteAllBlocking(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string SpecialFileKind(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return "";
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    return "a device";
}

int OpenRegularFile(const std::string& path) {
    int fd;
    do
        fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int error = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        close(fd);
        errno = error;
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

FILE* FopenRegularFile(const std::string& path) {
    int fd = OpenRegularFile(path);
    if (fd < 0)
        return nullptr;
    FILE* f = fdopen(fd, "rb");
    if (f == nullptr)
        close(fd);
    return f;
}

int ConnectLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool SendAllOnSocket(int fd, const char* data, size_t size, int flags,
                     std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL | flags);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) ||
            deadline == Clock::time_point::max())
            return false;
        // Room for more, within the deadline.
        while (true) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0)
                return false;
            pollfd p{fd, POLLOUT, 0};
            int ready = poll(&p, 1, static_cast<int>(left));
            if (ready > 0) {
                if ((p.revents & POLLOUT) == 0)
                    return false;
                break;
            }
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }
    return true;
}
