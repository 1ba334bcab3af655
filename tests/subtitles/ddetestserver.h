#pragma once
// A synthesiser stand-in for tests: serves the given services on real sockets in a private
// runtime folder of its own and records every frame it receives, one text line each:
//   "<service>|<topic>|P|<item>|<data>" or "<service>|<topic>|E|<data>"
// (the data with its zero byte removed). A silent server listens but never takes a
// conversation, the way a hung synthesiser behaves.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DdeTestServer {
  public:
    // Serves in `runtimeDir`/quorvan-dde; the test points XDG_RUNTIME_DIR there itself.
    DdeTestServer(const std::string& runtimeDir, const std::vector<std::string>& services,
                  bool silent = false);
    ~DdeTestServer();
    DdeTestServer(const DdeTestServer&) = delete;
    DdeTestServer& operator=(const DdeTestServer&) = delete;

    std::vector<std::string> Frames() const;
    // Waits until `count` frames have arrived; returns them.
    std::vector<std::string> WaitFrames(size_t count, int timeoutMs);
    size_t Conversations() const;

  private:
    void Run();
    std::vector<int> listeners_;
    std::vector<std::string> services_;
    bool silent_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> frames_;
    size_t conversations_ = 0;
};

// Sets XDG_RUNTIME_DIR for the lifetime of the object and restores the old value.
class ScopedRuntimeDir {
  public:
    explicit ScopedRuntimeDir(const std::string& dir);
    ~ScopedRuntimeDir();

  private:
    bool had_ = false;
    std::string old_;
};
