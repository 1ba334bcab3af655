#include "tools/quorvan/commands.h"

#include "online/moviehash.h"
#include "online/napiprojekttoken.h"
#include "platform/fdio.h"
#include "rar/rarreader.h"
#include "tools/quorvan/jsonwriter.h"

#include <algorithm>
#include <vector>

namespace {
// Sets with more volumes than this are not walked for missing files (a hostile header can
// claim billions of one-byte volumes).
constexpr uint64_t kMaxVolumesChecked = 10000;
constexpr size_t kCatChunk = 1 << 20;

struct SetDescription {
    std::string firstVolume;
    std::string pattern;
    int scheme = 0;
    int32_t dataOffset = 0;
    int64_t share = 0;
    uint64_t storedSize = 0;
    bool stored = false;
    bool encrypted = false;
    int format = 0;
    uint64_t volumes = 0;
    bool checked = false;
    std::vector<std::string> missing;
    // The first volume that has less of the movie than its share (an unfinished download).
    std::string shortVolume;
    uint64_t shortVolumeBytes = 0;
    uint64_t playable = 0; // contiguous bytes of the movie from its start
};

// Reads the geometry of `set` (opened, its lock held by the caller).
SetDescription Describe(RarVolumeSet& set) {
    SetDescription d;
    d.firstVolume = set.rarfilename;
    d.pattern = set.rarfilenamewzorzec;
    d.scheme = set.namingScheme;
    d.dataOffset = set.dataOffset;
    d.share = set.volumeDataSize;
    d.storedSize = set.unpackedSize;
    d.stored = set.stored;
    d.encrypted = set.encrypted;
    d.format = set.format;
    d.volumes = set.VolumeCount();
    d.checked = d.volumes <= kMaxVolumesChecked;
    for (uint64_t k = 0; d.checked && k < d.volumes; ++k) {
        std::string name = set.VolumeName(int64_t(k));
        if (FILE* f = OpenRarVolume(name))
            std::fclose(f);
        else
            d.missing.push_back(name);
    }
    if (d.checked) {
        RarVolumeSet::Extent extent = set.ContiguousExtent();
        d.playable = extent.bytes;
        if (extent.volume >= 0 && !extent.missing) {
            d.shortVolume = extent.name;
            d.shortVolumeBytes = extent.volumeBytes;
        }
    }
    return d;
}

JsonObject ToJson(const SetDescription& d) {
    JsonObject o;
    o.Add("firstVolume", d.firstVolume)
        .Add("namingScheme", d.scheme)
        .Add("namePattern", d.pattern)
        .Add("dataOffset", int64_t(d.dataOffset))
        .Add("volumeShare", d.share)
        .Add("storedSize", d.storedSize)
        .Add("stored", d.stored)
        .Add("encrypted", d.encrypted)
        .Add("format", d.format == 5 ? "RAR5" : "RAR 1.5-4.x")
        .Add("volumes", d.volumes);
    if (d.checked) {
        o.Add("missing", d.missing);
        if (d.shortVolume.empty())
            o.AddNull("shortVolume");
        else
            o.Add("shortVolume", d.shortVolume);
        o.Add("playableBytes", d.playable);
    } else {
        o.AddNull("missing").AddNull("shortVolume").AddNull("playableBytes");
    }
    return o;
}

void PrintText(const SetDescription& d, FILE* out) {
    std::fprintf(out, "first volume: %s\n", d.firstVolume.c_str());
    std::fprintf(out, "naming scheme: %d (%s)\n", d.scheme,
                 d.scheme == 1 ? ".rar .r00 .r01 ..." : "numbered");
    std::fprintf(out, "name pattern: %s\n", d.pattern.c_str());
    std::fprintf(out, "data offset: %d\n", int(d.dataOffset));
    std::fprintf(out, "volume share: %lld\n", static_cast<long long>(d.share));
    std::fprintf(out, "stored size: %llu\n", static_cast<unsigned long long>(d.storedSize));
    std::fprintf(out, "format: %s\n", d.format == 5 ? "RAR5" : "RAR 1.5-4.x");
    std::fprintf(out, "method: %s\n",
                 d.stored ? "store" : (d.encrypted ? "encrypted" : "compressed"));
    std::fprintf(out, "volumes: %llu\n", static_cast<unsigned long long>(d.volumes));
    if (!d.checked)
        std::fprintf(out, "missing volumes: not checked\n");
    for (const std::string& name : d.missing)
        std::fprintf(out, "missing volume: %s\n", name.c_str());
    if (!d.shortVolume.empty())
        std::fprintf(out, "short volume: %s (%llu bytes of the movie, an unfinished download?)\n",
                     d.shortVolume.c_str(), static_cast<unsigned long long>(d.shortVolumeBytes));
    if (d.checked && d.playable < d.storedSize)
        std::fprintf(out, "playable: the first %llu bytes\n",
                     static_cast<unsigned long long>(d.playable));
}

// Any volume's name becomes the first volume's, as the player launch does.
std::string FirstVolume(const std::string& name) {
    std::string first = name;
    ZrobPierwszyPart(first);
    return first;
}

// A FIFO, device, socket or folder given as a movie or volume is refused before anything
// opens it (a FIFO without a writer would block for ever): the exit status, or 0.
int RefuseSpecialFile(const std::string& name) {
    for (const std::string& path : {name, FirstVolume(name)}) {
        std::string kind = SpecialFileKind(path);
        if (!kind.empty()) {
            std::fprintf(stderr, "quorvan: %s is %s, not a movie file or RAR volume\n",
                         path.c_str(), kind.c_str());
            return kExitUnreadable;
        }
    }
    return 0;
}

// Opens the set `s` for `volume` under the caller's lock; complains and gives the exit status
// on failure, 0 when open.
int OpenSetFor(const std::string& volume) {
    if (int status = RefuseSpecialFile(volume))
        return status;
    std::string first = FirstVolume(volume);
    if (FindFirstVolumeRule(first) == nullptr) {
        std::fprintf(stderr, "quorvan: %s is not a RAR volume name\n", volume.c_str());
        return kExitNotASet;
    }
    if (!s.OpenSet(first)) {
        std::fprintf(stderr, "quorvan: cannot read the RAR set of %s\n", volume.c_str());
        return kExitUnreadable;
    }
    return 0;
}
// Tells which volume ends the stored movie early; `at` is where the output stopped.
void ReportGap(const RarVolumeSet::Extent& extent, uint64_t at) {
    if (extent.volume < 0) {
        std::fprintf(stderr, "quorvan: the set could not be read at byte %llu\n",
                     static_cast<unsigned long long>(at));
    } else if (extent.missing) {
        std::fprintf(stderr, "quorvan: volume %s is missing: the stored movie stops at byte %llu\n",
                     extent.name.c_str(), static_cast<unsigned long long>(extent.bytes));
    } else {
        std::fprintf(stderr,
                     "quorvan: volume %s is short (%llu bytes of the movie, an unfinished "
                     "download?): the stored movie stops at byte %llu\n",
                     extent.name.c_str(), static_cast<unsigned long long>(extent.volumeBytes),
                     static_cast<unsigned long long>(extent.bytes));
    }
}
} // namespace

