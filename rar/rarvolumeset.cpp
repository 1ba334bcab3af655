#include "rar/rarvolumeset.h"

#include "platform/fdio.h"
#include "platform/windowport.h"
#include "rar/rar5header.h"
#include "rar/rarheader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

namespace {
// The apostrophe is the typographic one the message has always shown, written in UTF-8 like
// every text of this program.
const char kBadArchive[] = "This isn’t good RAR file!\nComplete download first rar file (e. "
                           "move.rar) and last Rar file (e move.r47) before play.";
const char kBadMethod[] = "Bad compression method!\nTry File->stream from unrar..";
const char kCaption[] = "Error RAR";
} // namespace

namespace {
// The entry of `folder` equal to one of `names` without regard to case (the first in the order
// of `names`), or "".
std::string FindNoCase(const std::string& folder, const std::vector<std::string>& names) {
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (d == nullptr)
        return "";
    std::vector<std::string> found(names.size());
    while (dirent* e = readdir(d))
        for (size_t i = 0; i < names.size(); ++i)
            if (found[i].empty() && strcasecmp(e->d_name, names[i].c_str()) == 0)
                found[i] = e->d_name;
    closedir(d);
    for (const std::string& f : found)
        if (!f.empty())
            return f;
    return "";
}
} // namespace

FILE* OpenRarVolume(const std::string& name) {
    // The descriptor is close-on-exec: it must not leak into the player processes started
    // meanwhile.
    static const char* const kSuffixes[] = {"", ".bc!", ".!ut"};
    for (const char* suffix : kSuffixes) {
        if (FILE* f = FopenRegularFile(name + suffix))
            return f;
    }
    // A set copied from Windows may mix the case of its names (Film.RAR beside film.r00).
    size_t slash = name.rfind('/');
    std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
    std::vector<std::string> leaves;
    for (const char* suffix : kSuffixes)
        leaves.push_back(leaf + suffix);
    std::string actual = FindNoCase(folder, leaves);
    return actual.empty() ? nullptr : FopenRegularFile(folder + actual);
}

RarVolumeSet::~RarVolumeSet() {
    CloseVolume();
}

RarVolumeSet::Guard RarVolumeSet::Lock() const {
    return Guard(mutex_);
}

void RarVolumeSet::CloseVolume() {
    if (openVolumeFile != nullptr)
        std::fclose(openVolumeFile);
    openVolumeFile = nullptr;
    openVolumeIndex = -1;
    fileOffset_ = -1;
}

void RarVolumeSet::ClearGeometry() {
    unpackedSize = 0;
    volumeDataSize = 0;
    dataOffset = 0;
    stored = false;
    encrypted = false;
    format = 0;
    spans_.clear();
    tailShare_ = 0;
    tailOffset_ = 0;
}

bool RarVolumeSet::isRarFileName(const char* name) {
    auto lock = Lock();
    CloseVolume();
    std::string text = name != nullptr ? name : "";
    const RarNamingRule* rule = FindFirstVolumeRule(text);
    if (rule == nullptr)
        return false;
    std::string base = text.substr(0, text.size() - std::strlen(rule->ending));
    std::string pattern = RarNamePattern(text, base, *rule);
    // A name cut to fit the buffers would name another file: such a set is not recognised.
    if (text.size() >= kRarNameBuffer || pattern.size() >= kRarNameBuffer)
        return false;
    std::memcpy(rarfilename, text.c_str(), text.size() + 1);
    std::memcpy(rarfilenamewzorzec, pattern.c_str(), pattern.size() + 1);
    namingScheme = rule->scheme;
    rule_ = rule;
    base_ = base;
    ClearGeometry();
    return true;
}

bool RarVolumeSet::raropen() {
    auto lock = Lock();
    // RAR5 volumes may begin with comments and other service headers: a wider window.
    std::vector<unsigned char> head(kRar5HeaderWindow);
    size_t got = 0;
    FILE* f = rule_ != nullptr ? OpenRarVolume(rarfilename) : nullptr;
    if (f != nullptr) {
        got = std::fread(head.data(), 1, head.size(), f);
        std::fclose(f);
    }
    ClearGeometry();
    if (f != nullptr && IsRar5Signature(head.data(), got)) {
        if (!OpenRar5(head.data(), got)) {
            mutex_.DeferMessageBox(kBadArchive, kCaption, MB_ICONERROR_);
            return false;
        }
    } else {
        RarHeaderInfo info = ParseRarGeometry(head.data(), std::min(got, kRarHeaderWindow));
        if (f == nullptr || info.result != RarHeaderResult::Ok) {
            mutex_.DeferMessageBox(kBadArchive, kCaption, MB_ICONERROR_);
            return false;
        }
        volumeDataSize = info.volumeDataSize;
        unpackedSize = info.unpackedSize;
        if (info.largeFile) {
            std::fputs("file > 2GB\n", stdout);
            std::fflush(stdout);
        }
        // Movies past 2 GiB in one volume need the high size fields.
        dataOffset = info.dataOffset;
        stored = info.stored;
        encrypted = info.encrypted;
        format = 4;
    }
    if (!stored)
        mutex_.DeferMessageBox(kBadMethod, kCaption, MB_ICONERROR_);
    return true;
}

