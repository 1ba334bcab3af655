#pragma once
// Writes stored RAR 2.9 volume sets for tests and benchmarks: a marker block, a main header,
// one file header (method "0" unless told otherwise) and the volume's slice, then an
// end-of-archive block. Slices are written sparse, so sets of several gigabytes cost nothing.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Bytes of the stored file that are not zero: (position, bytes) pairs.
using RarMarks = std::vector<std::pair<uint64_t, std::string>>;

struct StoredSetOptions {
    int64_t share = 0;      // bytes of the stored file per volume
    char method = '0';      // method byte of the file header
    bool largeFile = false; // write the high size fields (forced for sizes >= 4 GiB)
};

// The block headers in front of the stored data of every volume (their length is the data
// offset the reader must find).
std::string StoredSetHead(uint64_t size, const StoredSetOptions& options);

// Writes the set to `volumes` (volume k of the set is volumes[k]); the caller names them, so
// the test's naming is independent of the reader's. `volumes` holds ceil(size / share) names.
// Returns false when a file cannot be written.
bool WriteStoredSet(const std::vector<std::string>& volumes, uint64_t size, const RarMarks& marks,
                    const StoredSetOptions& options);

// A plain (sparse) file of `size` bytes with the marks, the same movie loose on disk.
bool WriteLooseFile(const std::string& path, uint64_t size, const RarMarks& marks);

// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t n, uint32_t seed);
