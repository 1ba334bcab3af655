// The player process and its pipes.
//
// Every launch makes a session (process, stdin write end, output read end) and starts one reader
// thread for it. Readers take turns in launch order (a ticket each): a new reader waits until the
// reader of the previous player has seen that player's output end, so lines are interpreted
// strictly one after another, and never by two readers at once. The reader owns its session's
// output pipe and reaps its process; a replaced player has its stdin closed at once (the
// wrapper takes that as "quit") and is killed if it is still there a few seconds later.
#include "player/KomunikacjaZMplayerem.h"

#include "platform/cmdline.h"
#include "platform/process.h"
#include "platform/windowport.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "player/slavecommand.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

char bufnamplayera[2000];

namespace {
using Clock = std::chrono::steady_clock;
// A replaced player (our wrapper) is given this long to end after its stdin is closed: longer
// than the wrapper gives mplayer (1.5 s) before it kills mplayer's process group.
constexpr int kKillGraceMs = 3000;
// Between the SIGTERM and the SIGKILL of a wrapper that is still there: the wrapper passes the
// SIGTERM on and kills mplayer's group half a second later.
constexpr int kTermGraceMs = 2000;
constexpr int kWriteTimeoutMs = 500;
constexpr size_t kSendBufferSize = 7048;

struct Session {
    pid_t pid = -1;
    int inFd = -1;  // guarded by g_mutex
    int outFd = -1; // owned by the reader (or by the closing code once the reader detached)
    std::atomic<bool> ended{false};
    std::atomic<bool> superseded{false};
    std::atomic<bool> readerDetached{false};
    std::atomic<long long> killAtMs{0}; // steady-clock ms after which a superseded player is killed
    bool termSent = false;              // reader only: SIGTERM sent, SIGKILL at the next deadline
    std::string folder;                 // the working folder it was started in (set once)
};

struct ReaderThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};

// A reader never outlives the program's globals: the first reader registers a close of every
// player at exit, which runs before the globals made earlier (the movie state the readers
// write) are destroyed. Should a reader still be left (a chain of next parts the closing could
// not end), it is let go of rather than destroyed while joinable, which would abort the program.
struct ReaderList : std::list<ReaderThread> {
    ~ReaderList() {
        for (ReaderThread& r : *this)
            if (r.thread.joinable())
                r.thread.detach();
    }
};

std::mutex g_mutex; // current session and the reader list
std::shared_ptr<Session> g_current;
ReaderList g_readers;

std::mutex g_turnMutex;
std::condition_variable g_turnCv;
unsigned long long g_nextTicket = 0;
unsigned long long g_serving = 0;
std::string g_lastCommandLine;    // guarded by g_mutex
std::atomic<int> g_quietPolls{0}; // position polls whose answers are still to come
std::atomic<int> g_activeReaders{0};
std::atomic<int> g_maxActiveReaders{0};
std::atomic<unsigned long long> g_launches{0}; // players started so far

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void CloseFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// Tells a replaced player to go: its stdin is closed and a deadline for killing it is set.
void Supersede(const std::shared_ptr<Session>& session) {
    if (!session)
        return;
    session->superseded = true;
    session->killAtMs = NowMs() + kKillGraceMs;
    CloseFd(session->inFd);
}

// Puts the character read at buffer[i]; a line feed becomes the carriage return every player
// line ends with for the interpreter. True when it ended the line (the line is then closed).
bool StoreLineChar(char c, char* buffer, int i) {
    if (c == '\n')
        c = '\r';
    buffer[i] = c;
    if (c != '\r')
        return false;
    buffer[i + 1] = 0;
    return true;
}

