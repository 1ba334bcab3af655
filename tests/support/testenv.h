#pragma once
// Temporary folders, a staged program folder and waiting helpers for tests.
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// A fresh folder under the temporary directory, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

  private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
std::vector<std::string> ReadLines(const std::string& path);

// Polls `condition` every few milliseconds until it holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// Folder of the test programs (the fake player lives there).
std::string TestBinDir();
// The staged program folder of the build (build/QuorvanPlayer).
std::string StageDir();
std::string SourceDir();
std::string SharedDir();
// True when the shared test data (`SharedDir()/testdata`) is there. The first time it is not,
// one line naming the folder goes to stderr.
bool SharedDataPresent();
// The message a test that needs the shared data skips with.
std::string SharedDataMissing();
// Skips the current test when the shared data is missing: a checkout on its own still passes,
// while a run that has the data fails on any failing test.
#define QUORVAN_NEEDS_SHARED_DATA()                                                                \
    do {                                                                                           \
        if (!SharedDataPresent())                                                                  \
            GTEST_SKIP() << SharedDataMissing();                                                   \
    } while (0)

// Makes `dir` a program folder whose binary/QUORVAN is the fake player (a symlink) and points
// KatalogExe() at it. The fake player logs to dir/fake.log and follows dir/fake.script when
// the test writes one (FAKEPLAYER_* variables are set for the process).
void StageFakePlayerFolder(const std::string& dir);

// A movie made by ffmpeg at test time (cached in the build folder): `seconds` long, 160x120.
// Returns "" when ffmpeg is missing or failed.
std::string GeneratedMovie(int seconds);
// The same test pattern at `width` x `height` and `fps` frames a second.
std::string GeneratedMovie(int seconds, int width, int height, int fps);

// 32 lowercase hex digits of the MD5 of `bytes`.
std::string Md5Hex(const std::string& bytes);

// True when process `pid` is gone or a zombie (ended, not yet reaped).
bool ProcessGone(pid_t pid);
// The direct children of process `pid`.
std::vector<pid_t> ProcessChildren(pid_t pid);

// Runs a command (argv, no shell) and returns its exit status and merged output.
int RunCommand(const std::vector<std::string>& argv, std::string* output);
// Runs a command with its standard output and error written to the two files (kept apart:
// a tool may write bytes to one and complaints to the other); the exit status, or -1 when it
// could not start or did not exit normally.
int RunCommandToFiles(const std::vector<std::string>& argv, const std::string& outPath,
                      const std::string& errPath);
