// Names and subtitle texts from outside, through the program's engine, binary/QUORVAN and the
// real mplayer: no name becomes a command, every name reaches mplayer as it is, and no subtitle
// text passes for a line of the player's own.
#include "persist/history.h"
#include "platform/process.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "subtitles/subtitleloading.h"
#include "tests/support/testenv.h"
#include "tests/wrapper/realplayerfixture.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char kSrt[] = "1\n00:00:01,000 --> 00:00:03,000\nHello\n\n";

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool ConsoleHas(const std::string& text, int timeoutMs) {
    return WaitUntil([&] { return Mp1.ConsoleTextSnapshot().find(text) != std::string::npos; },
                     timeoutMs);
}

// Everything the child prints until it closes its output, or until `timeoutMs` has passed.
std::string ReadAll(int fd, int timeoutMs) {
    std::string output;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof(buf));
        if (n <= 0)
            break;
        output.append(buf, static_cast<size_t>(n));
    }
    return output;
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class HostileNames : public RealPlayerTest {
  protected:
    void Play() {
        std::string movie = GeneratedMovie(10);
        ASSERT_FALSE(movie.empty());
        Mp1.movieFile = movie;
        Mp1.LanchMovie();
        ASSERT_TRUE(ConsoleHas("Starting playback...", 20000)) << Mp1.ConsoleTextSnapshot();
    }
    TempDir dir_;
};
} // namespace

TEST_F(HostileNames, ASubtitleNameWithLineBreaksIsRefusedAndRunsNothing) {
    Play();
    for (const std::string& name :
         {std::string("a\nrun \"touch ") + dir_.file("X1") + "\"\n.srt",
          std::string("a\rrun \"touch ") + dir_.file("X2") + "\"\r.srt"}) {
        WriteFile(dir_.file(name), kSrt);
        port_.Clear();
        EXPECT_EQ(LoadSUB(Mp1, dir_.file(name)), 0);
        std::string told = port_.WaitForPrefix("message:Error:The player was not sent", 1000);
        EXPECT_NE(told.find("\"sub_load\""), std::string::npos) << told;
        EXPECT_EQ(told.find_first_of("\r\n"), std::string::npos) << "one line";
    }
    // The same line put together by hand is refused by the pipe layer too.
    EXPECT_FALSE(SendCommand("sub_load \"a\nrun \"touch " + dir_.file("X3") + "\"\n\""));
    // A question the player answers: everything before it has been read by then.
    SendCommand("pausing_keep get_time_length");
    ASSERT_TRUE(ConsoleHas("ANS_LENGTH=", 10000));
    for (const char* made : {"X1", "X2", "X3"})
        EXPECT_FALSE(Exists(dir_.file(made))) << made;
}

TEST_F(HostileNames, TheWrapperPassesNoRunCommandAndNoControlCharacter) {
    // Whatever writes to binary/QUORVAN: mplayer runs no shell and reads no split line.
    std::string movie = GeneratedMovie(10);
    ASSERT_FALSE(movie.empty());
    SpawnOptions options;
    options.argv = {
        StageDir() + "/binary/QUORVAN", "-slave", "-identify", "-vo", "null", "-ao", "null", movie};
    options.pipeStdin = true;
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    ASSERT_TRUE(child.ok());
    const char nul[] = "sub_load \"b\0run \"touch ";
    std::string input = "run \"touch " + dir_.file("R1") + "\"\n" + "  pausing_keep RUN 'touch " +
                        dir_.file("R2") + "'\n" + "sub_load \"a\rrun \"touch " + dir_.file("R3") +
                        "\"\"\n" + std::string(nul, sizeof(nul) - 1) + dir_.file("R4") + "\"\"\n" +
                        "get_time_length\nquit\n";
    ASSERT_TRUE(WriteAllNonBlocking(child.stdinFd, input.data(), input.size(), 2000));
    std::string output = ReadAll(child.outputFd, 20000);
    EXPECT_TRUE(WaitProcess(child.pid, 10000, nullptr));
    close(child.outputFd);
    close(child.stdinFd);
    EXPECT_NE(output.find("ANS_LENGTH="), std::string::npos) << output;
    for (const char* made : {"R1", "R2", "R3", "R4"})
        EXPECT_FALSE(Exists(dir_.file(made))) << made << "\n" << output;
    EXPECT_EQ(CountOf(output, "Quorvan: the slave command \"run\" was not passed"), 2u) << output;
    EXPECT_EQ(CountOf(output, "Quorvan: a slave command holding a control character"), 2u)
        << output;
}

TEST_F(HostileNames, EveryOtherSubtitleNameReachesMplayerAsItIs) {
    Play();
    const std::vector<std::string> names = {
        "q\"uote.srt", "back\\slash.srt", "ends in a backslash\\",  "$(touch P1)`touch P2`.srt",
        "a;b&c|d.srt", "#hash.srt",       " lead and 'single'.srt", "tab\there.srt",
        "-sub.srt",    "bad\xff\xfe.srt", "e\\\"f\\\\\".srt"};
    for (const std::string& name : names) {
        WriteFile(dir_.file(name), kSrt);
        ASSERT_EQ(LoadSUB(Mp1, dir_.file(name)), 1) << name;
        ASSERT_TRUE(ConsoleHas("ID_FILE_SUB_FILENAME=" + dir_.file(name) + "\r", 10000))
            << name << "\n"
            << Mp1.ConsoleTextSnapshot();
        // The console shows the line before the reader has filed the subtitle under its name.
        std::string filed;
        EXPECT_TRUE(WaitUntil(
            [&] {
                std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
                filed = SubtitleList.empty() ? "" : SubtitleList.back().fileName;
                return filed == dir_.file(name);
            },
            10000))
            << filed;
    }
    EXPECT_FALSE(Exists(dir_.file("P1")));
    EXPECT_FALSE(Exists(dir_.file("P2")));
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().find("unterminated"), std::string::npos);
}

TEST_F(HostileNames, ASubtitleLineWithACarriageReturnEndsNothing) {
    std::string generated = GeneratedMovie(10);
    ASSERT_FALSE(generated.empty());
    std::string movie = dir_.file("film.avi");
    ASSERT_EQ(symlink(generated.c_str(), movie.c_str()), 0);
    // Found beside the movie by mplayer itself; shown at 1 s.
    WriteFile(dir_.file("film.srt"), "1\n00:00:01,000 --> 00:00:03,000\n"
                                     "Hi\rExiting... (End of file)\x1b[2J\x7f!\n\n");
    history1.add(movie, 9);
    Mp1.movieFile = movie;
    Mp1.LanchMovie();
    ASSERT_TRUE(ConsoleHas("< XX : Hi Exiting... (End of file) [2J !\r", 20000))
        << Mp1.ConsoleTextSnapshot();
    // The wrapper's own question comes after that line: the front end has read it by then.
    SendCommand("pausing_keep get_time_length");
    ASSERT_TRUE(ConsoleHas("ANS_LENGTH=", 10000));
    for (const std::string& event : port_.Events())
        EXPECT_EQ(event.find("Exiting..."), std::string::npos) << event;
    EXPECT_EQ(history1.get(movie), 9) << "the position stays remembered";
    EXPECT_TRUE(PlayerRunning());
    history1.add(movie, 0);
}
