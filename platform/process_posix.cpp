#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
void CloseIf(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}
} // namespace

void IgnoreSigPipe() {
    // Once, from whichever thread comes first. A file-size limit must fail a write (EFBIG,
    // reported like a full disk) rather than end the program with its settings unsaved.
    static const bool done = [] {
        signal(SIGPIPE, SIG_IGN);
        signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)done;
}

SpawnResult SpawnProcess(const SpawnOptions& options) {
    SpawnResult result;
    if (options.argv.empty() || options.argv[0].empty()) {
        result.error = ENOENT;
        return result;
    }
    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    if (options.pipeStdin && pipe2(inPipe, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    if (options.pipeOutput && pipe2(outPipe, O_CLOEXEC) != 0) {
        result.error = errno;
        CloseIf(inPipe[0]);
        CloseIf(inPipe[1]);
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipeStdin)
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    else if (options.nullStdio)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (options.pipeOutput) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        if (options.quietStderr)
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        else
            posix_spawn_file_actions_adddup2(&actions, outPipe[1], 2);
    } else if (options.nullStdio) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }

    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attr, &mask);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (options.newProcessGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    std::vector<char*> argv;
    for (const auto& a : options.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    bool searchPath = options.argv[0].find('/') == std::string::npos;
    int rc = searchPath ? posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                        : posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);

    // The child's ends belong to the child now.
    CloseIf(inPipe[0]);
    CloseIf(outPipe[1]);
    if (rc != 0) {
        result.error = rc;
        CloseIf(inPipe[1]);
        CloseIf(outPipe[0]);
        return result;
    }
    if (inPipe[1] >= 0)
        fcntl(inPipe[1], F_SETFL, fcntl(inPipe[1], F_GETFL) | O_NONBLOCK);
    result.pid = pid;
    result.stdinFd = inPipe[1];
    result.outputFd = outPipe[0];
    return result;
}

bool WaitProcess(pid_t pid, int timeoutMs, int* status) {
    int st = 0;
    if (timeoutMs < 0) {
        while (waitpid(pid, &st, 0) < 0) {
            if (errno != EINTR)
                return true; // not our child any more: nothing to wait for
        }
        if (status != nullptr)
            *status = st;
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int sleepMs = 1;
    while (true) {
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            if (status != nullptr)
                *status = st;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
        sleepMs = sleepMs < 20 ? sleepMs * 2 : 20;
    }
}

void KillProcess(pid_t pid, int graceMs) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    if (!WaitProcess(pid, graceMs, nullptr)) {
        kill(pid, SIGKILL);
        WaitProcess(pid, -1, nullptr);
    }
}

void KillProcessGroup(pid_t leader, int graceMs) {
    if (leader <= 0)
        return;
    if (graceMs > 0) {
        kill(-leader, SIGTERM);
        WaitProcess(leader, graceMs, nullptr);
    }
    // Grandchildren may outlive the leader; the group still names them.
    kill(-leader, SIGKILL);
    WaitProcess(leader, -1, nullptr);
}

bool WriteAllNonBlocking(int fd, const char* data, size_t size, int timeoutMs) {
    if (fd < 0)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false; // EPIPE: the reader has gone
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, static_cast<int>(left));
    }
    return true;
}

int CountOpenDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] != '.')
            ++count;
    }
    closedir(dir);
    return count - 1; // the directory's own descriptor
}