// Reads one line like ReadLine, but wakes up regularly to kill a replaced player that does not
// end by itself. Returns false at the end of the pipe.
bool ReadSessionLine(Session& session, char* buffer, int size) {
    int i = 0;
    while (i < size - 2) {
        if (session.superseded && NowMs() > session.killAtMs && session.pid > 0) {
            kill(session.pid, session.termSent ? SIGKILL : SIGTERM);
            session.killAtMs = NowMs() + (session.termSent ? 60000 : kTermGraceMs);
            session.termSent = true;
        }
        pollfd p{session.outFd, POLLIN, 0};
        int rc = poll(&p, 1, 200);
        if (rc == 0)
            continue;
        if (rc < 0 && errno == EINTR)
            continue;
        char c;
        ssize_t n = read(session.outFd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (StoreLineChar(c, buffer, i))
            return true;
        ++i;
    }
    buffer[i] = 0;
    return true;
}

void ReapSession(Session& session) {
    CloseFd(session.outFd);
    if (session.pid > 0) {
        // The output has ended; the process follows at once unless something holds its pipe.
        if (!WaitProcess(session.pid, kKillGraceMs, nullptr))
            KillProcess(session.pid, kTermGraceMs);
    }
    session.ended = true;
}

void ThreadObslugujacyPdczytzPpipe(std::shared_ptr<Session> session, unsigned long long ticket) {
    {
        std::unique_lock<std::mutex> lock(g_turnMutex);
        g_turnCv.wait(lock, [&] { return g_serving == ticket; });
    }
    int active = ++g_activeReaders;
    int seen = g_maxActiveReaders.load();
    while (active > seen && !g_maxActiveReaders.compare_exchange_weak(seen, active)) {
    }

    PlayerOutputBegins();
    bool detached = false;
    while (true) {
        if (Mp1.screenshotSeries) {
            // The screenshot series reads this pipe itself from now on.
            detached = true;
            break;
        }
        if (!ReadSessionLine(*session, bufnamplayera, 1990))
            break;
        if (Mp1.screenshotSeries)
            continue; // a line read while a series runs is dropped
        obsluzto_co_mplayer_podeslal(bufnamplayera);
    }
    if (detached)
        session->readerDetached = true;
    else
        ReapSession(*session);

    --g_activeReaders;
    {
        std::lock_guard<std::mutex> lock(g_turnMutex);
        ++g_serving;
    }
    g_turnCv.notify_all();
}

void JoinFinishedReaders() {
    for (auto it = g_readers.begin(); it != g_readers.end();) {
        if (*it->done) {
            it->thread.join();
            it = g_readers.erase(it);
        } else {
            ++it;
        }
    }
}

// Cleans up a session whose reader handed its pipe to the screenshot series.
void CloseDetachedSession(const std::shared_ptr<Session>& session) {
    if (session && session->readerDetached && !session->ended) {
        CloseFd(session->outFd);
        if (session->pid > 0)
            KillProcess(session->pid, kKillGraceMs);
        session->ended = true;
    }
}
} // namespace

namespace {
// Starts the reader of the current session; g_mutex is held.
void StartReaderLocked() {
    static std::once_flag closeAtExit;
    std::call_once(closeAtExit, [] { std::atexit([] { ClosePlayer(kKillGraceMs); }); });
    unsigned long long ticket;
    {
        std::lock_guard<std::mutex> turn(g_turnMutex);
        ticket = g_nextTicket++;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<Session> session = g_current;
    g_readers.push_back({std::thread([session, ticket, done] {
                             ThreadObslugujacyPdczytzPpipe(session, ticket);
                             *done = true;
                         }),
                         done});
}

// Starts the player and makes it the current session; with `withReader`, its reader starts in
// the same locked step, so a launch from another thread in between can never hand this reader
// another session (or leave a session without one).
bool StartSession(const char* commandLine, bool withReader) {
    IgnoreSigPipe();
    SpawnOptions options;
    options.argv = SplitCommandLineWindows(commandLine != nullptr ? commandLine : "");
    options.pipeStdin = true;
    options.pipeOutput = true;
    options.workingDirectory = PlayerFolder();
    SpawnResult started = SpawnProcess(options);

    std::lock_guard<std::mutex> lock(g_mutex);
    g_lastCommandLine = commandLine != nullptr ? commandLine : "";
    JoinFinishedReaders();
    if (!started.ok()) {
        std::fprintf(stderr, "Failed to run scanner\n");
        return false;
    }
    ++g_launches;
    auto session = std::make_shared<Session>();
    session->pid = started.pid;
    session->inFd = started.stdinFd;
    session->outFd = started.outputFd;
    session->folder = options.workingDirectory;
    // Without a reader its pipe is the screenshot series' and its process nobody's to wait
    // for: it is handled like a session whose reader handed the pipe over, so it is reaped.
    session->readerDetached = !withReader;
    if (g_current) {
        Supersede(g_current);
        CloseDetachedSession(g_current);
    }
    g_current = session;
    g_quietPolls = 0;
    if (withReader)
        StartReaderLocked();
    return true;
}

} // namespace

std::string RunningPlayerFolder() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_current ? g_current->folder : PlayerFolder();
}

bool Launch2(const char* commandLine) {
    return StartSession(commandLine, false);
}

bool Launch(const char* commandLine) {
    // A screenshot series reads the player's output itself.
    return StartSession(commandLine, !Mp1.screenshotSeries);
}

bool ResumeReading() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Mp1.screenshotSeries || !g_current || !g_current->readerDetached || g_current->ended)
        return false;
    g_current->readerDetached = false;
    StartReaderLocked();
    return true;
}

int DodajSlaveComendtoOutput(const char* command) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    Mp1.consoleText += "\r\n> ";
    Mp1.consoleText += command;
    return 0;
}

namespace {
bool WriteCommand(const char* command) {
    // The line must fit the slave buffer: command, line feed and terminator.
    size_t length = std::strlen(command);
    if (length > kSendBufferSize - 2)
        length = kSendBufferSize - 2;
    std::string line(command, length);
    line += '\n';

    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_current || g_current->ended || g_current->inFd < 0)
        return false;
    return WriteAllNonBlocking(g_current->inFd, line.data(), line.size(), kWriteTimeoutMs);
}
} // namespace

