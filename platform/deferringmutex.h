#pragma once
// A recursive mutex that keeps the message boxes asked for while it is held and shows them
// once its owner has let go of it entirely. A message box may wait for the window thread, and
// the window thread may be waiting for this very lock: showing it under the lock would leave
// both waiting for ever.
#include <mutex>
#include <string>
#include <vector>

class MessageDeferringMutex {
  public:
    void lock() {
        mutex_.lock();
        ++depth_;
    }
    bool try_lock() {
        if (!mutex_.try_lock())
            return false;
        ++depth_;
        return true;
    }
    void unlock();

    // Only while holding the lock: the message box to show after the last unlock.
    void DeferMessageBox(std::string text, std::string caption, int flags);

  private:
    struct Message {
        std::string text;
        std::string caption;
        int flags;
    };
    std::recursive_mutex mutex_;
    int depth_ = 0;                // changed by the owner only
    std::vector<Message> pending_; // guarded by mutex_
};
