#include "tools/wrapper/playerproxy.h"

#include "platform/fdio.h"
#include "platform/process.h"
#include "tools/wrapper/commandguard.h"
#include "tools/wrapper/wrapperoptions.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// After the end of our stdin (or of the front end), mplayer gets this long to quit before its
// whole process group is killed. The front end waits longer than this before it kills us.
constexpr long long kQuitGraceMs = 1500;
// After a signal we passed on to the group, this long before the group is killed (well within
// the time the front end gives us between its SIGTERM and its SIGKILL).
constexpr long long kSignalGraceMs = 500;
// Output without a line end is passed on in pieces of at most this size.
constexpr size_t kMaxPiece = 64 * 1024;
// Plugins are ticked this often: subtitle lines are printed within a tick of their time.
constexpr int kTickMs = 20;

volatile sig_atomic_t g_childPid = 0;
volatile sig_atomic_t g_signalled = 0;

void ForwardSignal(int sig) {
    g_signalled = 1;
    if (g_childPid > 0)
        kill(-static_cast<pid_t>(g_childPid), sig);
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

// True once the child has ended; it stays unreaped (a zombie), so its process group id cannot
// be taken by another process while we still send signals to it.
bool ChildHasExited(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Hands one piece of mplayer's output through the plugins to the front end.
void PassOn(const std::string& piece, std::vector<std::unique_ptr<WrapperPlugin>>& plugins,
            PlayerIo& io) {
    bool keep = true;
    for (auto& p : plugins)
        keep = keep && p->OnOutput(piece, io);
    if (!keep)
        return;
    std::string told = piece;
    for (auto& p : plugins)
        p->Retell(told);
    io.Print(told);
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

std::vector<std::string> SplitOutputPieces(std::string& pending, const char* data, size_t size) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < size) {
        // Up to the next line end, or as much as fills the piece.
        size_t room = kMaxPiece - pending.size();
        size_t end = start;
        while (end < size && end - start < room && data[end] != '\r' && data[end] != '\n')
            ++end;
        bool terminated = end < size && end - start < room;
        pending.append(data + start, end - start + (terminated ? 1 : 0));
        start = end + (terminated ? 1 : 0);
        if (terminated || pending.size() >= kMaxPiece) {
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
    // Its own group: whatever it starts is ended with it.
    options.newProcessGroup = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok()) {
        // The front end shows this as the fatal error in the title and behind the error button.
        std::string reason = std::strerror(child.error);
        if (program != "mplayer")
            reason = program + ": " + reason;
        WriteAllBlocking(1, "Exiting... (Fatal error) cannot start mplayer: " + reason + "\n");
        result.exitCode = 127;
        return result;
    }
    const pid_t pid = child.pid;
    g_childPid = pid;
    result.ran = true;
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
    long long killAt = 0; // when mplayer's group is killed unless it has ended by then
    bool weKilled = false;
    long long nextTick = NowMs() + kTickMs;

    auto readOutput = [&] {
        char buf[8192];
        ssize_t n = read(child.outputFd, buf, sizeof(buf));
        if (n > 0) {
            for (auto& piece : SplitOutputPieces(pendingOut, buf, static_cast<size_t>(n)))
                PassOn(piece, plugins, io);
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            outputOpen = false;
        }
        return n > 0;
    };
    auto quit = [&] {
        stdinOpen = false;
        io.SendToPlayer("quit");
        close(io.playerIn);
        io.playerIn = -1;
        killAt = NowMs() + kQuitGraceMs;
    };

    // We end when mplayer ends, not when its output closes: a process it started may hold the
    // pipe for ever.
    while (!ChildHasExited(pid)) {
        pollfd fds[2] = {{outputOpen ? child.outputFd : -1, POLLIN, 0},
                         {stdinOpen ? 0 : -1, POLLIN, 0}};
        int rc = poll(fds, 2, outputOpen ? kTickMs : 10);
        if (rc < 0 && errno != EINTR)
            break;
        if (rc > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            readOutput();
        if (stdinOpen && rc > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[4096];
            ssize_t n = read(0, buf, sizeof(buf));
            if (n > 0) {
                pendingIn.append(buf, static_cast<size_t>(n));
                size_t nl;
                while ((nl = pendingIn.find('\n')) != std::string::npos ||
                       pendingIn.size() >= kMaxPiece) {
                    if (nl == std::string::npos)
                        nl = kMaxPiece; // no command is this long: passed on cut
                    std::string command = pendingIn.substr(0, nl);
                    pendingIn.erase(0, std::min(nl + 1, pendingIn.size()));
                    // Refused before any plugin sees it: they may print or resend it.
                    if (std::string refusal = GuardedCommandRefusal(command); !refusal.empty()) {
                        io.Print(refusal + "\n");
                        continue;
                    }
                    for (auto& p : plugins)
                        p->Translate(command);
                    bool forward = true;
                    for (auto& p : plugins)
                        forward = forward && p->OnCommand(command, io);
                    if (forward)
                        io.SendToPlayer(command);
                }
            } else if (n == 0 || errno != EINTR) {
                quit(); // the front end has gone or replaced us
            }
        }
        if (io.frontEndGone && stdinOpen)
            quit();
        long long now = NowMs();
        if (g_signalled && killAt == 0)
            killAt = now + kSignalGraceMs;
        if (killAt != 0 && now > killAt && !weKilled) {
            weKilled = true;
            kill(-pid, SIGKILL);
        }
        if (now >= nextTick) {
            for (auto& p : plugins)
                p->OnTick(io);
            nextTick = now + kTickMs;
        }
    }
    // What mplayer wrote before it ended is still in the pipe; whatever else holds the pipe is
    // not waited for.
    fcntl(child.outputFd, F_SETFL, fcntl(child.outputFd, F_GETFL) | O_NONBLOCK);
    for (int reads = 0; outputOpen && reads < 128 && readOutput(); ++reads) {
    }
    if (!pendingOut.empty())
        PassOn(pendingOut, plugins, io);
    // Nothing mplayer started outlives it.
    kill(-pid, SIGKILL);
    close(child.outputFd);
    if (io.playerIn >= 0)
        close(io.playerIn);

    int status = 0;
    WaitProcess(pid, -1, &status);
    g_childPid = 0;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
        result.endedBySignal = true;
        result.crashed = !weKilled && !g_signalled;
    }
    return result;
}
