#include "online/sevenzip.h"

#include "online/cancel.h"
#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int kPollMs = 20;
constexpr int kExitNotStarted = 127; // the child's status when the program cannot be run

using Clock = std::chrono::steady_clock;

// Runs 7zz with its standard output read into `out` (at most `limit` bytes); its messages
// go nowhere, so they can never be taken for data.
// The password goes to 7zz's prompt on its standard input, never into its argv: any local user
// reads a command line. One line, then the end of the input, so a second prompt (a wrong
// password) ends at once.
SevenZipRun RunTool(const std::vector<std::string>& args, const std::string& password, size_t limit,
                    std::string* out, int timeLimitMs) {
    out->clear();
    SpawnOptions options;
    options.argv = {SevenZipTool()};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.pipeStdin = true;
    options.pipeOutput = true;
    options.quietStderr = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return SevenZipRun::Missing;
    // A password line is far below a pipe's buffer: written at once, even without blocking. A
    // 7zz that has already ended (not started, or nothing to ask) makes it fail harmlessly: its
    // exit status tells what happened.
    IgnoreSigPipe();
    std::string line = password + "\n";
    (void)!write(child.stdinFd, line.data(), line.size());
    close(child.stdinFd);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeLimitMs);
    SevenZipRun stopped = SevenZipRun::Done;
    char buffer[65536];
    for (;;) {
        if (CurrentExchangeCancelled() || Clock::now() > deadline) {
            stopped = SevenZipRun::Interrupted;
            break;
        }
        pollfd p{child.outputFd, POLLIN, 0};
        int ready = poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) {
            stopped = SevenZipRun::Failed;
            break;
        }
        if (ready <= 0)
            continue;
        ssize_t n = read(child.outputFd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // the end of the output (or a broken pipe: the status tells)
        if (out->size() + size_t(n) > limit) {
            stopped = SevenZipRun::TooLarge;
            break;
        }
        out->append(buffer, size_t(n));
    }
    close(child.outputFd);
    if (stopped != SevenZipRun::Done) {
        KillProcess(child.pid, 100);
        out->clear();
        return stopped;
    }
    int status = 0;
    while (!WaitProcess(child.pid, kPollMs, &status)) {
        if (CurrentExchangeCancelled() || Clock::now() > deadline) {
            KillProcess(child.pid, 100);
            out->clear();
            return SevenZipRun::Interrupted;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kExitNotStarted) {
        out->clear();
        return SevenZipRun::Missing;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        out->clear();
        return SevenZipRun::Failed;
    }
    return SevenZipRun::Done;
}

bool ParseSize(const std::string& text, uint64_t* size) {
    if (text.empty() || text.size() > 20)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        uint64_t next = value * 10 + uint64_t(c - '0');
        if (next / 10 != value)
            return false;
        value = next;
    }
    *size = value;
    return true;
}

// Reads "Attributes = <windows letters> <unix mode>" ("A -rw-r--r--", "D drwxr-xr-x").
void ReadAttributes(const std::string& value, SevenZipEntry* e) {
    size_t blank = value.find(' ');
    std::string windows = value.substr(0, blank);
    if (windows.find('D') != std::string::npos)
        e->folder = true;
    if (blank == std::string::npos)
        return;
    std::string mode = value.substr(blank + 1);
    if (mode.empty())
        return;
    if (mode[0] == 'd')
        e->folder = true;
    else if (mode[0] == 'l')
        e->link = true;
}
} // namespace

std::string SevenZipTool() {
    const char* tool = std::getenv("QUORVAN_7ZZ");
    return tool != nullptr && *tool != '\0' ? tool : "7zz";
}

bool ParseSevenZipListing(const std::string& text, SevenZipListing* listing) {
    *listing = SevenZipListing();
    bool inArchive = false, inEntries = false, haveArchive = false;
    SevenZipEntry entry;
    bool haveEntry = false;
    auto finish = [&] {
        if (haveEntry)
            listing->entries.push_back(entry);
        entry = SevenZipEntry();
        haveEntry = false;
    };
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "--" && !inEntries) {
            inArchive = true;
            continue;
        }
        if (line == "----------") {
            finish();
            inArchive = false;
            inEntries = true;
            continue;
        }
        if (line.empty()) {
            if (inEntries)
                finish();
            continue;
        }
        size_t eq = line.find(" = ");
        std::string key = line.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : line.substr(eq + 3);
        if (eq == std::string::npos && line.size() > 2 && line.substr(line.size() - 2) == " =")
            key = line.substr(0, line.size() - 2);
        if (inArchive) {
            if (key == "Type") {
                listing->type = value;
                haveArchive = true;
            }
            continue;
        }
        if (!inEntries)
            continue;
        haveEntry = true;
        if (key == "Path")
            entry.path = value;
        else if (key == "Size")
            entry.sizeKnown = ParseSize(value, &entry.size);
        else if (key == "Folder")
            entry.folder = entry.folder || value == "+";
        else if (key == "Attributes")
            ReadAttributes(value, &entry);
        else if ((key == "Symbolic Link" || key == "Hard Link" || key == "Link") && !value.empty())
            entry.link = true;
    }
    finish();
    return haveArchive;
}

SevenZipRun ListSevenZip(const std::string& archive, const std::string& password,
                         SevenZipListing* listing, size_t outputLimit, int timeLimitMs) {
    std::string text;
    SevenZipRun run =
        RunTool({"l", "-slt", "-bd", "--", archive}, password, outputLimit, &text, timeLimitMs);
    if (run != SevenZipRun::Done)
        return run;
    return ParseSevenZipListing(text, listing) ? SevenZipRun::Done : SevenZipRun::Failed;
}

SevenZipRun ExtractSevenZipMember(const std::string& archive, const std::string& password,
                                  const std::string& member, size_t limit, std::string* bytes,
                                  int timeLimitMs) {
    // "-spd": the name is a name, not a wildcard; "--": nothing after it is a switch.
    return RunTool({"e", "-so", "-bd", "-spd", "--", archive, member}, password, limit, bytes,
                   timeLimitMs);
}
