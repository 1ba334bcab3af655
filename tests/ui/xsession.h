#pragma once
// What the window tests under a virtual X server share: running an X tool for its output, and
// openbox as the window manager of the whole test program.
#include "platform/process.h"
#include "tests/support/testenv.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The output of an X tool (xprop, xwininfo, xdotool, ...); "" when it could not run.
inline std::string RunTool(const std::vector<std::string>& argv) {
    std::string out;
    RunCommand(argv, &out);
    return out;
}

// One window manager for the whole program: openbox on the virtual X server. A test program
// registers it with ::testing::AddGlobalTestEnvironment(new OpenboxEnvironment); `wanted`
// false leaves the screen to another window manager (weston's own, for XWayland).
class OpenboxEnvironment : public ::testing::Environment {
  public:
    explicit OpenboxEnvironment(bool wanted = true) : wanted_(wanted) {}
    void SetUp() override {
        if (!wanted_ || std::getenv("DISPLAY") == nullptr)
            return;
        SpawnOptions options;
        options.argv = {"openbox", "--sm-disable"};
        options.nullStdio = true;
        SpawnResult child = SpawnProcess(options);
        if (!child.ok())
            return;
        pid_ = child.pid;
        // Generous: with the heaviest tests beside it, openbox has taken more than 10 s.
        running_ = WaitUntil(
            [] {
                return RunTool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
                       std::string::npos;
            },
            30000);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            WaitProcess(pid_, 5000, nullptr);
        }
    }
    static bool Running() { return running_; }

  private:
    bool wanted_;
    pid_t pid_ = -1;
    static inline bool running_ = false;
};
