#pragma once
// Writing whole buffers to descriptors. A small library of its own (quorvan_fdio), so that the
// stand-alone tools use it without the rest of the core.
#include <cstddef>
#include <string>

// Writes all of `data` to a blocking descriptor, going on after interrupted calls. False on
// an error or a closed reader.
bool WriteAllBlocking(int fd, const char* data, size_t size);
inline bool WriteAllBlocking(int fd, const std::string& data) {
    return WriteAllBlocking(fd, data.data(), data.size());
}
