#pragma once
// The port used without a GUI: message boxes go to stderr and are recorded; work posted to
// the user-interface thread is queued until the owning thread runs RunPending().
#include "platform/windowport.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

class HeadlessPort : public WindowPort {
  public:
    void SetTitle(const std::string& title) override;
    void SetSliderRange(int, int, int) override {}
    void SetSliderPos(int, int) override {}
    void SetSliderPageSize(int, int) override {}
    void ShowControl(int, bool) override {}
    void ResizeMainWindow(int, int) override {}
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void SetMenuItemText(int, const std::string&) override {}
    void PostToUi(std::function<void()> work) override;

    // Runs the queued work on the calling thread; waits up to `timeoutMs` for some to arrive.
    // Returns the number of items run.
    int RunPending(int timeoutMs);

    std::vector<std::string> Messages() const;
    std::string Title() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::string> messages_;
    std::string title_;
};
