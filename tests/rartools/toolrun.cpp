#include "tests/rartools/toolrun.h"

#include "tests/support/testenv.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::string RarTool() {
    return StageDir() + "/binary/rar";
}
std::string UnrarTool() {
    return StageDir() + "/binary/unrar";
}

ToolRun RunTool(const std::vector<std::string>& argv, int timeoutMs,
                const std::function<void(const char*, size_t)>& sink, std::string* collected) {
    ToolRun run;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return run;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(out[0]);
        close(err[0]);
        return run;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<char> buf(1 << 20);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left)) < 0)
            continue;
        for (pollfd& p : fds) {
            if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(p.fd, buf.data(), buf.size());
            if (n <= 0) {
                close(p.fd);
                p.fd = -1;
                --open;
            } else if (p.fd == err[0]) {
                run.errors.append(buf.data(), static_cast<size_t>(n));
            } else if (sink) {
                sink(buf.data(), static_cast<size_t>(n));
            } else if (collected != nullptr) {
                collected->append(buf.data(), static_cast<size_t>(n));
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0)
            close(p.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!run.timedOut)
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}
