#include "online/moviehash.h"

#include "online/md5.h"
#include "online/moviesource.h"
#include "platform/fdio.h"
#include "platform/textutil.h"
#include "rar/rarreader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

namespace {
constexpr uint64_t kOpenSubtitlesChunk = 65536;
constexpr size_t kMd5Chunk = 1024;
constexpr int kNapiprojektChunks = 10240; // 10 MiB
constexpr uint64_t kNapisyInfoStart = 500000;

uint64_t SumWords(const std::vector<char>& bytes, size_t count) {
    uint64_t sum = 0;
    for (size_t i = 0; i + 8 <= count; i += 8) {
        uint64_t word = 0;
        for (int b = 7; b >= 0; --b)
            word = (word << 8) | uint8_t(bytes[i + size_t(b)]);
        sum += word;
    }
    return sum;
}

// Size plus the whole words of the first and the last 64 KiB; `read` gives the bytes at a
// position (fewer at the end of the movie). A movie the first pass reads to its end (shorter
// than 64 KiB) has nothing left for the second: each of its words counts once. One of exactly
// 64 KiB is read whole by both passes.
uint64_t SumEnds(uint64_t size, const std::function<size_t(uint64_t, char*, size_t)>& read) {
    std::vector<char> buffer(kOpenSubtitlesChunk);
    uint64_t hash = size;
    size_t head = read(0, buffer.data(), buffer.size());
    hash += SumWords(buffer, head);
    if (head < kOpenSubtitlesChunk)
        return hash;
    uint64_t tail = size > kOpenSubtitlesChunk ? size - kOpenSubtitlesChunk : 0;
    hash += SumWords(buffer, read(tail, buffer.data(), buffer.size()));
    return hash;
}

// MD5 of up to `chunks` chunks of 1024 bytes from `start`, stopping at the first empty read.
template <typename Read> void DigestChunks(Read read, int chunks, unsigned char digest[16]) {
    md5_context context;
    md5_starts(&context);
    unsigned char chunk[kMd5Chunk];
    for (int i = 0; i < chunks; ++i) {
        size_t n = read(reinterpret_cast<char*>(chunk), sizeof chunk);
        if (n == 0)
            break;
        md5_update(&context, chunk, n);
    }
    md5_finish(&context, digest);
}

int DigestFile(const std::string& path, int64_t start, int chunks, unsigned char digest[16]) {
    FILE* f = FopenRegularFile(path); // a FIFO or a folder is no movie (and must not block)
    if (f == nullptr)
        return 1;
    // A start past the end (or beyond what seeking allows) digests no bytes.
    bool placed = start >= 0 && fseeko(f, off_t(start), SEEK_SET) == 0;
    DigestChunks([&](char* buf, size_t len) { return placed ? std::fread(buf, 1, len, f) : 0; },
                 chunks, digest);
    std::fclose(f);
    return 0;
}

void DigestSource(MovieSource& movie, uint64_t start, int chunks, unsigned char digest[16]) {
    uint64_t pos = start;
    DigestChunks(
        [&](char* buf, size_t len) {
            size_t n = movie.Read(pos, buf, len);
            pos += n;
            return n;
        },
        chunks, digest);
}

std::string Hex(const unsigned char digest[16]) {
    char text[33];
    tohexdigs(digest, text);
    return text;
}
} // namespace

uint64_t OpenSubtitlesSum(MovieSource& movie) {
    return SumEnds(movie.size(),
                   [&](uint64_t pos, char* buf, size_t len) { return movie.Read(pos, buf, len); });
}

// Lowercase hex, left-padded with zeros to exactly 16 digits.
std::string OpenSubtitlesHex(uint64_t hash) {
    return Format("%016llx", (unsigned long long)hash);
}

void NapiprojektDigest(MovieSource& movie, unsigned char digest[16]) {
    DigestSource(movie, 0, kNapiprojektChunks, digest);
}

void NapisyInfoDigest(MovieSource& movie, unsigned char digest[16]) {
    DigestSource(movie, kNapisyInfoStart, 1, digest);
}

uint64_t compute_hash(std::istream& stream) {
    stream.clear();
    stream.seekg(0, std::ios::end);
    std::streamoff end = stream.tellg();
    uint64_t size = end > 0 ? uint64_t(end) : 0;
    return SumEnds(size, [&](uint64_t pos, char* buf, size_t len) -> size_t {
        stream.clear();
        stream.seekg(std::streamoff(pos), std::ios::beg);
        stream.read(buf, std::streamsize(len));
        return size_t(stream.gcount());
    });
}

std::string GenerateHashOpenSubtitles(const std::string& path) {
    MovieSource movie(path, s);
    if (!movie.ok()) {
        std::fputs("Error opening file\n", stderr);
        return "";
    }
    return OpenSubtitlesHex(OpenSubtitlesSum(movie));
}

int64_t GetFileSizeForName(const std::string& path) {
    FILE* f = FopenRegularFile(path); // a folder would answer an enormous size
    if (f == nullptr)
        return 0;
    int64_t size = fseeko(f, 0, SEEK_END) == 0 ? int64_t(ftello(f)) : 0;
    std::fclose(f);
    return size < 0 ? 0 : size;
}

int napiproj_file(const std::string& path, unsigned char digest[16], int64_t start) {
    return DigestFile(path, start, kNapiprojektChunks, digest);
}

int napisyinfo_file(const std::string& path, unsigned char digest[16], int64_t start) {
    return DigestFile(path, start, 1, digest);
}

int MAX(int a, int b) {
    return a > b ? a : b;
}

MovieHash::MovieHash(const std::string& path) {
    MovieSource movie(path, s);
    if (!movie.ok()) {
        // "0" marks a missing fingerprint (assign(1, ...) sidesteps a GCC 12 -Wrestrict
        // false positive on assigning a one-character literal).
        hashNapiprojekt.assign(1, '0');
        hashNapisyInfo.assign(1, '0');
        fileSize = movie.isRar() ? 0 : GetFileSizeForName(path);
        return;
    }
    fileSize = int64_t(movie.size());
    unsigned char digest[16];
    NapiprojektDigest(movie, digest);
    hashNapiprojekt = Hex(digest);
    NapisyInfoDigest(movie, digest);
    hashNapisyInfo = Hex(digest);
    hashOpenSubtitles = OpenSubtitlesHex(OpenSubtitlesSum(movie));
}

std::string MovieHash::getfilesize() const {
    return Format("%lld", (long long)fileSize);
}
