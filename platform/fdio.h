#pragma once
// Writing whole buffers to descriptors. A small library of its own (quorvan_fdio), so that the
// stand-alone tools use it without the rest of the core.
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

// Writes all of `data` to a blocking descriptor, going on after interrupted calls. False on
// an error or a closed reader.
bool WriteAllBlocking(int fd, const char* data, size_t size);
inline bool WriteAllBlocking(int fd, const std::string& data) {
    return WriteAllBlocking(fd, data.data(), data.size());
}

// Sends all of `data` on a socket (MSG_NOSIGNAL, plus `flags` such as MSG_MORE), going on
// after interrupted calls. With a deadline, a send that would block waits for room until then;
// without one, a send that would block (the socket's own send timeout) ends it. False on an
// error, a closed peer or the deadline.
bool SendAllOnSocket(
    int fd, const char* data, size_t size, int flags = 0,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());

// A TCP connection to 127.0.0.1:`port` (close-on-exec, blocking), or -1 with errno set.
int ConnectLoopback(int port);

// What `path` is when it exists but is no regular file ("a folder", "a FIFO", "a device",
// "a socket"), else "" (a regular file, or nothing there). Looks without opening, so it never
// blocks.
std::string SpecialFileKind(const std::string& path);

// Opens `path` read-only (close-on-exec) only when it is a regular file, or -1 with errno set
// (EISDIR for a folder, ENXIO for any other special file). The open itself never blocks: it is
// made with O_NONBLOCK, so a FIFO without a writer is refused at once rather than hanging the
// caller, and the descriptor is blocking again when returned.
int OpenRegularFile(const std::string& path);
// The same as a stdio stream ("rb").
FILE* FopenRegularFile(const std::string& path);
