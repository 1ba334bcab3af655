#pragma once
// Reading a file stored without compression in a RAR volume set as if it were one file.
// Stored RAR 1.5-4.x sets keep one slice per volume: every volume but the last carries exactly
// `volumeDataSize` bytes of the stored file starting at `dataOffset`, so the volume and the
// offset of any position are computed, not looked up, and only the first volume is parsed.
// RAR5 volumes differ by a byte or so (the first has no volume number, the numbers' vints
// widen), so the headers of the volumes present are read once when the set is opened; volumes
// past the first missing one are assumed to be laid out like the last full one read.
//
// One instance per reader: the process-wide `s` (rarreader.h) serves the windows and the
// upload thread; the player wrapper serves a set with an instance of its own.
//
// Threads: every operation takes `mutex` (recursive). A caller that needs a consistent
// sequence (name, open, rewind, reads, then the fields) holds Lock() across it. The reader's
// message boxes wait until the lock is let go of entirely.
#include "platform/deferringmutex.h"
#include "platform/rarnames.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

constexpr size_t kRarNameBuffer = 5000;

class RarVolumeSet {
  public:
    RarVolumeSet() = default;
    ~RarVolumeSet();
    RarVolumeSet(const RarVolumeSet&) = delete;
    RarVolumeSet& operator=(const RarVolumeSet&) = delete;

    // Geometry of the set last opened and the reading state. Read them under Lock().
    uint64_t unpackedSize = 0;
    int64_t volumeDataSize = 0; // 0 while no geometry is established: reads are refused
    int32_t dataOffset = 0;
    bool stored = false; // method "0", not encrypted: the volumes hold the movie's own bytes
    bool encrypted = false;
    int format = 0; // 4 = RAR 1.5-4.x, 5 = RAR5 (0 while no geometry)
    int64_t position = 0;
    int namingScheme = 0;
    int openVolumeIndex = -1;
    FILE* openVolumeFile = nullptr;
    // Name of the first volume, and the set's printf-style name pattern.
    char rarfilename[kRarNameBuffer] = {};
    char rarfilenamewzorzec[kRarNameBuffer] = {};

    using Guard = std::unique_lock<MessageDeferringMutex>;
    Guard Lock() const;

    // Recognises a first-volume name by its ending and remembers the set (clearing the old
    // geometry). Always closes the volume held open. False, with the names unchanged, for a
    // name with none of the endings or one too long for the name buffers.
    bool isRarFileName(const char* name);
    // Opens the first volume and reads the geometry. An unopenable first volume, a bad
    // signature and no usable file header show the bad-archive message and leave no geometry
    // (false); a compressed file shows the bad-method message and keeps its geometry (true).
    bool raropen();
    // isRarFileName + raropen + rarseek(0) under one lock; false when any step fails.
    bool OpenSet(const std::string& name);

    // Position arithmetic; all three answer 0 while no geometry is established.
    int64_t numerpliku(int64_t pos) const;
    int64_t seekinpart(int64_t pos) const;
    int64_t pozostalo(int64_t pos) const;

    // Fills buffer[0, length) with the stored file's bytes from `pos` on, across volumes.
    // Bytes of a missing volume, and bytes past the end of a volume file, read as zeros.
    // Without geometry, or for a negative position, the buffer is zeroed and false returned.
    bool rarread(char* buffer, int64_t pos, int length);
    void rarseek(int64_t pos);
    // rarread at `position`, which then advances by `length`; always returns `length`.
    int rarreadnic(char* buffer, int length);

    // Reads like rarread but only bytes that really lie in the volumes: stops at the end of
    // the stored file, at a missing volume and at the end of a volume file shorter than its
    // share (a download still running, a damaged copy). Returns the count read (0 without
    // geometry); never supplies zeros in place of movie data.
    int64_t ReadUpToGap(char* buffer, int64_t pos, int64_t length);

    // Where the stored file stops being really there, counted from its start.
    struct Extent {
        uint64_t bytes = 0;       // contiguous bytes from position 0 (unpackedSize when whole)
        int64_t volume = -1;      // the volume where they end, -1 when the set is whole
        std::string name;         // that volume's name
        bool missing = false;     // the volume is not there at all (else it is short)
        uint64_t volumeBytes = 0; // bytes of the stored file that volume has (when short)
    };
    // Walks the volumes from the first, looking at each file's size (no data is read).
    Extent ContiguousExtent();

    // Name of volume k of the set last recognised ("" before any).
    std::string VolumeName(int64_t k) const;
    // Volumes the stored file spans (1 without geometry).
    uint64_t VolumeCount() const;

    // Where volume k holds the stored file: its first position in the file, how many bytes it
    // carries and where they begin in the volume file.
    struct Span {
        uint64_t start = 0;
        uint64_t share = 0;
        int64_t offset = 0;
    };
    Span VolumeSpan(int64_t k) const;

  private:
    // Position `pos` of the stored file: in volume `volume`, at `offset` of its file, with
    // `left` bytes of the volume's share from there on.
    struct Place {
        int64_t volume = 0;
        int64_t offset = 0;
        int64_t left = 0;
    };
    Place Locate(int64_t pos) const;
    bool OpenRar5(const unsigned char* head, size_t length);
    void CloseVolume();
    void ClearGeometry();
    // The open volume file for volume k, opening it (and closing the previous one) when
    // needed; nullptr when the volume cannot be opened under any of its names.
    FILE* VolumeFile(int64_t k);

    mutable MessageDeferringMutex mutex_;
    const RarNamingRule* rule_ = nullptr;
    std::string base_;
    int64_t fileOffset_ = -1; // where the open volume file stands, -1 = unknown
    // RAR5: the volumes read at open, then the layout assumed for the rest.
    std::vector<Span> spans_;
    uint64_t tailShare_ = 0;
    int64_t tailOffset_ = 0;
};

// Opens `name`, else `name` + ".bc!", else `name` + ".!ut" (unfinished downloads), else a file
// of the folder whose name equals one of them without regard to case; "rb". Only regular
// files are opened, and without blocking: a FIFO or a folder in place of a volume is missing.
FILE* OpenRarVolume(const std::string& name);
