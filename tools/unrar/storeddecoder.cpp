// Stored files come straight from the volumes: the scan knows where every piece lies, so each
// piece is copied and its CRC compared when its last byte went by, and a cut volume ends the
// output at its last byte instead of running into the next volume's headers.
#include "platform/fdio.h"
#include "tools/unrar/decoders.h"
#include "tools/unrar/filecheck.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr size_t kChunk = 1 << 20;

// Why a file's pieces stop before the file does.
int PiecesRunOut(DecodeContext& context, const ScanFile& file) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
    if (scan.damagedVolume >= 0) {
        *context.message = "Cannot extract " + file.name + ": a header in volume " +
                           request.volumes[size_t(scan.damagedVolume)] +
                           " is damaged (it fails its CRC)";
        return kUnrarDamaged;
    }
    if (scan.shortVolume < 0 && !request.nextVolume.empty()) {
        *context.message =
            "Cannot extract " + file.name + ": volume " + request.nextVolume + " is missing";
        return kUnrarDamaged;
    }
    return FileFailure(context, &file, file.name, "Data missing");
}

int CopyFile(DecodeContext& context, const ScanFile& file, std::vector<char>& buffer) {
    const ExtractRequest& request = *context.request;
    FileCheck whole(&file);
    int fd = -1;
    size_t openVolume = SIZE_MAX;
    auto closeVolume = [&] {
        if (fd >= 0)
            close(fd);
        fd = -1;
    };
    for (const ScanPiece& piece : file.pieces) {
        if (piece.volume != openVolume) {
            closeVolume();
            fd = OpenRegularFile(request.volumes[piece.volume]);
            openVolume = piece.volume;
            if (fd < 0) {
                *context.message =
                    "Cannot open " + request.volumes[piece.volume] + ": " + std::strerror(errno);
                return kUnrarOpen;
            }
        }
        uLong crc = crc32(0L, Z_NULL, 0);
        uint64_t done = 0;
        while (done < piece.present) {
            size_t want = size_t(std::min<uint64_t>(buffer.size(), piece.present - done));
            ssize_t n = pread(fd, buffer.data(), want, off_t(piece.dataAt + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                closeVolume();
                return FileFailure(context, &file, file.name, "Read error");
            }
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), uInt(n));
            whole.Feed(buffer.data(), size_t(n));
            if (!WriteAllBlocking(context.outFd, buffer.data(), size_t(n))) {
                closeVolume();
                *context.message = std::string("Cannot write the output: ") + std::strerror(errno);
                return kUnrarWrite;
            }
            done += uint64_t(n);
        }
        if (piece.present < piece.size) {
            closeVolume();
            return FileFailure(context, &file, file.name, "Data missing");
        }
        // A piece continued in the next volume carries its own CRC (RAR 1.5-5 alike).
        if (piece.hasCrc && piece.splitAfter && uint32_t(crc) != piece.crc) {
            closeVolume();
            *context.message = "CRC error in " + file.name + " (volume " +
                               request.volumes[piece.volume] + "): the data is damaged";
            return kUnrarDamaged;
        }
    }
    closeVolume();
    if (file.pieces.empty() || file.pieces.back().splitAfter)
        return PiecesRunOut(context, file);
    std::string wrong = whole.Finish();
    if (!wrong.empty()) {
        std::string volume = request.volumes[file.pieces.back().volume];
        *context.message = (wrong.find("error") != std::string::npos ? wrong : "Size error") +
                           " in " + file.name + " (volume " + volume + "): the data is damaged";
        return kUnrarDamaged;
    }
    return kUnrarOk;
}

} // namespace

int ExtractStored(DecodeContext& context) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
    std::vector<char> buffer(kChunk);
    for (const ScanFile& file : scan.files) {
        if (file.directory || file.link || !MatchesMasks(request.masks, file.name))
            continue;
        if (int rc = CopyFile(context, file, buffer); rc != kUnrarOk)
            return rc;
        ++context.extracted;
    }
    if (scan.complete)
        return kUnrarOk;
    // The walk stopped early: what follows the damage is unknown.
    if (scan.damagedVolume >= 0) {
        *context.message = "Cannot extract the rest of " + request.volumes.front() +
                           ": a header in volume " + request.volumes[size_t(scan.damagedVolume)] +
                           " is damaged (it fails its CRC)";
        return kUnrarDamaged;
    }
    if (scan.shortVolume >= 0) {
        *context.message = "Cannot extract the rest of " + request.volumes.front() + ": volume " +
                           request.volumes[size_t(scan.shortVolume)] +
                           " is cut short (damaged, or its download is unfinished)";
        return kUnrarDamaged;
    }
    *context.message = "Cannot read the headers of " + request.volumes.front();
    return kUnrarFatal;
}
