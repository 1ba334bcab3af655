// Compressed files through our own decompressors. The packed bytes come from the pieces the
// header walk found, volume after volume, through our own AES where the file is encrypted, so
// that an encrypted compressed set is unpacked without any other program seeing the password.
// A solid set is one stream of state: every file up to the last one asked for is unpacked in
// order, those not asked for into nothing.
#include "platform/fdio.h"
#include "tools/unrar/decoders.h"
#include "tools/unrar/filecheck.h"
#include "tools/unrar/unpack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

namespace {

// RAR 2.9-4.x windows reach 4 MiB; RAR5 ones are as large as the header says, up to what we
// are willing to allocate.
constexpr uint64_t kMaxRar29Window = uint64_t(4) << 20;
constexpr uint64_t kMaxRar5Window = uint64_t(1) << 30;

bool IsRar29(const ScanFile& file) {
    return file.rar5Algorithm < 0 && (file.version == 29 || file.version == 36);
}

bool IsRar5(const ScanFile& file) {
    return file.rar5Algorithm == 0;
}

// The packed bytes of one file, decrypted, across its volumes. A read error or a piece whose
// CRC fails ends the data early; the decompressor then stops, and `rc` says why.
class PieceSource : public PackedSource {
  public:
    PieceSource(DecodeContext& context, const ScanFile& file, Decryption& decryption)
        : context_(context), file_(file), decryption_(decryption) {}
    ~PieceSource() override { CloseVolume(); }

    size_t Read(unsigned char* to, size_t size) override {
        while (plainAt_ == plain_.size()) {
            if (rc_ != kUnrarOk || !Advance())
                return 0;
        }
        size_t n = std::min(size, plain_.size() - plainAt_);
        std::memcpy(to, plain_.data() + plainAt_, n);
        plainAt_ += n;
        return n;
    }
    int rc() const { return rc_; }
    // Every piece was read to its end and checked.
    bool finished() const { return piece_ == file_.pieces.size(); }

  private:
    // Reads the next chunk of the current piece into plain_; false at the end of the pieces.
    bool Advance() {
        plain_.clear();
        plainAt_ = 0;
        while (piece_ < file_.pieces.size()) {
            const ScanPiece& piece = file_.pieces[piece_];
            if (done_ == 0 && !OpenVolume(piece))
                return false;
            if (done_ < piece.present) {
                size_t want = size_t(std::min<uint64_t>(sizeof(chunk_), piece.present - done_));
                ssize_t n = pread(fd_, chunk_, want, off_t(piece.dataAt + done_));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    rc_ = FileFailure(context_, &file_, file_.name, "Read error");
                    return false;
                }
                crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(chunk_), uInt(n));
                done_ += uint64_t(n);
                if (decryption_.cbc)
                    decryption_.cbc->Feed(chunk_, size_t(n), &plain_);
                else
                    plain_.assign(chunk_, size_t(n));
                if (!plain_.empty())
                    return true;
                continue;
            }
            if (!FinishPiece(piece))
                return false;
            ++piece_;
            done_ = 0;
            crc_ = crc32(0L, Z_NULL, 0);
        }
        return false;
    }

    bool OpenVolume(const ScanPiece& piece) {
        if (piece.volume == openVolume_)
            return true;
        CloseVolume();
        const std::string& path = context_.request->volumes[piece.volume];
        fd_ = OpenRegularFile(path);
        if (fd_ < 0) {
            *context_.message = "Cannot open " + path + ": " + std::strerror(errno);
            rc_ = kUnrarOpen;
            return false;
        }
        openVolume_ = piece.volume;
        return true;
    }

    // A piece cut short ends the data; a piece continued in the next volume carries the CRC of
    // its bytes as they lie in the volume (keyed or not where an encrypted file's sums are).
    bool FinishPiece(const ScanPiece& piece) {
        if (piece.present < piece.size) {
            rc_ = FileFailure(context_, &file_, file_.name, "Data missing");
            return false;
        }
        if (!PieceCrcMatches(piece, uint32_t(crc_), decryption_)) {
            *context_.message = "CRC error in " + file_.name + " (volume " +
                                context_.request->volumes[piece.volume] + "): the data is damaged" +
                                (file_.encrypted ? " or the password is wrong" : "");
            rc_ = file_.encrypted ? kUnrarPassword : kUnrarDamaged;
            return false;
        }
        return true;
    }

    void CloseVolume() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        openVolume_ = SIZE_MAX;
    }

    DecodeContext& context_;
    const ScanFile& file_;
    Decryption& decryption_;
    int rc_ = kUnrarOk;
    size_t piece_ = 0;
    uint64_t done_ = 0; // bytes of the current piece read
    uLong crc_ = crc32(0L, Z_NULL, 0);
    int fd_ = -1;
    size_t openVolume_ = SIZE_MAX;
    char chunk_[1 << 16];
    std::string plain_;
    size_t plainAt_ = 0;
};

