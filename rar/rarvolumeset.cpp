#include "rar/rarvolumeset.h"

#include "platform/windowport.h"
#include "rar/rarheader.h"

#include <climits>
#include <cstring>

namespace {
// The apostrophe is the typographic one the message has always shown, written in UTF-8 like
// every text of this program.
const char kBadArchive[] = "This isn’t good RAR file!\nComplete download first rar file (e. "
                           "move.rar) and last Rar file (e move.r47) before play.";
const char kBadMethod[] = "Bad compression method!\nTry File->stream from unrar..";
const char kCaption[] = "Error RAR";
} // namespace

FILE* OpenRarVolume(const std::string& name) {
    // "e": the descriptor must not leak into the player processes started meanwhile.
    for (const char* suffix : {"", ".bc!", ".!ut"}) {
        if (FILE* f = std::fopen((name + suffix).c_str(), "rbe"))
            return f;
    }
    return nullptr;
}

RarVolumeSet::~RarVolumeSet() {
    CloseVolume();
}

std::unique_lock<std::recursive_mutex> RarVolumeSet::Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
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
}

bool RarVolumeSet::isRarFileName(const char* name) {
    auto lock = Lock();
    CloseVolume();
    std::string text = name != nullptr ? name : "";
    const RarNamingRule* rule = FindFirstVolumeRule(text);
    if (rule == nullptr)
        return false;
    std::string base = text.substr(0, text.size() - std::strlen(rule->ending));
    std::string pattern = RarNamePattern(base, *rule);
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
    unsigned char head[kRarHeaderWindow];
    size_t got = 0;
    FILE* f = rule_ != nullptr ? OpenRarVolume(rarfilename) : nullptr;
    if (f != nullptr) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    RarHeaderInfo info = ParseRarGeometry(head, got);
    if (f == nullptr || info.result != RarHeaderResult::Ok) {
        ClearGeometry();
        Port().MessageBox(kBadArchive, kCaption, MB_ICONERROR_);
        return false;
    }
    volumeDataSize = info.volumeDataSize;
    unpackedSize = info.unpackedSize;
    if (info.largeFile) {
        std::fputs("file > 2GB\n", stdout);
        std::fflush(stdout);
    }
    if (!info.stored)
        Port().MessageBox(kBadMethod, kCaption, MB_ICONERROR_);
    dataOffset = info.dataOffset;
    stored = info.stored;
    return true;
}

bool RarVolumeSet::OpenSet(const std::string& name) {
    auto lock = Lock();
    if (!isRarFileName(name.c_str()) || !raropen())
        return false;
    rarseek(0);
    return true;
}

int64_t RarVolumeSet::numerpliku(int64_t pos) const {
    auto lock = Lock();
    return volumeDataSize > 0 ? pos / volumeDataSize : 0;
}

int64_t RarVolumeSet::seekinpart(int64_t pos) const {
    auto lock = Lock();
    return volumeDataSize > 0 ? pos % volumeDataSize + dataOffset : 0;
}

int64_t RarVolumeSet::pozostalo(int64_t pos) const {
    auto lock = Lock();
    return volumeDataSize > 0 ? volumeDataSize - pos % volumeDataSize : 0;
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
