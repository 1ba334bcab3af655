// Compressed RAR5 sets through libarchive, which reads them exactly (measured over the public
// test archives); each file's bytes are checked against the scan as they stream by.
#include "platform/fdio.h"
#include "tools/unrar/decoders.h"
#include "tools/unrar/filecheck.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// libarchive reads a volume set as one stream of "client" data blocks; each volume is one
// client. We serve them ourselves (rather than archive_read_open_filenames) to know when the
// reader ran off the end of the last volume we have: that is the missing-volume case. No seek
// callback: skipping a file across volumes by seeking goes wrong in the library, reading
// through it does not (and a pipe to a player never seeks anyway).
struct VolumeSet;
struct VolumeClient {
    VolumeSet* set = nullptr;
    size_t index = 0;
    int fd = -1;
};

struct VolumeSet {
    std::vector<VolumeClient> clients;
    std::vector<char> buffer = std::vector<char>(1 << 18);
    bool endOfLastVolume = false;
    std::string openError;
    const std::vector<std::string>* names = nullptr;
};

int OpenClient(struct archive* a, void* data) {
    auto* c = static_cast<VolumeClient*>(data);
    if (c->fd >= 0)
        return ARCHIVE_OK;
    const std::string& name = (*c->set->names)[c->index];
    c->fd = OpenRegularFile(name); // a FIFO in place of a volume must not block
    if (c->fd < 0) {
        c->set->openError = "Cannot open " + name + ": " + std::strerror(errno);
        archive_set_error(a, errno, "%s", c->set->openError.c_str());
        return ARCHIVE_FATAL;
    }
    return ARCHIVE_OK;
}

int CloseClient(struct archive*, void* data) {
    auto* c = static_cast<VolumeClient*>(data);
    if (c->fd >= 0)
        close(c->fd);
    c->fd = -1;
    return ARCHIVE_OK;
}

la_ssize_t ReadClient(struct archive* a, void* data, const void** block) {
    auto* c = static_cast<VolumeClient*>(data);
    if (c->fd < 0 && OpenClient(a, data) != ARCHIVE_OK)
        return -1;
    VolumeSet* set = c->set;
    for (;;) {
        ssize_t n = read(c->fd, set->buffer.data(), set->buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            archive_set_error(a, errno, "Cannot read %s", (*set->names)[c->index].c_str());
            return -1;
        }
        if (n == 0 && c->index + 1 == set->clients.size())
            set->endOfLastVolume = true;
        *block = set->buffer.data();
        return n;
    }
}

int SwitchClient(struct archive* a, void* from, void* to) {
    if (from != nullptr)
        CloseClient(a, from);
    return to != nullptr ? OpenClient(a, to) : ARCHIVE_OK;
}

struct ArchiveFree {
    void operator()(struct archive* a) const { archive_read_free(a); }
};

// Explains a failure of the reader in the user's terms.
int Failure(struct archive* a, const VolumeSet& set, DecodeContext& context, const char* entryName,
            const ScanFile* file) {
    const ExtractRequest& request = *context.request;
    const char* why = archive_error_string(a);
    std::string what = why != nullptr ? why : "unknown error";
    std::string where = entryName != nullptr ? std::string(entryName) + " in " : "";
    where += request.volumes.front();
    if (!set.openError.empty()) {
        *context.message = set.openError;
        return kUnrarOpen;
    }
    if (context.scan->shortVolume >= 0)
        return FileFailure(context, file, entryName != nullptr ? entryName : where, what);
    if (set.endOfLastVolume && !request.nextVolume.empty()) {
        *context.message = "Cannot extract " + where + ": volume " + request.nextVolume +
                           " is missing (" + what + ")";
        return kUnrarDamaged;
    }
    *context.message = "Cannot extract " + where + ": the archive is damaged (" + what + ")";
    return entryName != nullptr ? kUnrarDamaged : kUnrarFatal;
}

} // namespace

int ExtractWithLibarchive(DecodeContext& context) {
    const ExtractRequest& request = *context.request;
    VolumeSet set;
    set.names = &request.volumes;
    set.clients.resize(request.volumes.size());
    for (size_t i = 0; i < set.clients.size(); ++i)
        set.clients[i] = VolumeClient{&set, i, -1};

    std::unique_ptr<struct archive, ArchiveFree> holder(archive_read_new());
    struct archive* a = holder.get();
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    archive_read_set_open_callback(a, OpenClient);
    archive_read_set_read_callback(a, ReadClient);
    archive_read_set_close_callback(a, CloseClient);
    archive_read_set_switch_callback(a, SwitchClient);
    archive_read_set_callback_data(a, &set.clients[0]);
    for (size_t i = 1; i < set.clients.size(); ++i)
        archive_read_append_callback_data(a, &set.clients[i]);
    if (archive_read_open1(a) != ARCHIVE_OK)
        return Failure(a, set, context, nullptr, nullptr);

    struct archive_entry* entry = nullptr;
    for (size_t entryIndex = 0;; ++entryIndex) {
        int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN)
            return Failure(a, set, context, nullptr, nullptr);
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const char* name = utf8 != nullptr ? utf8 : archive_entry_pathname(entry);
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr)
            continue;
        if (name == nullptr) {
            NoteSkipped(context, "entry " + std::to_string(entryIndex + 1),
                        "its name cannot be read");
            continue;
        }
        if (!MatchesMasks(request.masks, name))
            continue;
        const ScanFile* scanned = ScannedFile(*context.scan, entryIndex, name);
        if (scanned != nullptr && scanned->link)
            continue; // a copy of another file (RAR5 file copies): no bytes of its own
        FileCheck check(scanned);
        auto output = [&](const char* data, size_t n) -> int {
            check.Feed(data, n);
            if (!WriteAllBlocking(context.outFd, data, n)) {
                *context.message = std::string("Cannot write the output: ") + std::strerror(errno);
                return kUnrarWrite;
            }
            return kUnrarOk;
        };
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        la_int64_t written = 0;
        for (;;) {
            r = archive_read_data_block(a, &block, &size, &offset);
            if (r == ARCHIVE_EOF)
                break;
            if (r < ARCHIVE_WARN)
                return Failure(a, set, context, name, scanned);
            // Sparse entries come with gaps: fill them with zeros.
            static const char zeros[65536] = {};
            while (written < offset) {
                size_t n = static_cast<size_t>(
                    std::min<la_int64_t>(offset - written, static_cast<la_int64_t>(sizeof zeros)));
                if (int rc = output(zeros, n); rc != kUnrarOk)
                    return rc;
                written += static_cast<la_int64_t>(n);
            }
            if (int rc = output(static_cast<const char*>(block), size); rc != kUnrarOk)
                return rc;
            written += static_cast<la_int64_t>(size);
        }
        std::string wrong = check.Finish();
        if (!wrong.empty())
            return FileFailure(context, scanned, name, wrong);
        ++context.extracted;
    }
    return kUnrarOk;
}
