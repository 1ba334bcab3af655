#include "thumbs/captureplayer.h"

#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "player/mplayerinfo.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// The wrapper gives mplayer a moment to quit before it kills it; we wait a little longer.
constexpr int kQuitLimitMs = 3500;
} // namespace

ShotFolder::ShotFolder(const std::string& prefix) {
    std::string pattern = GetTempDirectory() + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()) != nullptr)
        path_ = buffer.data();
}

ShotFolder::~ShotFolder() {
    if (path_.empty())
        return;
    if (DIR* dir = opendir(path_.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                unlink((path_ + "/" + entry->d_name).c_str());
        closedir(dir);
    }
    rmdir(path_.c_str());
}

std::string NotAMovieFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "a folder, not a movie file";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO, not a movie file";
    if (!S_ISREG(st.st_mode))
        return "not a regular movie file";
    if (access(path.c_str(), R_OK) != 0)
        return std::strerror(errno);
    return "";
}

std::string CaptureFilters(int frameWidth) {
    return Format("scale=%d:-3,format=bgr24,screenshot", frameWidth > 0 ? frameWidth : 0);
}

std::string CapturePlayerCommandLine(const CapturePlayerOptions& o) {
    std::string line;
    // nice(1) runs the wrapper in its place at the lower priority, which mplayer inherits.
    if (o.lowPriority)
        line += QuoteCommandLineArg("nice") + " -n 10 ";
    line += QuoteCommandLineArg(PlayerWrapperPath());
    line += " -slave -identify -quiet -vo null -nosound -benchmark ";
    for (const std::string& arg : o.extraArgs)
        line += QuoteCommandLineArg(arg) + " ";
    line += "-vf ";
    line += QuoteCommandLineArg(CaptureFilters(o.frameWidth));
    line += " " + QuoteCommandLineArg(o.movie);
    return line;
}

CapturePlayer::CapturePlayer(const CapturePlayerOptions& o) {
    SpawnOptions options;
    options.argv = SplitCommandLineWindows(CapturePlayerCommandLine(o));
    options.pipeStdin = true;
    options.pipeOutput = true;
    options.workingDirectory = o.folder;
    IgnoreSigPipe();
    child_ = SpawnProcess(options);
    // Read when its playback starts: it then stands on the first frame instead of racing
    // through the movie (-benchmark does not wait for the clock).
    if (child_.ok() && o.startPaused)
        Send("pause");
}

CapturePlayer::~CapturePlayer() {
    if (!child_.ok())
        return;
    Send("quit");
    close(child_.stdinFd);
    // The output must be drained, or a chatty player could block on a full pipe; a player
    // that keeps it open past the limit is ended.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitLimitMs);
    char buffer[4096];
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{child_.outputFd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        if (read(child_.outputFd, buffer, sizeof(buffer)) <= 0)
            break;
    }
    if (!WaitProcess(child_.pid, 500, nullptr))
        KillProcess(child_.pid, 500);
    close(child_.outputFd);
}

bool CapturePlayer::Send(const std::string& command) {
    std::string line = command + "\n";
    return WriteAllNonBlocking(child_.stdinFd, line.data(), line.size(), 2000);
}

void CapturePlayer::Terminate() {
    if (child_.ok())
        kill(child_.pid, SIGTERM);
}