int RunHash(const std::string& movie, bool json, FILE* out) {
    if (int status = RefuseSpecialFile(movie))
        return status;
    std::string name = FirstVolume(movie);
    auto lock = s.Lock();
    MovieHash hash(name);
    if (hash.hashOpenSubtitles.empty()) {
        std::fprintf(stderr, "quorvan: cannot read %s\n", movie.c_str());
        return kExitUnreadable;
    }
    std::string token = GeneratePseudoHashNapiprojekt(hash.hashNapiprojekt);
    bool isSet = FindFirstVolumeRule(name) != nullptr;
    SetDescription set = isSet ? Describe(s) : SetDescription();
    if (json) {
        JsonObject o;
        o.Add("file", name)
            .Add("size", hash.fileSize)
            .Add("opensubtitles", hash.hashOpenSubtitles)
            .Add("napiprojekt", hash.hashNapiprojekt)
            .Add("napiprojektToken", token)
            .Add("napisyinfo", hash.hashNapisyInfo);
        if (isSet)
            o.Add("rar", ToJson(set));
        else
            o.AddNull("rar");
        std::fprintf(out, "%s\n", o.str().c_str());
    } else {
        std::fprintf(out, "file: %s\n", name.c_str());
        std::fprintf(out, "size: %s\n", hash.getfilesize().c_str());
        std::fprintf(out, "opensubtitles: %s\n", hash.hashOpenSubtitles.c_str());
        std::fprintf(out, "napiprojekt: %s\n", hash.hashNapiprojekt.c_str());
        std::fprintf(out, "napiprojekt token: %s\n", token.c_str());
        std::fprintf(out, "napisyinfo: %s\n", hash.hashNapisyInfo.c_str());
        if (isSet)
            PrintText(set, out);
    }
    return std::fflush(out) == 0 ? 0 : kExitUnreadable;
}

int RunRarInfo(const std::string& volume, bool json, FILE* out) {
    auto lock = s.Lock();
    if (int status = OpenSetFor(volume))
        return status;
    SetDescription set = Describe(s);
    if (json)
        std::fprintf(out, "%s\n", ToJson(set).str().c_str());
    else
        PrintText(set, out);
    return std::fflush(out) == 0 ? 0 : kExitUnreadable;
}

int RunCat(const std::string& volume, uint64_t offset, std::optional<uint64_t> length, FILE* out) {
    auto lock = s.Lock();
    if (int status = OpenSetFor(volume))
        return status;
    // Packed or encrypted bytes are not the movie: the reader has said so, nothing is written.
    if (!s.stored) {
        std::fprintf(stderr,
                     "quorvan: the first file of %s is %s: nothing written (stream it with "
                     "binary/unrar)\n",
                     volume.c_str(), s.encrypted ? "encrypted" : "compressed");
        return kExitUnreadable;
    }
    uint64_t size = s.unpackedSize;
    uint64_t from = std::min(offset, size);
    uint64_t left = std::min(length.value_or(size), size - from);
    std::vector<char> buffer(kCatChunk);
    while (left > 0) {
        size_t want = size_t(std::min<uint64_t>(left, buffer.size()));
        // Only bytes that are really there: a missing or short volume ends the output.
        size_t n = size_t(s.ReadUpToGap(buffer.data(), int64_t(from), int64_t(want)));
        if (std::fwrite(buffer.data(), 1, n, out) != n) {
            std::fprintf(stderr, "quorvan: cannot write the output\n");
            return kExitUnreadable;
        }
        from += n;
        left -= n;
        if (n < want) {
            std::fflush(out);
            ReportGap(s.ContiguousExtent(), from);
            return kExitIncomplete;
        }
    }
    return std::fflush(out) == 0 ? 0 : kExitUnreadable;
}
