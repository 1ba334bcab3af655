// binary/QUORVAN as a process, with the fake player standing in for mplayer.
#include "platform/process.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct WrapperRun {
    std::string output;
    int status = 0;
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
        run.output.append(buf, static_cast<size_t>(n));
    }
    close(child.outputFd);
    if (child.stdinFd >= 0)
        close(child.stdinFd);
    if (!WaitProcess(child.pid, 5000, &run.status)) {
        KillProcess(child.pid, 100);
        ADD_FAILURE() << "the wrapper did not end";
    }
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
                                        "pulse,alsa,null", "movie.avi"}));
}

TEST(WrapperProcess, APlayerKilledBySignalIsReportedAsACrash) {
    TempDir dir;
    auto run = RunWrapper(dir, "print playing\ncrash\n", {"movie.avi"}, "", false);
    EXPECT_NE(run.output.find("playing\n- Pelnix crashed by bad usage of CPU/FPU/RAM\n"),
              std::string::npos)
        << run.output;
    auto clean = RunWrapper(dir, "print bye\nexit 3\n", {"movie.avi"}, "", false);
    EXPECT_EQ(clean.output.find("crashed"), std::string::npos);
    EXPECT_EQ(WEXITSTATUS(clean.status), 3) << "the wrapper exits with its player";
}
