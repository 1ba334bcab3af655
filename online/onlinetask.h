#pragma once
// An online exchange on a worker thread. The window thread starts it, keeps running its
// loop (timers, repaints, the Cancel button), and gets `done` back on its own thread when
// the work has ended, cancelled or not. The work runs under a ScopedCancel flag, so
// Cancel() stops its transfers and tool runs at once (online/cancel.h).
//
//     auto result = std::make_shared<NapiResult>();
//     auto task = OnlineTask::Start([=] { *result = DownloadNapi(movie, "PL"); },
//                                   [=](bool cancelled) { if (!cancelled) Apply(*result); });
//
// Everything the work computes is handed over through what it captures; `done` runs after
// the work has returned, so it may read that without a lock. The window side with the busy
// cursor and the Cancel dialog is ui/onlinewait.h.
#include <atomic>
#include <functional>
#include <memory>

class OnlineTask {
  public:
    // `done` is posted to the user-interface thread (Port().PostToUi) when `work` returns.
    static std::shared_ptr<OnlineTask> Start(std::function<void()> work,
                                             std::function<void(bool cancelled)> done);
    // Raises the cancel flag; `done` still comes, with cancelled = true.
    void Cancel();
    bool Cancelled() const { return cancel_.load(); }
    bool Finished() const { return finished_.load(); }

  private:
    OnlineTask() = default;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
};