namespace {
// A refused command is not written; the transcript and the user get the one-line reason.
bool RefuseCommand(const std::string& refusal) {
    DodajSlaveComendtoOutput(refusal.c_str());
    Port().MessageBox(refusal, "Error", MB_ICONERROR_);
    return false;
}
} // namespace

bool SendCommand(const std::string& command) {
    // Checked whole: a NUL inside would otherwise cut the line short unseen.
    std::string refusal = SlaveLineRefusal(command);
    if (!refusal.empty())
        return RefuseCommand(refusal);
    DodajSlaveComendtoOutput(command.c_str());
    return WriteCommand(command.c_str());
}

bool SendCommand(const char* command) {
    if (command == nullptr)
        return false;
    return SendCommand(std::string(command));
}

bool SendCommand(const SlaveCommand& command) {
    if (!command.ok())
        return RefuseCommand(command.refusal());
    return SendCommand(command.line());
}

bool SendOsdText(const std::string& text) {
    SlaveCommand osd("pausing osd_show_text");
    osd.Text(text);
    return SendCommand(osd);
}

bool SendPositionPoll() {
    if (!WriteCommand("pausing_keep get_time_pos"))
        return false;
    // A player that never answers must not leave later answers out of the transcript for ever.
    if (g_quietPolls < 16)
        ++g_quietPolls;
    return true;
}

bool TakeQuietPositionAnswer() {
    int pending = g_quietPolls.load();
    while (pending > 0) {
        if (g_quietPolls.compare_exchange_weak(pending, pending - 1))
            return true;
    }
    return false;
}

bool ReadLine(int fd, char* buffer, int size) {
    int i = 0;
    while (i < size - 2) {
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, -1);
            continue;
        }
        if (n <= 0)
            return false;
        if (StoreLineChar(c, buffer, i))
            return true;
        ++i;
    }
    buffer[i] = 0;
    return true;
}

bool MySystem(const char* commandLine) {
    SpawnOptions options;
    options.argv = SplitCommandLineWindows(commandLine != nullptr ? commandLine : "");
    options.nullStdio = true;
    SpawnResult started = SpawnProcess(options);
    if (!started.ok())
        return false;
    pid_t pid = started.pid;
    std::thread([pid] { WaitProcess(pid, -1, nullptr); }).detach();
    return true;
}

bool runprocess(const char* commandLine) {
    SpawnOptions options;
    options.argv = SplitCommandLineWindows(commandLine != nullptr ? commandLine : "");
    SpawnResult started = SpawnProcess(options);
    if (!started.ok()) {
        Port().MessageBox(std::string("CreateProcess\n") + (commandLine ? commandLine : "") + "\n",
                          "Error", MB_ICONERROR_);
        return false;
    }
    WaitProcess(started.pid, -1, nullptr);
    return true;
}

void ClosePlayer(int graceMs) {
    // A reader that sees its movie end may start the next part while we close: that player is
    // closed in the next round, so none is left behind (a few rounds bound a chain of them).
    for (int round = 0; round < 8; ++round) {
        std::shared_ptr<Session> session;
        std::list<ReaderThread> readers;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            session = g_current;
            if (session && session->inFd >= 0) {
                static const char quit[] = "quit\n";
                WriteAllNonBlocking(session->inFd, quit, sizeof(quit) - 1, 100);
            }
            if (session) {
                Supersede(session);
                session->killAtMs = NowMs() + graceMs;
                CloseDetachedSession(session);
            }
            readers.splice(readers.end(), g_readers);
        }
        if (readers.empty())
            return;
        for (auto& r : readers) {
            if (r.thread.get_id() == std::this_thread::get_id())
                r.thread.detach(); // the program is left from a reader: it cannot wait for itself
            else
                r.thread.join();
        }
    }
}

bool PlayerRunning() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_current || g_current->ended)
        return false;
    // No reader waits for a series' player: a wrapper that has exited is reaped here (the
    // window asks regularly), so none stays behind as <defunct>. Its output stays to be read.
    if (g_current->readerDetached && g_current->pid > 0 && WaitProcess(g_current->pid, 0, nullptr))
        g_current->pid = -1;
    return g_current->pid > 0;
}

bool WaitForReaders(int timeoutMs) {
    std::unique_lock<std::mutex> lock(g_turnMutex);
    return g_turnCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [] { return g_serving == g_nextTicket; });
}

int PlayerOutputFd() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_current ? g_current->outFd : -1;
}

std::string LastLaunchCommandLine() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lastCommandLine;
}

int MaxConcurrentReaders() {
    return g_maxActiveReaders.load();
}

unsigned long long LaunchCount() {
    return g_launches.load();
}
