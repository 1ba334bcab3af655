// binary/QUORVAN as a process, with the fake player standing in for mplayer.
#include "platform/process.h"
#include "tests/support/testenv.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct WrapperRun {
    std::string output; // its first MiB
    size_t bytes = 0;   // all it wrote
    int status = 0;
    long maxRssKb = 0; // the wrapper's peak resident size
    std::chrono::milliseconds tookAfterInput{0};
};

// Runs the staged wrapper with `args`, feeding `input` and then closing its stdin (unless
// keepStdinOpenUntilExit, used to see the wrapper end with its player).
WrapperRun RunWrapper(const TempDir& dir, const std::string& script,
                      const std::vector<std::string>& args, const std::string& input,
                      bool closeStdin = true) {
    WriteFile(dir.file("fake.script"), script);
    setenv("QUORVAN_MPLAYER", (TestBinDir() + "/fakeplayer").c_str(), 1);
    setenv("FAKEPLAYER_LOG", dir.file("fake.log").c_str(), 1);
    setenv("FAKEPLAYER_SCRIPT", dir.file("fake.script").c_str(), 1);
    SpawnOptions options;
    options.argv = {StageDir() + "/binary/QUORVAN"};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    EXPECT_TRUE(child.ok());
    WrapperRun run;
    if (!child.ok())
        return run;
    WriteAllNonBlocking(child.stdinFd, input.data(), input.size(), 2000);
    auto inputDone = std::chrono::steady_clock::now();
    if (closeStdin) {
        close(child.stdinFd);
        child.stdinFd = -1;
    }
    char buf[4096];
    while (true) {
        pollfd p{child.outputFd, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            break; // a hang fails the test below
        ssize_t n = read(child.outputFd, buf, sizeof(buf));
        if (n <= 0)
            break;
        run.bytes += static_cast<size_t>(n);
        if (run.output.size() < (1u << 20))
            run.output.append(buf, static_cast<size_t>(n));
    }
    close(child.outputFd);
    if (child.stdinFd >= 0)
        close(child.stdinFd);
    rusage usage{};
    bool ended = WaitUntil(
        [&] { return wait4(child.pid, &run.status, WNOHANG, &usage) == child.pid; }, 5000);
    if (!ended) {
        KillProcess(child.pid, 100);
        ADD_FAILURE() << "the wrapper did not end";
    }
    run.maxRssKb = usage.ru_maxrss;
    run.tookAfterInput = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - inputDone);
    unsetenv("QUORVAN_MPLAYER");
    return run;
}

std::vector<std::string> Logged(const TempDir& dir, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& line : ReadLines(dir.file("fake.log")))
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line.substr(prefix.size()));
    return out;
}
} // namespace

TEST(WrapperProcess, BannerFirstThenOutputUnchangedWithCarriageReturns) {
    TempDir dir;
    auto run = RunWrapper(dir, "raw A:   1.0 V:   1.0\\rA:   2.0\\r\\nID_LENGTH=3.00\\n\n",
                          {"-slave", "movie.avi"}, "pause\nquit\n");
    ASSERT_EQ(run.output.rfind("Quorvan", 0), 0u) << run.output;
    size_t eol = run.output.find('\n');
    EXPECT_EQ(run.output.substr(eol + 1), "A:   1.0 V:   1.0\rA:   2.0\r\nID_LENGTH=3.00\n");
    EXPECT_EQ(Logged(dir, "stdin: "), (std::vector<std::string>{"pause", "quit"}));
    EXPECT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
}

TEST(WrapperProcess, EndOfInputMeansQuit) {
    TempDir dir;
    auto run = RunWrapper(dir, "print ready\n", {"movie.avi"}, "volume 5 1\n");
    EXPECT_EQ(Logged(dir, "stdin: "), (std::vector<std::string>{"volume 5 1", "quit"}));
}

TEST(WrapperProcess, WindowsOptionsDoNotReachMplayer) {
    TempDir dir;
    RunWrapper(dir, "print ready\n",
               {"-slave", "-ao", "win32", "-vo", "null", "-colorkey", "0x101010", "movie.avi"}, "");
    auto argv = Logged(dir, "argv: ");
    EXPECT_EQ(std::vector<std::string>(argv.begin() + 1, argv.end()),
              (std::vector<std::string>{"-nolirc", "-slave", "-vo", "null", "-ao",
                                        "pulse,alsa,null", "-subcp", "UTF-8", "movie.avi"}));
}

