#include "platform/process.h"
#include "tests/support/testenv.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(Processes, PipesCarryInputAndMergedOutput) {
    SpawnOptions options;
    options.argv = {"/bin/sh", "-c", "read x; echo out:$x; echo err:$x >&2"};
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    ASSERT_TRUE(child.ok());
    ASSERT_TRUE(WriteAllNonBlocking(child.stdinFd, "hi\n", 3, 1000));
    close(child.stdinFd);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(child.outputFd, buf, sizeof(buf))) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(child.outputFd);
    int status = 0;
    ASSERT_TRUE(WaitProcess(child.pid, 5000, &status));
    EXPECT_EQ(out, "out:hi\nerr:hi\n");
}

TEST(Processes, MissingProgramFailsWithoutLeakingDescriptors) {
    int before = CountOpenDescriptors();
    SpawnOptions options;
    options.argv = {"/nonexistent/program"};
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    EXPECT_FALSE(child.ok());
    EXPECT_NE(child.error, 0);
    EXPECT_EQ(CountOpenDescriptors(), before);
}

TEST(Processes, WritingToAnEndedChildFailsAtOnceWithoutSigpipe) {
    IgnoreSigPipe();
    SpawnOptions options;
    options.argv = {"/bin/true"};
    options.pipeStdin = true;
    SpawnResult child = SpawnProcess(options);
    ASSERT_TRUE(child.ok());
    ASSERT_TRUE(WaitProcess(child.pid, 5000, nullptr));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WriteAllNonBlocking(child.stdinFd, "x\n", 2, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    close(child.stdinFd);
}

TEST(Processes, AFullPipeTimesOutInsteadOfBlocking) {
    SpawnOptions options;
    options.argv = {"/bin/sleep", "5"};
    options.pipeStdin = true;
    SpawnResult child = SpawnProcess(options);
    ASSERT_TRUE(child.ok());
    std::string big(1 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WriteAllNonBlocking(child.stdinFd, big.data(), big.size(), 200));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    close(child.stdinFd);
    KillProcess(child.pid, 100);
}

TEST(Processes, KillProcessEndsAStubbornChild) {
    SpawnOptions options;
    options.argv = {"/bin/sh", "-c", "trap '' TERM; sleep 30"};
    SpawnResult child = SpawnProcess(options);
    ASSERT_TRUE(child.ok());
    auto start = std::chrono::steady_clock::now();
    KillProcess(child.pid, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(waitpid(child.pid, nullptr, WNOHANG), -1) << "the child must have been reaped";
}
