#pragma once
// Cancelling the online exchange that runs on a worker thread. The thread that runs it
// installs a flag with ScopedCancel; every transfer and tool run on that thread polls it
// and stops at once (within one poll interval, 20 ms) when the flag is raised from any
// thread. Code that is not running under a flag is never cancelled.
#include <atomic>

class ScopedCancel {
  public:
    explicit ScopedCancel(const std::atomic<bool>* flag);
    ~ScopedCancel();
    ScopedCancel(const ScopedCancel&) = delete;
    ScopedCancel& operator=(const ScopedCancel&) = delete;

  private:
    const std::atomic<bool>* previous_;
};

// True when the flag installed on this thread has been raised.
bool CurrentExchangeCancelled();
