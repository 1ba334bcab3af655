#include "rar/streaming.h"

#include "platform/cmdline.h"
#include "platform/fdio.h"
#include "platform/paths.h"
#include "platform/privatefiles.h"
#include "platform/process.h"
#include "player/mplayerinfo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

char buf6[1000];
std::string fileG;

namespace {
std::mutex g_streamMutex; // one script file at a time (a second stream rewrites it)

// The threads that wipe the scripts; the program does not end before they have (3 s at most).
struct WipeThreads {
    std::vector<std::thread> threads;
    ~WipeThreads() {
        for (auto& t : threads)
            if (t.joinable())
                t.join();
    }
} g_wipeThreads;

std::string g_lastScript; // the script of the last stream, under g_streamMutex

// Writes `text` to a new file at `path` (never through a symlink, never over a file already
// there), readable by this user only. False when it could not be written whole.
bool WriteNewFile(const std::string& path, const std::string& text, struct stat* identity) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAllBlocking(fd, text) && fstat(fd, identity) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok)
        unlink(path.c_str());
    return ok;
}

// Overwrites the file at `path` with the seven passes, only when it is still the file that was
// created (`identity`, when given) and not a symlink; then removes it.
bool WipeCreatedFile(const std::string& path, const struct stat* identity) {
    for (int pass = 1; pass <= 7; ++pass) {
        int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return false;
        struct stat st {};
        bool same = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    (identity == nullptr ||
                     (st.st_dev == identity->st_dev && st.st_ino == identity->st_ino));
        if (!same) {
            close(fd);
            return false; // something else stands there now: leave it alone
        }
        std::string text = WipePattern(pass);
        bool ok = ftruncate(fd, 0) == 0 && WriteAllBlocking(fd, text);
        fsync(fd);
        close(fd);
        if (!ok)
            return false;
    }
    return unlink(path.c_str()) == 0;
}

std::vector<std::string> TerminalCommand(const std::string& script) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == 0)
        return {"/bin/sh", script};
    for (const char* terminal : {"x-terminal-emulator", "xterm"}) {
        std::string path = std::string("/usr/bin/") + terminal;
        if (access(path.c_str(), X_OK) == 0)
            return {path, "-e", "/bin/sh", script};
    }
    return {"/bin/sh", script};
}
} // namespace

std::string StreamingScriptPath() {
    std::lock_guard<std::mutex> lock(g_streamMutex);
    return g_lastScript;
}

std::string StreamingScript(const std::string& binaryFolder, const std::string& rarFile,
                            const std::string& password, bool waitForKey,
                            const std::string& startedMarker) {
    std::string script = "#!/bin/sh\n";
    // The braces make the shell read the whole script before running any of it, so the file
    // can be wiped while the pipeline runs.
    script += "{\n";
    if (!startedMarker.empty())
        script += ": > " + ShellQuote(startedMarker) + "\n";
    // The password goes to the extractor in its environment, which only this user can read;
    // in its command line every local user could (ps) for as long as the movie plays.
    if (!password.empty())
        script += "QUORVAN_RAR_PASSWORD=" + ShellQuote(password) + " ";
    script += ShellQuote(binaryFolder + "unrar") + " p -inul " + ShellQuote(rarFile) + " | " +
              ShellQuote(binaryFolder + "QUORVAN") + " -\n";
    if (waitForKey)
        script += "printf '\\nPress Enter to close this window.'\nread quorvan_key\n";
    script += "}\n";
    return script;
}

std::string WipePattern(int pass) {
    std::string text;
    for (int j = 0; j < 3200; ++j)
        text += std::to_string(pass * static_cast<signed char>(j & 0xFF));
    return text;
}

bool WipeFile(const std::string& path) {
    return WipeCreatedFile(path, nullptr);
}

void Thread1(void*) {
    std::string script;
    {
        std::lock_guard<std::mutex> lock(g_streamMutex);
        script = fileG;
    }
    SpawnOptions options;
    options.argv = TerminalCommand(script);
    SpawnResult child = SpawnProcess(options);
    if (child.ok())
        WaitProcess(child.pid, -1, nullptr);
}

int RunRar(MplayerInfo&, const std::string& file) {
    const std::string binaryFolder = std::string(KatalogExe()) + "binary/";
    const std::string password(buf6, strnlen(buf6, sizeof(buf6) - 1));
    {
        // Earlier wipes are over or nearly so; joining them (without the lock they take)
        // keeps the list short.
        std::vector<std::thread> earlier;
        {
            std::lock_guard<std::mutex> lock(g_streamMutex);
            earlier.swap(g_wipeThreads.threads);
        }
        for (auto& t : earlier)
            t.join();
    }
    // Every stream has a folder of its own: the script holds the password.
    const std::string folder = MakePrivateFolder("quorvan-stream-");
    if (folder.empty())
        return 0;
    const std::string path = folder + "/run2.sh";
    const std::string marker = path + ".started";
    const bool terminal = TerminalCommand(path).size() > 2;
    struct stat identity {};
    {
        std::lock_guard<std::mutex> lock(g_streamMutex);
        std::string text = StreamingScript(binaryFolder, file, password, terminal, marker);
        if (!WriteNewFile(path, text, &identity)) {
            rmdir(folder.c_str());
            return 0;
        }
        fileG = path;
        g_lastScript = path;
    }
    // The separate player is not followed: its thread only waits for the script to end.
    std::thread(Thread1, nullptr).detach();
    // The script is wiped as soon as the shell has read it (the marker says so), at least
    // three seconds after the start and at most thirty seconds (a shell that never started).
    // The wait happens beside the window, not on its thread.
    std::lock_guard<std::mutex> lock(g_streamMutex);
    g_wipeThreads.threads.emplace_back([folder, path, marker, identity] {
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        while (access(marker.c_str(), F_OK) != 0 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::lock_guard<std::mutex> wipeLock(g_streamMutex);
        // The marker goes first: once the script is gone, nothing of this run is left.
        unlink(marker.c_str());
        WipeCreatedFile(path, &identity);
        rmdir(folder.c_str()); // only when empty: nothing else is touched
    });
    return 1;
}

bool ButionUnRarChosen(const std::string& file) {
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = file;
    }
    return RunRar(Mp1, file) == 1;
}