// A crash is told as what it was: the signal or the exit code, and the player's error line that
// explains it (the first X error, as later ones only follow from it). mplayer's own fixed crash
// text gives way to that line; a player that ends as players do is no crash.
TEST(WrapperProcess, APlayerThatDiesIsReportedWithItsSignalOrExitCodeAndItsLastError) {
    TempDir dir;
    auto run = RunWrapper(dir,
                          "print X11 error: BadMatch (invalid parameter attributes)\n"
                          "print Starting playback...\n"
                          "print playing\nprint X11 error: BadWindow (invalid Window parameter)\n"
                          "print X11 error: BadDrawable (invalid Pixmap or Window parameter)\n"
                          "crash\n",
                          {"movie.avi"}, "", false);
    EXPECT_NE(run.output.find("- Pelnix crashed: mplayer ended by signal 11 (Segmentation fault); "
                              "last error: X11 error: BadWindow (invalid Window parameter)\n"),
              std::string::npos)
        << run.output;

    auto xlib = RunWrapper(dir,
                           "print X Error of failed request:  BadGC (invalid GC parameter)\n"
                           "exit 1\n",
                           {"movie.avi"}, "", false);
    EXPECT_NE(xlib.output.find("- Pelnix crashed: mplayer ended with exit code 1; last error: X "
                               "Error of failed request:  BadGC (invalid GC parameter)\n"),
              std::string::npos)
        << xlib.output;

    auto own = RunWrapper(dir,
                          "print Failed to recognize file format.\n"
                          "print MPlayer interrupted by signal 11 in module: decode_video\n"
                          "print - MPlayer crashed by bad usage of CPU/FPU/RAM.\nexit 1\n",
                          {"movie.avi"}, "", false);
    EXPECT_EQ(own.output.find("bad usage"), std::string::npos) << own.output;
    EXPECT_NE(own.output.find("- Pelnix crashed: MPlayer interrupted by signal 11 in module: "
                              "decode_video; last error: Failed to recognize file format.\n"),
              std::string::npos)
        << own.output;

    auto clean =
        RunWrapper(dir, "print bye\nprint Exiting... (Quit)\nexit 3\n", {"movie.avi"}, "", false);
    EXPECT_EQ(clean.output.find("crashed"), std::string::npos) << clean.output;
    EXPECT_EQ(WEXITSTATUS(clean.status), 3) << "the wrapper exits with its player";
}

TEST(WrapperProcess, APlayerThatIgnoresQuitAndSigtermIsEndedWithWhatItStarted) {
    TempDir dir;
    auto run = RunWrapper(dir, "print playing\nstubborn\n", {"movie.avi"}, "pause\n");
    EXPECT_LT(run.tookAfterInput, std::chrono::milliseconds(4000)) << "it waited for the pipe";
    auto pids = Logged(dir, "pid: ");
    auto children = Logged(dir, "child: ");
    ASSERT_EQ(pids.size(), 1u);
    ASSERT_EQ(children.size(), 1u);
    for (const auto& pid : {pids[0], children[0]})
        EXPECT_TRUE(WaitUntil([&] { return ProcessGone(std::stoi(pid)); }, 3000)) << pid;
    EXPECT_EQ(run.output.find("crashed"), std::string::npos) << "we ended it: no crash";
}

TEST(WrapperProcess, OutputWithoutLineEndsIsPassedOnWithBoundedMemory) {
    TempDir dir;
    // Stdin stays open so that the end of input (quit, then a kill 1.5 s later) cannot cut the
    // flood short on a slow machine; the player ends by itself.
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer keeps freed blocks in quarantine, which would count as held data.
    setenv("ASAN_OPTIONS", "detect_leaks=1:quarantine_size_mb=0", 1);
    const long limitKb = 96 * 1024;
#else
    const long limitKb = 16 * 1024;
#endif
    // Measured against a run of one line (which also learns the player's options, so that
    // neither that nor a sanitizer's own memory counts as held output).
    auto quiet = RunWrapper(dir, "print end\n", {"movie.avi"}, "");
    auto run = RunWrapper(dir, "flood 100\nprint end\nexit 0\n", {"movie.avi"}, "", false);
    const size_t flood = 100u << 20;
    EXPECT_GE(run.bytes, flood);
    EXPECT_NE(run.output.find(std::string(1000, 'x')), std::string::npos);
    EXPECT_GT(quiet.maxRssKb, 0);
    EXPECT_LT(run.maxRssKb - quiet.maxRssKb, limitKb) << "the wrapper held the flood";
}

TEST(WrapperProcess, AMissingPlayerIsAFatalErrorWithTheReason) {
    TempDir dir;
    setenv("QUORVAN_MPLAYER", dir.file("no-mplayer").c_str(), 1);
    std::string output;
    int status = RunCommand({StageDir() + "/binary/QUORVAN", "-slave", "movie.avi"}, &output);
    unsetenv("QUORVAN_MPLAYER");
    EXPECT_NE(output.find("\nExiting... (Fatal error) cannot start mplayer: " +
                          dir.file("no-mplayer") + ": No such file or directory\n"),
              std::string::npos)
        << output;
    EXPECT_NE(status, 0);
}
