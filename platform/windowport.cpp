#include "platform/windowport.h"

#include "platform/headlessport.h"
#include "platform/process.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {
HeadlessPort& DefaultPort() {
    static HeadlessPort port;
    return port;
}
std::atomic<WindowPort*> g_port{nullptr};
} // namespace

WindowPort& Port() {
    WindowPort* port = g_port.load(std::memory_order_acquire);
    return port != nullptr ? *port : DefaultPort();
}

void SetWindowPort(WindowPort* port) {
    g_port.store(port, std::memory_order_release);
}

int MessageBoxS(int, const char* text, const char* caption, int) {
    return Port().MessageBox(text != nullptr ? text : "", caption != nullptr ? caption : "",
                             MB_OK_);
}

void WindowPort::FullScreenAnswered(bool) {}

void WindowPort::OpenWithDefaultApplication(const std::string& path) {
    SpawnOptions options;
    options.argv = {"xdg-open", path};
    options.nullStdio = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return;
    // Reap the opener in the background so it never lingers as a zombie.
    std::thread([pid = child.pid] {
        int status = 0;
        WaitProcess(pid, -1, &status);
    }).detach();
}

bool WindowPort::CopyImageToClipboard(const QImage&) {
    return false;
}

bool WindowPort::CopyTextToClipboard(const std::string&) {
    return false;
}

void HeadlessPort::SetTitle(const std::string& title) {
    std::lock_guard<std::mutex> lock(mutex_);
    title_ = title;
}

int HeadlessPort::MessageBox(const std::string& text, const std::string& caption, int) {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(caption + ": " + text);
    return IDOK_;
}

void HeadlessPort::PostToUi(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(work));
    }
    cv_.notify_all();
}

int HeadlessPort::RunPending(int timeoutMs) {
    std::deque<std::function<void()>> batch;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
        batch.swap(queue_);
    }
    for (auto& work : batch)
        work();
    return static_cast<int>(batch.size());
}

std::vector<std::string> HeadlessPort::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::string HeadlessPort::Title() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return title_;
}