uint64_t LargestWindow(const ArchiveScan& scan, bool rar5) {
    uint64_t largest = 0;
    for (const ScanFile& f : scan.files)
        if (f.compressed && (rar5 ? IsRar5(f) : IsRar29(f)))
            largest = std::max(largest, f.dictionary);
    return largest;
}

int UnpackFile(DecodeContext& context, Unpacker& unpacker, const ScanFile& file, bool wanted) {
    Decryption decryption;
    if (file.encrypted)
        if (int rc = StartDecryption(context, file, &decryption); rc != kUnrarOk)
            return rc;
    FileCheck whole(&file, decryption.hashKey);
    PieceSource source(context, file, decryption);
    bool writeFailed = false;
    UnpackSink sink = [&](const unsigned char* data, size_t size) {
        const char* bytes = reinterpret_cast<const char*>(data);
        whole.Feed(bytes, size);
        if (wanted && !WriteAllBlocking(context.outFd, bytes, size)) {
            writeFailed = true;
            return false;
        }
        return true;
    };
    std::string error;
    bool unpacked = unpacker.Unpack(source, file.unpackedSize, file.solidContinues, sink, &error);
    if (writeFailed) {
        *context.message = std::string("Cannot write the output: ") + std::strerror(errno);
        return kUnrarWrite;
    }
    if (source.rc() != kUnrarOk)
        return source.rc();
    const bool maybePassword = file.encrypted && !decryption.passwordChecked;
    if (!unpacked) {
        if (file.pieces.empty() || file.pieces.back().splitAfter)
            return PiecesRunOut(context, file);
        std::string volume = context.request->volumes[file.pieces.back().volume];
        *context.message = "Cannot unpack " + file.name + " (volume " + volume + "): " + error +
                           (maybePassword ? " (the data is damaged or the password is wrong)"
                                          : " (the data is damaged)");
        return maybePassword ? kUnrarPassword : kUnrarDamaged;
    }
    if (std::string wrong = whole.Finish(); !wrong.empty())
        return WholeFileFailure(context, file, wrong, maybePassword);
    return kUnrarOk;
}

} // namespace

bool OwnUnpacks(const ScanFile& file) {
    return file.compressed && (IsRar29(file) || IsRar5(file));
}

int ExtractOwn(DecodeContext& context) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
    std::vector<char> buffer(1 << 20);
    std::unique_ptr<Unpacker> rar29, rar5;
    auto wanted = [&](const ScanFile& f) {
        return !f.directory && !f.link && MatchesMasks(request.masks, f.name);
    };
    for (size_t i = 0; i < scan.files.size(); ++i) {
        const ScanFile& file = scan.files[i];
        if (file.directory || file.link)
            continue;
        if (!file.compressed) {
            if (!wanted(file))
                continue;
            if (int rc = CopyStoredFile(context, file, buffer); rc != kUnrarOk)
                return rc;
            ++context.extracted;
            continue;
        }
        // A file not asked for is unpacked only when a later one goes on from its state.
        bool needed = wanted(file);
        for (size_t j = i + 1; !needed && j < scan.files.size(); ++j) {
            const ScanFile& next = scan.files[j];
            if (!next.compressed || next.directory || next.link)
                continue;
            if (!next.solidContinues)
                break;
            needed = wanted(next);
        }
        if (!needed)
            continue;
        if (!OwnUnpacks(file)) {
            *context.message = "Cannot unpack " + file.name + ": its compression (version " +
                               std::to_string(file.version) +
                               ") is not one binary/unrar unpacks itself";
            return kUnrarFatal;
        }
        std::unique_ptr<Unpacker>& unpacker = IsRar5(file) ? rar5 : rar29;
        if (!unpacker) {
            uint64_t window = LargestWindow(scan, IsRar5(file));
            uint64_t limit = IsRar5(file) ? kMaxRar5Window : kMaxRar29Window;
            if (window > limit) {
                *context.message = "Cannot unpack " + file.name + ": its window of " +
                                   std::to_string(window >> 20) + " MiB is larger than " +
                                   std::to_string(limit >> 20) + " MiB";
                return kUnrarFatal;
            }
            unpacker =
                IsRar5(file) ? MakeRar5Unpacker(size_t(window)) : MakeRar29Unpacker(size_t(window));
        }
        if (int rc = UnpackFile(context, *unpacker, file, wanted(file)); rc != kUnrarOk)
            return rc;
        if (wanted(file))
            ++context.extracted;
    }
    return ScanEndFailure(context);
}
