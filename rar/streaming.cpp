#include "rar/streaming.h"

#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "player/mplayerinfo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A private folder for the script, which holds the password for its first seconds.
std::string ScriptPathInPrivateFolder() {
    std::string dir = GetTempDirectory() + "quorvan-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    return dir + "/run2.sh";
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
    return ScriptPathInPrivateFolder();
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
    script += ShellQuote(binaryFolder + "unrar") + " p -inul";
    if (!password.empty())
        script += " " + ShellQuote("-p" + password);
    script += " " + ShellQuote(rarFile) + " | " + ShellQuote(binaryFolder + "QUORVAN") + " -\n";
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
    for (int pass = 1; pass <= 7; ++pass) {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr)
            return false;
        std::string text = WipePattern(pass);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
    }
    std::remove(path.c_str());
    return true;
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

int MplayerInfo::RunRar(std::string file) {
    const std::string binaryFolder = std::string(KatalogExe()) + "binary/";
    const std::string password(buf6, strnlen(buf6, sizeof(buf6) - 1));
    const std::string path = StreamingScriptPath();
    const std::string marker = path + ".started";
    const bool terminal = TerminalCommand(path).size() > 2;
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
    {
        std::lock_guard<std::mutex> lock(g_streamMutex);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr)
            return 0;
        std::remove(marker.c_str());
        std::string text = StreamingScript(binaryFolder, file, password, terminal, marker);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        chmod(path.c_str(), 0600);
        fileG = path;
    }
    // The separate player is not followed: its thread only waits for the script to end.
    std::thread(Thread1, nullptr).detach();
    // The script holds the password: it is wiped as soon as the shell has read it (the
    // marker says so), at least three seconds after the start and at most thirty seconds
    // (a shell that never started). The wait happens beside the window, not on its thread.
    std::lock_guard<std::mutex> lock(g_streamMutex);
    g_wipeThreads.threads.emplace_back([path, marker] {
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        while (access(marker.c_str(), F_OK) != 0 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::lock_guard<std::mutex> wipeLock(g_streamMutex);
        // The marker goes first: once the script is gone, nothing of this run is left.
        std::remove(marker.c_str());
        WipeFile(path);
    });
    return 1;
}

bool ButionUnRarChosen(const std::string& file) {
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = file;
    }
    return Mp1.RunRar(file) == 1;
}
