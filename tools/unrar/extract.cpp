#include "tools/unrar/extract.h"

#include "platform/fdio.h"
#include "tools/unrar/decoders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fnmatch.h>

bool MatchesMasks(const std::vector<std::string>& masks, const std::string& name) {
    if (masks.empty())
        return true;
    for (std::string mask : masks) {
        std::replace(mask.begin(), mask.end(), '\\', '/');
        if (fnmatch(mask.c_str(), name.c_str(), 0) == 0)
            return true;
    }
    return false;
}

const ScanFile* ScannedFile(const ArchiveScan& scan, size_t index, const std::string& name) {
    if (index < scan.files.size() && scan.files[index].name == name)
        return &scan.files[index];
    return nullptr;
}

void NoteSkipped(DecodeContext& context, const std::string& name, const std::string& why) {
    std::fprintf(stderr, "Not extracted: %s (%s)\n", name.c_str(), why.c_str());
    ++context.skipped;
}

int PasswordFailure(DecodeContext& context, const std::string& name, bool certain) {
    const ExtractRequest& request = *context.request;
    *context.message = "Cannot extract " + name + " in " + request.volumes.front() +
                       ": the file is encrypted and " +
                       (request.password.empty() ? "no password was given"
                        : certain                ? "the password is wrong"
                                  : "the password is wrong (or the data is damaged)");
    return kUnrarPassword;
}

int FileFailure(DecodeContext& context, const ScanFile* file, const std::string& name,
                const std::string& what) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
    bool runsOn = !scan.files.empty() && !scan.files.back().pieces.empty() &&
                  scan.files.back().pieces.back().splitAfter;
    if (scan.shortVolume < 0 && runsOn && !request.nextVolume.empty()) {
        *context.message = "Cannot extract " + name + ": volume " + request.nextVolume +
                           " is missing (" + what + ")";
        return kUnrarDamaged;
    }
    if (scan.shortVolume >= 0) {
        *context.message = "Cannot extract " + name + ": volume " +
                           request.volumes[size_t(scan.shortVolume)] +
                           " is cut short (damaged, or its download is unfinished)";
        return kUnrarDamaged;
    }
    std::string volume = request.volumes.front();
    if (file != nullptr && !file->pieces.empty())
        volume = request.volumes[file->pieces.back().volume];
    *context.message = what + " in " + name + " (volume " + volume + "): the data is damaged" +
                       (file != nullptr && file->encrypted ? " or the password is wrong" : "");
    return file != nullptr && file->encrypted ? kUnrarPassword : kUnrarDamaged;
}

namespace {

// Which way the set's files come out: measured over the public RAR test archives (README).
enum class Way { Stored, Own, Libarchive, Unar };

Way Choose(const ExtractRequest& request, const ArchiveScan& scan) {
    // For measuring the decoders against each other (bench/): one way for every file.
    if (const char* forced = std::getenv("QUORVAN_UNRAR_DECODER")) {
        if (std::strcmp(forced, "libarchive") == 0)
            return Way::Libarchive;
        if (std::strcmp(forced, "unar") == 0)
            return Way::Unar;
        if (std::strcmp(forced, "own") == 0 && scan.format != 0)
            return Way::Own;
    }
    if (scan.format == 0)
        return Way::Unar;
    bool plainOnly = true, encrypted = false, ownDecrypts = true, ownUnpacks = true;
    for (const ScanFile& f : scan.files) {
        if (f.directory || f.link)
            continue;
        // A solid set's files are unpacked in order, also those not asked for.
        if (f.compressed)
            ownUnpacks = ownUnpacks && OwnUnpacks(f);
        if (!MatchesMasks(request.masks, f.name))
            continue;
        // Stored files encrypted with AES are decrypted by our own copy.
        plainOnly = plainOnly && (f.Plain() || f.StoredEncrypted());
        encrypted = encrypted || (f.encrypted && !f.StoredEncrypted());
        // Compressed files encrypted with AES are decrypted and unpacked by our own code, so
        // that no other program is handed the password.
        if (f.encrypted && !f.StoredEncrypted())
            ownDecrypts =
                ownDecrypts && OwnUnpacks(f) &&
                (f.crypto.cipher == Cipher::Rar3Aes || f.crypto.cipher == Cipher::Rar5Aes);
    }
    if (encrypted && ownDecrypts && (!scan.headersEncrypted || scan.headersDecrypted))
        return Way::Own;
    // Headers our walk cannot vouch for (damage, or the old formats' comment blocks) go to the
    // decoder, which knows the old layouts; the scan still names a cut volume.
    // Encrypted headers: read here with the password, or only by unar.
    if (scan.headersEncrypted && !scan.headersDecrypted)
        return Way::Unar;
    const bool walkedWhole = scan.damagedVolume < 0 && (scan.complete || scan.shortVolume >= 0);
    if (plainOnly && walkedWhole)
        return Way::Stored;
    // Compressed RAR 2.9-4.x and RAR5 files: our own decompressors extract every public set
    // of those formats exactly, and faster than unar.
    if (!encrypted && ownUnpacks && walkedWhole)
        return Way::Own;
    if (scan.headersEncrypted)
        return Way::Unar;
    if (encrypted || scan.format == 4)
        return Way::Unar;
    return Way::Libarchive;
}

} // namespace

int ExtractFiles(const ExtractRequest& request, int outFd, std::string* message) {
    if (request.volumes.empty()) {
        *message = "No archive given";
        return kUnrarOpen;
    }
    RarKeys keys(request.password);
    ArchiveScan scan = ScanArchive(request.volumes, &keys);
    int sfx = scan.format == 0 ? EmbeddedRarFormat(request.volumes.front()) : 0;
    if (scan.format == 0 && sfx == 0) {
        *message = "Cannot extract " + request.volumes.front() + ": it is no RAR archive";
        return kUnrarFatal;
    }
    DecodeContext context{&request, &scan, outFd, message};
    context.keys = &keys;
    // The file list is encrypted: without the password that opens it nothing can be named.
    if (scan.headersEncrypted && (request.password.empty() || scan.wrongPassword))
        return PasswordFailure(context, "the file list", true);
    int rc = kUnrarOk;
    // A self-extracting module before the archive: RAR5 ones libarchive reads, older ones unar.
    Way way = sfx == 5 ? Way::Libarchive : Choose(request, scan);
    switch (way) {
    case Way::Stored:
        rc = ExtractStored(context);
        break;
    case Way::Own:
        rc = ExtractOwn(context);
        break;
    case Way::Libarchive:
        rc = ExtractWithLibarchive(context);
        break;
    case Way::Unar:
        rc = ExtractWithUnar(context);
        break;
    }
    if (rc != kUnrarOk)
        return rc;
    if (context.skipped > 0) {
        *message = std::to_string(context.skipped) + " file(s) of " + request.volumes.front() +
                   " not extracted (named above)";
        return kUnrarSkipped;
    }
    if (context.extracted == 0) {
        *message = "No files to extract in " + request.volumes.front();
        return kUnrarNoFiles;
    }
    return kUnrarOk;
}
