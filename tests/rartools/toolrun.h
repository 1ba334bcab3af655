#pragma once
// Running binary/rar and binary/unrar from tests: standard output goes to a sink (it can be
// gigabytes), standard error is collected, and a time limit turns a hang into a failure.
#include <functional>
#include <string>
#include <vector>

struct ToolRun {
    int exitCode = -1;  // -1: killed at the time limit (or not started)
    std::string errors; // standard error
    bool timedOut = false;
};

// `sink` receives standard output in blocks (nullptr: collected into `*collected`).
ToolRun RunTool(const std::vector<std::string>& argv, int timeoutMs,
                const std::function<void(const char*, size_t)>& sink,
                std::string* collected = nullptr);

// binary/rar and binary/unrar of the staged program folder.
std::string RarTool();
std::string UnrarTool();