bool RarVolumeSet::OpenRar5(const unsigned char* head, size_t length) {
    Rar5VolumeInfo first = ParseRar5Volume(head, length);
    if (first.result != Rar5Result::Ok || first.splitBefore || first.dataOffset > INT32_MAX)
        return false;
    format = 5;
    unpackedSize = first.unpackedSize;
    volumeDataSize = int64_t(first.dataSize);
    dataOffset = int32_t(first.dataOffset);
    stored = first.stored;
    encrypted = first.encrypted;
    spans_.push_back({0, first.dataSize, first.dataOffset});
    // Later volumes carry a volume number in their main header: a byte more than the first.
    tailShare_ = first.dataSize > 1 ? first.dataSize - 1 : 1;
    tailOffset_ = first.dataOffset + 1;
    bool more = first.splitAfter;
    std::vector<unsigned char> buffer(kRar5HeaderWindow);
    uint64_t covered = first.dataSize;
    while (more && covered < unpackedSize && spans_.size() < size_t(INT_MAX)) {
        int64_t k = int64_t(spans_.size());
        FILE* f = OpenRarVolume(VolumeName(k));
        if (f == nullptr)
            break;
        size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
        std::fclose(f);
        Rar5VolumeInfo v = ParseRar5Volume(buffer.data(), got);
        // Only a continuation of the same file belongs to the movie.
        if (v.result != Rar5Result::Ok || !v.splitBefore || v.name != first.name ||
            v.unpackedSize != first.unpackedSize || (v.isVolume && v.volumeNumber != uint64_t(k)) ||
            v.dataSize > UINT64_MAX - covered)
            break;
        spans_.push_back({covered, v.dataSize, v.dataOffset});
        covered += v.dataSize;
        more = v.splitAfter;
        if (more) {
            tailShare_ = v.dataSize;
            tailOffset_ = v.dataOffset;
        }
    }
    return true;
}
bool RarVolumeSet::OpenSet(const std::string& name) {
    auto lock = Lock();
    if (!isRarFileName(name.c_str()) || !raropen())
        return false;
    rarseek(0);
    return true;
}

RarVolumeSet::Place RarVolumeSet::Locate(int64_t pos) const {
    Place place;
    if (volumeDataSize <= 0 || pos < 0)
        return place;
    if (format != 5) {
        place.volume = pos / volumeDataSize;
        place.offset = pos % volumeDataSize + dataOffset;
        place.left = volumeDataSize - pos % volumeDataSize;
        return place;
    }
    const Span& last = spans_.back();
    uint64_t end = last.start + last.share;
    uint64_t at = uint64_t(pos);
    if (at < end) {
        auto it = std::upper_bound(spans_.begin(), spans_.end(), at,
                                   [](uint64_t p, const Span& span) { return p < span.start; });
        --it;
        place.volume = int64_t(it - spans_.begin());
        place.offset = it->offset + int64_t(at - it->start);
        place.left = int64_t(it->share - (at - it->start));
        return place;
    }
    uint64_t beyond = at - end;
    place.volume = int64_t(spans_.size()) + int64_t(beyond / tailShare_);
    place.offset = tailOffset_ + int64_t(beyond % tailShare_);
    place.left = int64_t(tailShare_ - beyond % tailShare_);
    return place;
}

RarVolumeSet::Span RarVolumeSet::VolumeSpan(int64_t k) const {
    auto lock = Lock();
    Span span;
    if (volumeDataSize <= 0 || k < 0)
        return span;
    if (format != 5) {
        uint64_t share = uint64_t(volumeDataSize);
        span.start = uint64_t(k) > UINT64_MAX / share ? UINT64_MAX : uint64_t(k) * share;
        span.share = share;
        span.offset = dataOffset;
        return span;
    }
    if (uint64_t(k) < spans_.size())
        return spans_[size_t(k)];
    const Span& last = spans_.back();
    uint64_t beyond = uint64_t(k) - spans_.size();
    uint64_t end = last.start + last.share;
    span.start = beyond > (UINT64_MAX - end) / tailShare_ ? UINT64_MAX : end + beyond * tailShare_;
    span.share = tailShare_;
    span.offset = tailOffset_;
    return span;
}

uint64_t RarVolumeSet::VolumeCount() const {
    auto lock = Lock();
    if (volumeDataSize <= 0 || unpackedSize == 0)
        return 1;
    return uint64_t(Locate(int64_t(std::min<uint64_t>(unpackedSize - 1, INT64_MAX))).volume) + 1;
}

