// Compressed RAR 1.5-4.x files, and encrypted files, through unar (Debian package unar): it
// decodes the RAR 1.5-4.x methods exactly where libarchive 3.6.2 does not, and it decrypts.
// unar writes a file to standard output with "-o -" but then says nothing when a file fails
// (no message, exit 0), so every file is checked here: lsar lists the sizes and CRCs first,
// and each file's bytes are counted and summed as they go to the player.
#include "platform/fdio.h"
#include "tools/unrar/decoders.h"
#include "tools/unrar/filecheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

extern char** environ;

namespace {

struct Child {
    int status = -1;           // exit status, -1 when it could not start or was killed
    std::string errors;        // its standard error
    bool outputFailed = false; // our own output could not be written
};

// Runs argv with its standard output handed to `sink` block by block; stderr is kept.
Child Run(const std::vector<std::string>& argv,
          const std::function<bool(const char*, size_t)>& sink) {
    Child child;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return child;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return child;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        child.errors = argv[0] + ": " + std::strerror(spawned);
        return child;
    }
    std::vector<char> buffer(1 << 18);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (pollfd& p : fds) {
            if (p.fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            ssize_t n = read(p.fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                close(p.fd);
                p.fd = -1;
                --open;
                continue;
            }
            if (p.fd == out[0]) {
                if (!child.outputFailed && !sink(buffer.data(), size_t(n))) {
                    child.outputFailed = true;
                    kill(pid, SIGTERM); // nothing more is wanted from it
                }
            } else if (child.errors.size() < 65536) {
                child.errors.append(buffer.data(), size_t(n));
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0)
            close(p.fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return child;
}

std::string FirstLine(const std::string& text) {
    size_t end = text.find('\n');
    return text.substr(0, end);
}

int Flag(const nlohmann::json& entry, const char* key) {
    auto it = entry.find(key);
    return it != entry.end() && it->is_number_integer() ? it->get<int>() : 0;
}

} // namespace

int ExtractWithUnar(DecodeContext& context) {
    const ExtractRequest& request = *context.request;
    const ArchiveScan& scan = *context.scan;
    const std::string& archive = request.volumes.front();
    std::vector<std::string> password;
    if (!request.password.empty())
        password = {"-p", request.password};

    std::string listing;
    std::vector<std::string> lsar = {"lsar", "-j"};
    lsar.insert(lsar.end(), password.begin(), password.end());
    lsar.push_back(archive);
    Child listed = Run(lsar, [&](const char* data, size_t n) {
        listing.append(data, n);
        return listing.size() < (64u << 20);
    });
    nlohmann::json json = nlohmann::json::parse(listing, nullptr, false);
    if (listed.status != 0 || json.is_discarded() || !json.contains("lsarContents") ||
        !json["lsarContents"].is_array()) {
        if (listed.status < 0 && listing.empty() && listed.errors.find("lsar") == 0) {
            *context.message =
                "Cannot extract " + archive + ": " + listed.errors + " (install the package unar)";
            return kUnrarFatal;
        }
        // Headers our own walk opened with the password: unar's failure is not the password's.
        if ((scan.headersEncrypted && !scan.headersDecrypted) ||
            listed.errors.find("password") != std::string::npos ||
            listing.find("password") != std::string::npos)
            return PasswordFailure(context, "the file list");
        if (scan.shortVolume >= 0)
            return FileFailure(context, nullptr, archive, "Cannot list");
        std::string why = FirstLine(listed.errors);
        *context.message = "Cannot extract " + archive + ": the archive is damaged (" +
                           (why.empty() ? "unar finds no archive in it" : why) + ")";
        return kUnrarFatal;
    }

    const nlohmann::json& contents = json["lsarContents"];
    for (size_t i = 0; i < contents.size(); ++i) {
        const nlohmann::json& entry = contents[i];
        if (Flag(entry, "XADIsDirectory") || Flag(entry, "XADIsLink") ||
            Flag(entry, "XADIsHardLink") || Flag(entry, "XADIsResourceFork"))
            continue;
        std::string name = entry.value("XADFileName", std::string());
        if (!MatchesMasks(request.masks, name))
            continue;
        const ScanFile* scanned = ScannedFile(scan, i, name);
        bool encrypted = Flag(entry, "XADIsEncrypted") != 0;
        if (encrypted && request.password.empty())
            return PasswordFailure(context, name);
        bool hasSize = entry.contains("XADFileSize") && entry["XADFileSize"].is_number_unsigned();
        uint64_t size = hasSize ? entry["XADFileSize"].get<uint64_t>() : 0;
        // RAR 1.5-4.x CRCs are of the plain bytes; RAR5 ones of encrypted files are keyed.
        bool hasCrc = entry.contains("RARCRC32") && entry["RARCRC32"].is_number_unsigned();
        if (!hasCrc && entry.contains("RAR5CRC32") && entry["RAR5CRC32"].is_number_unsigned() &&
            !Flag(entry, "RAR5ChecksumsAreEncrypted"))
            hasCrc = true;
        uint32_t crc = hasCrc ? entry.contains("RARCRC32") ? entry["RARCRC32"].get<uint32_t>()
                                                           : entry["RAR5CRC32"].get<uint32_t>()
                              : 0;
        FileCheck check(hasCrc ? nullptr : scanned);
        uLong sum = crc32(0L, Z_NULL, 0);
        std::vector<std::string> unar = {"unar", "-o", "-", "-q", "-nr", "-i"};
        unar.insert(unar.end(), password.begin(), password.end());
        unar.push_back(archive);
        unar.push_back(std::to_string(entry.value("XADIndex", int(i))));
        Child run = Run(unar, [&](const char* data, size_t n) {
            check.Feed(data, n);
            sum = crc32(sum, reinterpret_cast<const Bytef*>(data), uInt(n));
            return WriteAllBlocking(context.outFd, data, n);
        });
        if (run.outputFailed) {
            *context.message = std::string("Cannot write the output: ") + std::strerror(EPIPE);
            return kUnrarWrite;
        }
        std::string wrong;
        if (run.status != 0)
            wrong = "Extraction error (" + FirstLine(run.errors) + ")";
        else if (hasSize && check.bytes() != size)
            wrong = "Size error";
        else if (hasCrc && uint32_t(sum) != crc)
            wrong = "CRC error";
        else if (!hasCrc)
            wrong = check.Finish();
        if (!wrong.empty()) {
            if (encrypted && (check.bytes() == 0 || wrong == "CRC error" || wrong == "Size error"))
                return PasswordFailure(context, name);
            return FileFailure(context, scanned, name, wrong);
        }
        ++context.extracted;
    }
    return kUnrarOk;
}
