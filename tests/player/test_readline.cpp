// Reading the player's output one line at a time, over a real pipe.
#include "player/KomunikacjaZMplayerem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
// All the lines ReadLine delivers for `bytes` written into a pipe that is then closed.
std::vector<std::string> LinesOf(const std::string& bytes) {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    std::thread writer([&] {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fds[1], bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        close(fds[1]);
    });
    std::vector<std::string> lines;
    char buffer[2000];
    while (ReadLine(fds[0], buffer, 1990))
        lines.push_back(buffer);
    writer.join();
    close(fds[0]);
    return lines;
}
} // namespace

TEST(ReadLine, TerminatorsBecomeCarriageReturns) {
    EXPECT_EQ(LinesOf("text\r\nnext\n"), (std::vector<std::string>{"text\r", "\r", "next\r"}));
    EXPECT_EQ(LinesOf("A: 1.0\rA: 2.0\r"), (std::vector<std::string>{"A: 1.0\r", "A: 2.0\r"}));
    EXPECT_EQ(LinesOf("\n\n"), (std::vector<std::string>{"\r", "\r"}));
}

TEST(ReadLine, LongLinesArriveInPiecesOf1988Bytes) {
    std::string longLine(5000, 'x');
    auto lines = LinesOf(longLine + "\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(1988, 'x'));
    EXPECT_EQ(lines[1], std::string(1988, 'x'));
    EXPECT_EQ(lines[2], std::string(1024, 'x') + "\r");
    auto exact = LinesOf(std::string(1988, 'y'));
    ASSERT_EQ(exact.size(), 1u) << "a full piece is delivered even without a terminator";
    EXPECT_EQ(exact[0].size(), 1988u);
}

TEST(ReadLine, AnUnterminatedTailIsNotDelivered) {
    EXPECT_EQ(LinesOf("first\nhalf a line"), (std::vector<std::string>{"first\r"}));
    EXPECT_TRUE(LinesOf("").empty());
}
