#pragma once
// The real binary/quorvan-speaker of the staged program folder, writing WAV files into a
// temporary folder, with its sockets in a private runtime folder of the test.
#include "tests/subtitles/ddetestserver.h"
#include "tests/support/testenv.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct WavMeasure {
    double seconds = 0;
    double rms = 0;
};
// Length and RMS amplitude of a WAV file as sox measures them; false when sox cannot read it.
bool MeasureWav(const std::string& path, WavMeasure* measure);

class SpeakerProcess {
  public:
    // Points XDG_RUNTIME_DIR and QUORVAN_SPEAKER_WAV_DIR at folders of `dir` (for this process
    // and the children it starts, the front end's speaker included).
    explicit SpeakerProcess(const TempDir& dir);
    ~SpeakerProcess();
    // Starts the speaker and waits for its "ready" line.
    bool Start(const std::vector<std::string>& options = {});
    // Ends it (by closing its standard input, as when the front end ends); its exit status.
    int Stop();
    std::string WavDir() const { return wavDir_; }
    // The lines of index.txt, waiting until there are at least `count` of them.
    std::vector<std::string> WaitIndex(size_t count, int timeoutMs) const;

  private:
    std::string wavDir_;
    ScopedRuntimeDir runtime_;
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int outputFd_ = -1;
};
