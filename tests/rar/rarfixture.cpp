#include "tests/rar/rarfixture.h"

#include <algorithm>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {
void Put16(std::string& out, uint32_t v) {
    out += char(v & 0xff);
    out += char((v >> 8) & 0xff);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

bool WriteAll(int fd, const std::string& bytes, uint64_t at) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(at + done));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Writes the parts of `marks` that fall in [from, from + length) at `fileAt` onwards.
bool WriteMarks(int fd, const RarMarks& marks, uint64_t from, uint64_t length, uint64_t fileAt) {
    for (const auto& [pos, bytes] : marks) {
        uint64_t end = pos + bytes.size();
        uint64_t lo = std::max(pos, from), hi = std::min(end, from + length);
        if (lo < hi && !WriteAll(fd, bytes.substr(lo - pos, hi - lo), fileAt + (lo - from)))
            return false;
    }
    return true;
}
} // namespace

std::string StoredSetHead(uint64_t size, const StoredSetOptions& options) {
    std::string head("Rar!\x1a\x07\x00", 7);
    // Main archive header: 13 bytes, volume flag set.
    head += std::string("\x00\x00\x73\x01\x00\x0d\x00", 7) + std::string(6, '\0');
    bool large = options.largeFile || size >= (uint64_t(1) << 32) ||
                 uint64_t(options.share) >= (uint64_t(1) << 32);
    const std::string name = "movie.avi";
    uint32_t headerSize = uint32_t(32 + (large ? 8 : 0) + name.size());
    std::string file;
    Put16(file, 0);                                 // header CRC (not checked)
    file += '\x74';                                 // file header
    Put16(file, 0x8000 | (large ? 0x0100 : 0) | 3); // long block, large, split before/after
    Put16(file, headerSize);
    Put32(file, uint32_t(options.share)); // packed size of this volume's slice
    Put32(file, uint32_t(size));          // unpacked size, low half
    file += '\x02';                       // host OS
    Put32(file, 0);                       // file CRC
    Put32(file, 0);                       // time
    file += '\x1d';                       // version to unpack
    file += options.method;
    Put16(file, uint32_t(name.size()));
    Put32(file, 0x20); // attributes
    if (large) {
        Put32(file, uint32_t(uint64_t(options.share) >> 32)); // high packed size
        Put32(file, uint32_t(size >> 32));                    // high unpacked size
    }
    file += name;
    return head + file;
}

bool WriteStoredSet(const std::vector<std::string>& volumes, uint64_t size, const RarMarks& marks,
                    const StoredSetOptions& options) {
    const std::string head = StoredSetHead(size, options);
    const std::string endBlock("\xc4\x3d\x7b\x00\x40\x07\x00", 7);
    uint64_t share = uint64_t(options.share);
    for (size_t k = 0; k < volumes.size(); ++k) {
        uint64_t from = k * share;
        uint64_t length = from < size ? std::min(share, size - from) : 0;
        int fd = open(volumes[k].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = WriteAll(fd, head, 0) && ftruncate(fd, off_t(head.size() + length)) == 0 &&
                  WriteMarks(fd, marks, from, length, head.size()) &&
                  WriteAll(fd, endBlock, head.size() + length);
        close(fd);
        if (!ok)
            return false;
    }
    return true;
}

bool WriteLooseFile(const std::string& path, uint64_t size, const RarMarks& marks) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ftruncate(fd, off_t(size)) == 0 && WriteMarks(fd, marks, 0, size, 0);
    close(fd);
    return ok;
}

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = char(gen() & 0xff);
    return out;
}
