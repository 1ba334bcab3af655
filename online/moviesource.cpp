#include "online/moviesource.h"

#include "platform/fdio.h"

#include <algorithm>
#include <climits>

MovieSource::MovieSource(const std::string& path, RarVolumeSet& reader) {
    if (FindFirstVolumeRule(path) != nullptr) {
        lock_ = reader.Lock();
        reader_ = &reader;
        ok_ = reader.OpenSet(path);
        size_ = ok_ ? reader.unpackedSize : 0;
        return;
    }
    // Only a regular file is a movie: a FIFO or a device would block or never end, and a
    // folder reads as an enormous size.
    file_ = FopenRegularFile(path);
    if (file_ == nullptr || fseeko(file_, 0, SEEK_END) != 0)
        return;
    off_t end = ftello(file_);
    ok_ = end >= 0;
    size_ = ok_ ? uint64_t(end) : 0;
}

MovieSource::~MovieSource() {
    if (file_ != nullptr)
        std::fclose(file_);
}

size_t MovieSource::Read(uint64_t pos, char* buffer, size_t length) {
    if (!ok_ || pos >= size_)
        return 0;
    length = size_t(std::min<uint64_t>(length, size_ - pos));
    if (reader_ != nullptr) {
        size_t done = 0;
        while (done < length) {
            int piece = int(std::min<size_t>(length - done, INT_MAX));
            reader_->rarread(buffer + done, int64_t(pos + done), piece);
            done += size_t(piece);
        }
        return length;
    }
    if (fseeko(file_, off_t(pos), SEEK_SET) != 0)
        return 0;
    return std::fread(buffer, 1, length, file_);
}
