#pragma once
// Starting child processes with pipes (POSIX implementation in process_posix.cpp).
#include <string>
#include <sys/types.h>
#include <vector>

struct SpawnOptions {
    std::vector<std::string> argv; // argv[0] is the program; without '/' it is looked up on PATH
    bool pipeStdin = false;        // the child's stdin is a pipe whose write end we get
    bool pipeOutput = false;       // the child's stdout and stderr share one pipe we read
    bool quietStderr = false;      // with pipeOutput: only stdout is piped, stderr is /dev/null
    bool nullStdio = false;        // without pipes: stdin/stdout/stderr go to /dev/null
    bool newProcessGroup = false;  // the child leads a process group of its own
    // The child's working folder, entered between fork and exec ("" keeps ours): the program
    // never changes its own.
    std::string workingDirectory;
};

struct SpawnResult {
    pid_t pid = -1;
    int stdinFd = -1;  // write end (non-blocking, close-on-exec), or -1
    int outputFd = -1; // read end (close-on-exec), or -1
    int error = 0;     // errno of a failed start
    bool ok() const { return pid > 0; }
};

// Starts the child. All descriptors we create are close-on-exec, so children started from
// other threads never inherit them. The child gets default signal dispositions.
SpawnResult SpawnProcess(const SpawnOptions& options);

// Waits for the child. timeoutMs < 0 waits for ever. Returns true when it ended and stores the
// raw wait status; false on time-out (the child is left running).
bool WaitProcess(pid_t pid, int timeoutMs, int* status);

// Ends a child for good: SIGTERM, then SIGKILL after `graceMs`, and reaps it.
void KillProcess(pid_t pid, int graceMs);

// Ends a child that leads its own process group, with everything it started there: SIGTERM
// to the group, SIGKILL to the group after `graceMs` (at once when 0), and reaps the child.
void KillProcessGroup(pid_t leader, int graceMs);

// Writes all of `data` to a non-blocking descriptor, waiting at most `timeoutMs` in total for
// room in the pipe. False on a closed reader (EPIPE), an error or the time-out.
bool WriteAllNonBlocking(int fd, const char* data, size_t size, int timeoutMs);

// SIGPIPE must never end the program when a player has gone away, nor SIGXFSZ when a write
// meets a file-size limit; called at start and before any launch.
void IgnoreSigPipe();

// Number of open descriptors of this process (used to check that nothing leaks).
int CountOpenDescriptors();
