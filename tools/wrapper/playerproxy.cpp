#include "tools/wrapper/playerproxy.h"

#include "platform/fdio.h"
#include "platform/process.h"
#include "tools/wrapper/wrapperoptions.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t g_childPid = 0;
volatile sig_atomic_t g_signalled = 0;

void ForwardSignal(int sig) {
    g_signalled = 1;
    if (g_childPid > 0)
        kill(static_cast<pid_t>(g_childPid), sig);
}

class Io : public PlayerIo {
  public:
    int playerIn = -1;
    bool frontEndGone = false;
    void SendToPlayer(const std::string& command) override {
        if (playerIn >= 0)
            WriteAllNonBlocking(playerIn, (command + "\n").data(), command.size() + 1, 1000);
    }
    void Print(const std::string& text) override {
        if (!frontEndGone && !WriteAllBlocking(1, text))
            frontEndGone = true;
    }
};

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

std::vector<std::string> SplitOutputPieces(std::string& pending, const char* data, size_t size) {
    std::vector<std::string> pieces;
    for (size_t i = 0; i < size; ++i) {
        pending += data[i];
        if (data[i] == '\r' || data[i] == '\n') {
            pieces.push_back(std::move(pending));
            pending.clear();
        }
    }
    return pieces;
}

ProxyResult RunPlayerProxy(const std::string& program, std::vector<std::string> args,
                           std::vector<std::unique_ptr<WrapperPlugin>>& plugins) {
    ProxyResult result;
    signal(SIGPIPE, SIG_IGN);
    for (auto& p : plugins)
        p->Prepare(args);

    // A movie given as "-" is our own standard input: mplayer reads it directly, and there are
    // no slave commands to pass on.
    std::vector<size_t> movies = FindMovieArguments(args);
    const bool stdinIsMovie =
        std::any_of(movies.begin(), movies.end(), [&](size_t i) { return args[i] == "-"; });
    SpawnOptions options;
    options.argv.push_back(program);
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.pipeStdin = !stdinIsMovie;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok()) {
        std::string msg = "Quorvan: cannot start " + program + "\n";
        WriteAllBlocking(1, msg);
        result.exitCode = 127;
        return result;
    }
    g_childPid = child.pid;
    struct sigaction sa {};
    sa.sa_handler = ForwardSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    Io io;
    io.playerIn = child.stdinFd;
    std::string pendingOut;
    std::string pendingIn;
    bool stdinOpen = !stdinIsMovie;
    bool outputOpen = true;
    long long quitDeadline = 0; // after end of stdin, mplayer gets this long to quit
    bool weKilled = false;
    long long nextTick = NowMs() + 100;

    while (outputOpen) {
        pollfd fds[2] = {{child.outputFd, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        int rc = poll(fds, 2, 100);
        if (rc < 0 && errno != EINTR)
            break;
        if (rc > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[8192];
            ssize_t n = read(child.outputFd, buf, sizeof(buf));
            if (n > 0) {
                std::string out;
                for (auto& piece : SplitOutputPieces(pendingOut, buf, static_cast<size_t>(n))) {
                    bool keep = true;
                    for (auto& p : plugins)
                        keep = keep && p->OnOutput(piece, io);
                    if (keep)
                        out += piece;
                }
                io.Print(out);
            } else if (n == 0 || errno != EINTR) {
                outputOpen = false;
            }
        }
        if (stdinOpen && rc > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[4096];
            ssize_t n = read(0, buf, sizeof(buf));
            if (n > 0) {
                pendingIn.append(buf, static_cast<size_t>(n));
                size_t nl;
                while ((nl = pendingIn.find('\n')) != std::string::npos) {
                    std::string command = pendingIn.substr(0, nl);
                    pendingIn.erase(0, nl + 1);
                    bool forward = true;
                    for (auto& p : plugins)
                        forward = forward && p->OnCommand(command, io);
                    if (forward)
                        io.SendToPlayer(command);
                }
            } else if (n == 0 || errno != EINTR) {
                // The front end has gone or replaced us: quit.
                stdinOpen = false;
                io.SendToPlayer("quit");
                close(io.playerIn);
                io.playerIn = -1;
                quitDeadline = NowMs() + 3000;
            }
        }
        if (io.frontEndGone && stdinOpen) {
            stdinOpen = false;
            io.SendToPlayer("quit");
            quitDeadline = NowMs() + 3000;
        }
        long long now = NowMs();
        if (quitDeadline != 0 && now > quitDeadline && !weKilled) {
            weKilled = true;
            kill(child.pid, SIGKILL);
        }
        if (now >= nextTick) {
            for (auto& p : plugins)
                p->OnTick(io);
            nextTick = now + 100;
        }
    }
    if (!pendingOut.empty()) {
        bool keep = true;
        for (auto& p : plugins)
            keep = keep && p->OnOutput(pendingOut, io);
        if (keep)
            io.Print(pendingOut);
    }
    close(child.outputFd);
    if (io.playerIn >= 0)
        close(io.playerIn);

    int status = 0;
    if (!WaitProcess(child.pid, 3000, &status)) {
        weKilled = true;
        kill(child.pid, SIGKILL);
        WaitProcess(child.pid, -1, &status);
    }
    g_childPid = 0;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
        result.crashed = !weKilled && !g_signalled;
    }
    return result;
}
