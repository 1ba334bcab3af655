#pragma once
// A window port that records every call as a line of text, for tests.
#include "platform/windowport.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class RecorderPort : public WindowPort {
  public:
    // With runPostedAtOnce, work posted to the UI thread runs on the posting thread.
    explicit RecorderPort(bool runPostedAtOnce = false) : runAtOnce_(runPostedAtOnce) {}

    void SetTitle(const std::string& title) override;
    void SetSliderRange(int control, int minimum, int maximum) override;
    void SetSliderPos(int control, int position) override;
    void SetSliderPageSize(int control, int pageSize) override;
    void ShowControl(int control, bool visible) override;
    void ResizeMainWindow(int width, int height) override;
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void SetMenuItemText(int command, const std::string& text) override;
    void PostToUi(std::function<void()> work) override;
    void OpenWithDefaultApplication(const std::string& path) override;
    bool CopyImageToClipboard(const QImage& image) override;
    bool CopyTextToClipboard(const std::string& text) override;

    std::vector<std::string> Events() const;
    void Clear();
    bool Has(const std::string& event) const;
    // Waits until an event equal to `event` has been recorded.
    bool WaitFor(const std::string& event, int timeoutMs);
    // Waits until any event starting with `prefix` has been recorded; returns it or "".
    std::string WaitForPrefix(const std::string& prefix, int timeoutMs);
    // Runs the posted work queued so far (on the calling thread); returns how many ran.
    int RunPosted();
    size_t PostedCount() const;

  private:
    void Record(const std::string& event);
    bool runAtOnce_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> events_;
    std::deque<std::function<void()>> posted_;
};

// Installs a port for the lifetime of the object.
class ScopedPort {
  public:
    explicit ScopedPort(WindowPort* port) { SetWindowPort(port); }
    ~ScopedPort() { SetWindowPort(nullptr); }
};