int64_t RarVolumeSet::numerpliku(int64_t pos) const {
    auto lock = Lock();
    return Locate(pos).volume;
}

int64_t RarVolumeSet::seekinpart(int64_t pos) const {
    auto lock = Lock();
    return Locate(pos).offset;
}

int64_t RarVolumeSet::pozostalo(int64_t pos) const {
    auto lock = Lock();
    return Locate(pos).left;
}

std::string RarVolumeSet::VolumeName(int64_t k) const {
    auto lock = Lock();
    return rule_ != nullptr ? RarVolumeName(rarfilename, base_, *rule_, k) : std::string();
}

FILE* RarVolumeSet::VolumeFile(int64_t k) {
    if (k == openVolumeIndex)
        return openVolumeFile;
    CloseVolume();
    // Volume numbers past INT_MAX cannot be recorded; such a read just finds no file.
    if (k > INT_MAX)
        return nullptr;
    openVolumeFile = OpenRarVolume(VolumeName(k));
    openVolumeIndex = int(k);
    return openVolumeFile;
}

bool RarVolumeSet::rarread(char* buffer, int64_t pos, int length) {
    auto lock = Lock();
    if (length <= 0)
        return volumeDataSize > 0;
    if (volumeDataSize <= 0 || pos < 0 || pos > INT64_MAX - length) {
        std::memset(buffer, 0, size_t(length));
        return false;
    }
    while (length > 0) {
        int64_t share = pozostalo(pos);
        int chunk = share < length ? int(share) : length;
        FILE* f = VolumeFile(numerpliku(pos));
        size_t got = 0;
        if (f != nullptr) {
            int64_t at = seekinpart(pos);
            bool placed = fileOffset_ == at || fseeko(f, at, SEEK_SET) == 0;
            if (placed)
                got = std::fread(buffer, 1, size_t(chunk), f);
            fileOffset_ = placed && got == size_t(chunk) ? at + chunk : -1;
            if (got < size_t(chunk))
                std::clearerr(f);
        }
        // A missing volume, or a volume file shorter than its share, supplies zeros.
        std::memset(buffer + got, 0, size_t(chunk) - got);
        buffer += chunk;
        pos += chunk;
        length -= chunk;
    }
    return true;
}

int64_t RarVolumeSet::ReadUpToGap(char* buffer, int64_t pos, int64_t length) {
    auto lock = Lock();
    if (volumeDataSize <= 0 || pos < 0 || length <= 0 || uint64_t(pos) >= unpackedSize)
        return 0;
    length = int64_t(std::min<uint64_t>(uint64_t(length), unpackedSize - uint64_t(pos)));
    int64_t done = 0;
    while (done < length) {
        int64_t at = pos + done;
        int64_t chunk = std::min(pozostalo(at), length - done);
        FILE* f = VolumeFile(numerpliku(at));
        if (f == nullptr)
            break;
        int64_t offset = seekinpart(at);
        size_t got = 0;
        if (fileOffset_ == offset || fseeko(f, offset, SEEK_SET) == 0)
            got = std::fread(buffer + done, 1, size_t(chunk), f);
        fileOffset_ = got == size_t(chunk) ? offset + chunk : -1;
        done += int64_t(got);
        if (got < size_t(chunk)) {
            std::clearerr(f);
            break; // the volume file ends before its share does
        }
    }
    return done;
}

RarVolumeSet::Extent RarVolumeSet::ContiguousExtent() {
    auto lock = Lock();
    Extent extent;
    if (volumeDataSize <= 0)
        return extent;
    for (int64_t k = 0;; ++k) {
        Span span = VolumeSpan(k);
        if (span.start >= unpackedSize || span.share == 0)
            break;
        uint64_t want = std::min(span.share, unpackedSize - span.start);
        std::string name = VolumeName(k);
        FILE* f = OpenRarVolume(name);
        struct stat st {};
        bool known = f != nullptr && fstat(fileno(f), &st) == 0;
        if (f != nullptr)
            std::fclose(f);
        uint64_t size = known ? uint64_t(st.st_size) : 0;
        uint64_t have = size > uint64_t(span.offset) ? size - uint64_t(span.offset) : 0;
        if (!known || have < want) {
            extent.bytes = span.start + (known ? have : 0);
            extent.volume = k;
            extent.name = name;
            extent.missing = !known;
            extent.volumeBytes = known ? have : 0;
            return extent;
        }
        if (k == INT64_MAX)
            break;
    }
    extent.bytes = unpackedSize;
    return extent;
}

void RarVolumeSet::rarseek(int64_t pos) {
    auto lock = Lock();
    position = pos;
}

int RarVolumeSet::rarreadnic(char* buffer, int length) {
    auto lock = Lock();
    rarread(buffer, position, length);
    if (length > 0 && position <= INT64_MAX - length)
        position += length;
    return length;
}
