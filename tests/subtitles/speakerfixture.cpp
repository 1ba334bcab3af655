#include "tests/subtitles/speakerfixture.h"

#include "platform/process.h"

#include <cstdlib>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

bool MeasureWav(const std::string& path, WavMeasure* measure) {
    std::string output;
    if (RunCommand({"sox", path, "-n", "stat"}, &output) != 0)
        return false;
    auto value = [&](const std::string& key, double* out) {
        size_t at = output.find(key);
        if (at == std::string::npos)
            return false;
        *out = std::atof(output.c_str() + output.find(':', at) + 1);
        return true;
    };
    return value("Length (seconds)", &measure->seconds) &&
           value("RMS     amplitude", &measure->rms);
}

SpeakerProcess::SpeakerProcess(const TempDir& dir)
    : wavDir_(dir.file("wav")), runtime_(dir.file("run")) {
    mkdir(wavDir_.c_str(), 0755);
    mkdir(dir.file("run").c_str(), 0700);
    setenv("QUORVAN_SPEAKER_WAV_DIR", wavDir_.c_str(), 1);
}

SpeakerProcess::~SpeakerProcess() {
    Stop();
    unsetenv("QUORVAN_SPEAKER_WAV_DIR");
}

bool SpeakerProcess::Start(const std::vector<std::string>& options) {
    SpawnOptions spawn;
    spawn.argv = {StageDir() + "/binary/quorvan-speaker"};
    spawn.argv.insert(spawn.argv.end(), options.begin(), options.end());
    spawn.pipeStdin = true;
    spawn.pipeOutput = true;
    SpawnResult child = SpawnProcess(spawn);
    if (!child.ok())
        return false;
    pid_ = child.pid;
    stdinFd_ = child.stdinFd;
    outputFd_ = child.outputFd;
    std::string seen;
    while (seen.find('\n') == std::string::npos) {
        pollfd p{outputFd_, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            return false;
        char chunk[256];
        ssize_t n = read(outputFd_, chunk, sizeof(chunk));
        if (n <= 0)
            return false;
        seen.append(chunk, static_cast<size_t>(n));
    }
    return seen.find("ready") != std::string::npos;
}

int SpeakerProcess::Stop() {
    if (pid_ < 0)
        return -1;
    close(stdinFd_);
    int status = -1;
    if (!WaitProcess(pid_, 5000, &status))
        KillProcess(pid_, 100);
    close(outputFd_);
    pid_ = -1;
    return status;
}

std::vector<std::string> SpeakerProcess::WaitIndex(size_t count, int timeoutMs) const {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            lines = ReadLines(wavDir_ + "/index.txt");
            return lines.size() >= count;
        },
        timeoutMs);
    return lines;
}
