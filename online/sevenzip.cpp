#include "online/sevenzip.h"

#include "online/cancel.h"
#include "platform/process.h"

#include <chrono>
#include <cstdlib>
#include <sys/wait.h>

namespace {
constexpr int kPollMs = 20;
constexpr int kExitNotStarted = 127; // the child's status when the program cannot be run

std::string Tool() {
    const char* tool = std::getenv("QUORVAN_7ZZ");
    return tool != nullptr && *tool != '\0' ? tool : "7zz";
}
} // namespace

SevenZipRun RunSevenZip(const std::string& archive, const std::string& folder,
                        const std::string& password, int timeLimitMs) {
    SpawnOptions options;
    // Arguments go to 7zz as they are, no shell: a password or folder name cannot become a
    // command. "-hide" (no progress window) has no place in 7zz and is left out.
    options.argv = {Tool(), "e", archive, "-o" + folder, "*", "-y", "-p" + password};
    options.nullStdio = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return SevenZipRun::Missing;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    int status = 0;
    while (!WaitProcess(child.pid, kPollMs, &status)) {
        if (CurrentExchangeCancelled() || std::chrono::steady_clock::now() > deadline) {
            KillProcess(child.pid, 100);
            return SevenZipRun::Interrupted;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kExitNotStarted)
        return SevenZipRun::Missing;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SevenZipRun::Done : SevenZipRun::Failed;
}
