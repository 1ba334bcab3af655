#include "tests/support/recorderport.h"

#include <QImage>

#include <chrono>

void RecorderPort::Record(const std::string& event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    cv_.notify_all();
}

void RecorderPort::SetTitle(const std::string& title) {
    Record("title:" + title);
}
void RecorderPort::SetSliderRange(int c, int a, int b) {
    Record("range:" + std::to_string(c) + ":" + std::to_string(a) + ":" + std::to_string(b));
}
void RecorderPort::SetSliderPos(int c, int p) {
    Record("pos:" + std::to_string(c) + ":" + std::to_string(p));
}
void RecorderPort::SetSliderPageSize(int c, int p) {
    Record("page:" + std::to_string(c) + ":" + std::to_string(p));
}
void RecorderPort::ShowControl(int c, bool v) {
    Record("show:" + std::to_string(c) + ":" + (v ? "1" : "0"));
}
void RecorderPort::ResizeMainWindow(int w, int h) {
    Record("resize:" + std::to_string(w) + "x" + std::to_string(h));
}
int RecorderPort::MessageBox(const std::string& text, const std::string& caption, int) {
    Record("message:" + caption + ":" + text);
    return IDOK_;
}
void RecorderPort::SetMenuItemText(int command, const std::string& text) {
    Record("menu:" + std::to_string(command) + ":" + text);
}
void RecorderPort::OpenWithDefaultApplication(const std::string& path) {
    Record("open:" + path);
}
bool RecorderPort::CopyImageToClipboard(const QImage& image) {
    Record("clipboard-image:" + std::to_string(image.width()) + "x" +
           std::to_string(image.height()));
    return true;
}
bool RecorderPort::CopyTextToClipboard(const std::string& text) {
    Record("clipboard-text:" + text);
    return true;
}

void RecorderPort::PostToUi(std::function<void()> work) {
    if (runAtOnce_) {
        Record("posted");
        work();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(std::move(work));
        events_.push_back("posted");
    }
    cv_.notify_all();
}

std::vector<std::string> RecorderPort::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

void RecorderPort::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

bool RecorderPort::Has(const std::string& event) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : events_)
        if (e == event)
            return true;
    return false;
}

bool RecorderPort::WaitFor(const std::string& event, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& e : events_)
            if (e == event)
                return true;
        return false;
    });
}

std::string RecorderPort::WaitForPrefix(const std::string& prefix, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::string found;
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& e : events_)
            if (e.rfind(prefix, 0) == 0) {
                found = e;
                return true;
            }
        return false;
    });
    return found;
}

int RecorderPort::RunPosted() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        batch.swap(posted_);
    }
    for (auto& w : batch)
        w();
    return static_cast<int>(batch.size());
}

size_t RecorderPort::PostedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_.size();
}
