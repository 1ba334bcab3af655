// Stored files come straight from the volumes: the scan knows where every piece lies, so each
// piece is copied and its CRC compared when its last byte went by, and a cut volume ends the
// output at its last byte instead of running into the next volume's headers. An encrypted
// stored file is one AES-CBC stream over all its pieces (the split falls anywhere, the chain
// goes on into the next volume), padded to whole blocks: exactly its size is written.
#include "platform/fdio.h"
#include "tools/unrar/decoders.h"
#include "tools/unrar/filecheck.h"
#include "tools/unrar/rarcrypt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>
#include <zlib.h>

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

bool PieceCrcMatches(const ScanPiece& piece, uint32_t crc, const Decryption& decryption) {
    if (!piece.hasCrc || !piece.splitAfter)
        return true;
    return crc == piece.crc ||
           (decryption.hashKey != nullptr && Rar5KeyedCrc(crc, *decryption.hashKey) == piece.crc);
}

int WholeFileFailure(DecodeContext& context, const ScanFile& file, const std::string& wrong,
                     bool maybePassword) {
    const std::string& volume = context.request->volumes[file.pieces.back().volume];
    *context.message = (wrong.find("error") != std::string::npos ? wrong : "Size error") + " in " +
                       file.name + " (volume " + volume + "): the data is damaged" +
                       (maybePassword ? " or the password is wrong" : "");
    return maybePassword ? kUnrarPassword : kUnrarDamaged;
}

int StartDecryption(DecodeContext& context, const ScanFile& file, Decryption* decryption) {
    if (context.request->password.empty() || context.keys == nullptr)
        return PasswordFailure(context, file.name);
    const ScanCrypto& crypto = file.crypto;
    if (crypto.cipher == Cipher::Rar3Aes) {
        const Rar3Key& key = context.keys->Rar3(crypto.salt);
        decryption->cbc =
            std::make_unique<CbcStream>(key.key.data(), key.key.size(), key.iv.data(), true);
        return kUnrarOk;
    }
    const Rar5Keys& key = context.keys->Rar5(crypto.salt, crypto.lg2Count);
    if (crypto.hasCheck && Rar5CheckValueIntact(crypto.check.data())) {
        if (std::memcmp(key.check.data(), crypto.check.data(), key.check.size()) != 0)
            return PasswordFailure(context, file.name, true);
        decryption->passwordChecked = true;
    }
    decryption->cbc =
        std::make_unique<CbcStream>(key.key.data(), key.key.size(),
                                    reinterpret_cast<const unsigned char*>(crypto.iv.data()), true);
    if (crypto.keyedChecksums)
        decryption->hashKey = &key.hashKey;
    return kUnrarOk;
}

namespace {

constexpr size_t kChunk = 1 << 20;

} // namespace

int CopyStoredFile(DecodeContext& context, const ScanFile& file, std::vector<char>& buffer) {
    const ExtractRequest& request = *context.request;
    Decryption decryption;
    if (file.encrypted)
        if (int rc = StartDecryption(context, file, &decryption); rc != kUnrarOk)
            return rc;
    FileCheck whole(&file, decryption.hashKey);
    std::string plain;    // decrypted bytes of the current block of an encrypted file
    uint64_t written = 0; // bytes of the file written (the padding of encrypted files is not)
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
            const char* out = buffer.data();
            size_t outSize = size_t(n);
            if (decryption.cbc) {
                plain.clear();
                decryption.cbc->Feed(buffer.data(), size_t(n), &plain);
                out = plain.data();
                outSize = size_t(std::min<uint64_t>(plain.size(), file.unpackedSize - written));
            }
            whole.Feed(out, outSize);
            written += outSize;
            if (!WriteAllBlocking(context.outFd, out, outSize)) {
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
        if (!PieceCrcMatches(piece, uint32_t(crc), decryption)) {
            closeVolume();
            *context.message = "CRC error in " + file.name + " (volume " +
                               request.volumes[piece.volume] + "): the data is damaged";
            return kUnrarDamaged;
        }
    }
    closeVolume();
    if (file.pieces.empty() || file.pieces.back().splitAfter)
        return PiecesRunOut(context, file);
    if (decryption.cbc && decryption.cbc->pending() != 0) {
        *context.message = "Cannot extract " + file.name + " (volume " +
                           request.volumes[file.pieces.back().volume] +
                           "): its encrypted data does not end on a whole block (damaged)";
        return kUnrarDamaged;
    }
    // Without a check value a wrong password shows only here (RAR 2.9-4.x).
    if (std::string wrong = whole.Finish(); !wrong.empty())
        return WholeFileFailure(context, file, wrong,
                                file.encrypted && !decryption.passwordChecked);
    return kUnrarOk;
}

int ExtractStored(DecodeContext& context) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
    std::vector<char> buffer(kChunk);
    for (const ScanFile& file : scan.files) {
        if (file.directory || file.link || !MatchesMasks(request.masks, file.name))
            continue;
        if (int rc = CopyStoredFile(context, file, buffer); rc != kUnrarOk)
            return rc;
        ++context.extracted;
    }
    return ScanEndFailure(context);
}

int ScanEndFailure(DecodeContext& context) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
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
