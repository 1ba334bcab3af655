#include "tests/support/testenv.h"

#include "platform/paths.h"
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mbedtls/md5.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = GetTempDirectory() + "quorvan-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    char* made = mkdtemp(buf.data());
    path_ = made != nullptr ? made : "";
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty())
        fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string TestBinDir() {
    return QUORVAN_TEST_BIN;
}
std::string StageDir() {
    return QUORVAN_STAGE_DIR;
}
std::string SourceDir() {
    return QUORVAN_SOURCE_DIR;
}
std::string SharedDir() {
    return QUORVAN_SHARED_DIR;
}
std::string SharedDataMissing() {
    return "the shared test data is missing: no folder " + SharedDir() +
           "/testdata (the tests that read it are skipped)";
}
bool SharedDataPresent() {
    static const bool present = [] {
        bool there = fs::is_directory(SharedDir() + "/testdata");
        if (!there)
            std::fprintf(stderr, "%s\n", SharedDataMissing().c_str());
        return there;
    }();
    return present;
}

void StageFakePlayerFolder(const std::string& dir) {
    fs::create_directories(dir + "/binary");
    std::error_code ec;
    fs::remove(dir + "/binary/QUORVAN", ec);
    fs::create_symlink(TestBinDir() + "/fakeplayer", dir + "/binary/QUORVAN");
    SetProgramFolder(dir + "/");
    setenv("FAKEPLAYER_LOG", (dir + "/fake.log").c_str(), 1);
    setenv("FAKEPLAYER_SCRIPT", (dir + "/fake.script").c_str(), 1);
}

int RunCommand(const std::vector<std::string>& argv, std::string* output) {
    SpawnOptions options;
    options.argv = argv;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return -1;
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(child.outputFd, buf, sizeof(buf))) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(child.outputFd);
    int status = 0;
    WaitProcess(child.pid, -1, &status);
    if (output != nullptr)
        *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunCommandToFiles(const std::vector<std::string>& argv, const std::string& outPath,
                      const std::string& errPath) {
    std::vector<std::string> args = argv;
    std::vector<char*> raw;
    for (std::string& a : args)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid;
    int result = -1;
    if (posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

std::string GeneratedMovie(int seconds) {
    return GeneratedMovie(seconds, 160, 120, 25);
}

std::string GeneratedMovie(int seconds, int width, int height, int fps) {
    std::string dir = std::string(QUORVAN_TEST_BIN) + "/movies";
    fs::create_directories(dir);
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    // The first movies had no size in their names; they keep them.
    std::string suffix =
        size == "160x120" && fps == 25 ? "" : "_" + size + "_" + std::to_string(fps);
    std::string path = dir + "/sample" + std::to_string(seconds) + "s" + suffix + ".avi";
    if (fs::exists(path) && fs::file_size(path) > 0)
        return path;
    // Written under a temporary name first, so parallel tests never see half a movie.
    std::string tmp = path + "." + std::to_string(getpid()) + ".avi";
    std::string duration = std::to_string(seconds);
    int rc = RunCommand(
        {"ffmpeg",
         "-v",
         "error",
         "-y",
         "-f",
         "lavfi",
         "-i",
         "testsrc=size=" + size + ":rate=" + std::to_string(fps) + ":duration=" + duration,
         "-f",
         "lavfi",
         "-i",
         "sine=frequency=440:duration=" + duration,
         "-c:v",
         "mpeg4",
         "-q:v",
         "5",
         "-c:a",
         "libmp3lame",
         "-b:a",
         "64k",
         "-shortest",
         tmp},
        nullptr);
    if (rc != 0)
        return "";
    fs::rename(tmp, path);
    return path;
}

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[16];
    mbedtls_md5_ret(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

bool ProcessGone(pid_t pid) {
    // A process that ends between the open and the read fails the read (ESRCH): ReadFile gives
    // what it got, where a stream buffer iterator would throw.
    std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = text.rfind(')');
    return close == std::string::npos || text.compare(close + 2, 1, "Z") == 0;
}

std::vector<pid_t> ProcessChildren(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> out;
    for (pid_t child; in >> child;)
        out.push_back(child);
    return out;
}
