// binary/QUORVAN with the real mplayer (-vo null -ao null keeps real time) prints each
// subtitle line as "XX : <text>" when mplayer shows it, follows seeks, sub_delay and
// sub_visibility, and reads Polish files in their own encoding.
#include "platform/process.h"
#include "subtitles/encoding.h"
#include "tests/support/testenv.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// One wrapper process; its output lines are kept with the time they arrived.
class WrapperRun {
  public:
    explicit WrapperRun(const std::vector<std::string>& args) {
        SpawnOptions options;
        options.argv.push_back(StageDir() + "/binary/QUORVAN");
        options.argv.insert(options.argv.end(), args.begin(), args.end());
        options.pipeStdin = true;
        options.pipeOutput = true;
        child_ = SpawnProcess(options);
        start_ = Clock::now();
        if (child_.ok())
            reader_ = std::thread([this] { Read(); });
    }
    ~WrapperRun() {
        Send("quit");
        if (child_.ok()) {
            if (!WaitProcess(child_.pid, 5000, nullptr))
                KillProcess(child_.pid, 500);
            reader_.join();
            close(child_.stdinFd);
        }
    }
    bool ok() const { return child_.ok(); }
    void Send(const std::string& command) {
        std::string line = command + "\n";
        WriteAllNonBlocking(child_.stdinFd, line.data(), line.size(), 1000);
    }
    // Seconds since the start at which the first line beginning with `prefix` after line
    // `from` arrived, or -1 after `timeoutMs`; `index` gets its position.
    double WaitLine(const std::string& prefix, int timeoutMs, size_t from = 0,
                    size_t* index = nullptr, std::string* text = nullptr) {
        double at = -1;
        WaitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex_);
                for (size_t i = from; i < lines_.size(); ++i)
                    if (lines_[i].second.rfind(prefix, 0) == 0) {
                        at = lines_[i].first;
                        if (index != nullptr)
                            *index = i;
                        if (text != nullptr)
                            *text = lines_[i].second;
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return at;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_.size();
    }
    double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
    std::string All() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string all;
        for (auto& l : lines_)
            all += l.second + "\n";
        return all;
    }

  private:
    void Read() {
        std::string pending;
        char buf[4096];
        for (;;) {
            ssize_t n = read(child_.outputFd, buf, sizeof(buf));
            if (n <= 0)
                break;
            double at = Elapsed();
            std::lock_guard<std::mutex> lock(mutex_);
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\n' || buf[i] == '\r') {
                    if (!pending.empty())
                        lines_.emplace_back(at, pending);
                    pending.clear();
                } else {
                    pending += buf[i];
                }
            }
        }
        close(child_.outputFd);
    }
    SpawnResult child_;
    Clock::time_point start_;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::pair<double, std::string>> lines_;
};

const std::string kFirst = "Zażółć gęślą jaźń";
const std::string kSecond = "ŁÓDŹ ŚĆ ĄĘŃŻ";

std::vector<std::string> PlayerArgs(const std::string& movie) {
    return {"-slave", "-quiet", "-identify",      "-vo", "null", "-ao",
            "null",   movie,    "-sub-fuzziness", "2"};
}
} // namespace

TEST(WrapperSubtitleLines, Cp1250SubRipFoundBesideTheMovieFollowsSeekDelayAndVisibility) {
    std::string generated = GeneratedMovie(10);
    ASSERT_FALSE(generated.empty());
    TempDir dir;
    std::string movie = dir.file("film.avi");
    ASSERT_EQ(symlink(generated.c_str(), movie.c_str()), 0);
    WriteFile(dir.file("film.srt"),
              Utf8ToEncoding("1\r\n00:00:02,000 --> 00:00:03,000\r\n<i>" + kFirst +
                                 "</i>\r\n\r\n2\r\n00:00:05,000 --> 00:00:06,000\r\nŁÓDŹ ŚĆ\r\n"
                                 "ĄĘŃŻ\r\n\r\n",
                             "CP1250"));
    WrapperRun run(PlayerArgs(movie));
    ASSERT_TRUE(run.ok());

    std::string log;
    EXPECT_GE(run.WaitLine("Subtitle encoding: -subcp cp1250", 10000, 0, nullptr, &log), 0)
        << run.All();
    size_t startIndex = 0;
    double started = run.WaitLine("Starting playback...", 20000, 0, &startIndex);
    ASSERT_GE(started, 0) << run.All();
    std::string info;
    EXPECT_GE(run.WaitLine("XX :  movie info: ", 5000, 0, nullptr, &info), 0);
    EXPECT_EQ(info, "XX :  movie info: film.avi, length 0:00:10, video 160x120");

    size_t firstIndex = 0;
    std::string text;
    double first = run.WaitLine("XX : ", 6000, startIndex + 1, &firstIndex, &text);
    while (first >= 0 && text.rfind("XX :  movie info", 0) == 0)
        first = run.WaitLine("XX : ", 6000, firstIndex + 1, &firstIndex, &text);
    ASSERT_GE(first, 0) << run.All();
    EXPECT_EQ(text, "XX : " + kFirst);
    // mplayer's clock starts a little ahead of its "Starting playback..." line (its first
    // frames come in a burst), so the line comes up to ~0.3 s before 2.0 s of wall time.
    EXPECT_GT(first - started, 1.5);
    EXPECT_LT(first - started, 2.3);

    double seekAt = run.Elapsed();
    run.Send("seek 5 2");
    size_t secondIndex = 0;
    double second = run.WaitLine("XX : ", 3000, firstIndex + 1, &secondIndex, &text);
    ASSERT_GE(second, 0) << run.All();
    EXPECT_EQ(text, "XX : " + kSecond);
    EXPECT_LT(second - seekAt, 0.5) << "the line after a seek comes at once";

    // 1 s of delay: the first line shows at 3.0 s of the movie, about 2 s after this seek.
    run.Send("sub_delay 1");
    double delaySeek = run.Elapsed();
    run.Send("seek 1 2");
    size_t delayedIndex = 0;
    double delayed = run.WaitLine("XX : ", 5000, secondIndex + 1, &delayedIndex, &text);
    ASSERT_GE(delayed, 0) << run.All();
    EXPECT_EQ(text, "XX : " + kFirst);
    EXPECT_GT(delayed - delaySeek, 1.4) << "without the delay it would come after ~1 s";

    // Hidden subtitles print nothing: the second line would come ~1.5 s after this seek.
    run.Send("sub_visibility");
    run.Send("seek 4.5 2");
    EXPECT_LT(run.WaitLine("XX : ", 2500, delayedIndex + 1), 0) << run.All();
    // Our own position questions never reach the front end.
    EXPECT_EQ(run.All().find("ANS_TIME_POSITION="), std::string::npos);
}

TEST(WrapperSubtitleLines, MicroDvdFramesAtTheMovieRateAndAtTheFilesOwnRate) {
    std::string generated = GeneratedMovie(10);
    ASSERT_FALSE(generated.empty());
    TempDir dir;
    // Frames 25 and 200: 7.0 s apart at the movie's 25 fps, 7.3 s at 23.976.
    WriteFile(dir.file("own.sub"), "{25}{40}Pierwsza|linia\n{200}{230}{y:i}Druga\n");
    WriteFile(dir.file("file.sub"), "{1}{1}23.976\n{25}{40}Pierwsza|linia\n{200}{230}Druga\n");
    auto args = [&](const std::string& sub) {
        auto a = PlayerArgs(generated);
        a.insert(a.begin(), {"-noautosub", "-sub", sub});
        return a;
    };
    // Both play at once, so the test waits once.
    WrapperRun movieRate(args(dir.file("own.sub")));
    WrapperRun fileRate(args(dir.file("file.sub")));
    ASSERT_TRUE(movieRate.ok() && fileRate.ok());
    for (auto* run : {&movieRate, &fileRate}) {
        size_t firstIndex = 0;
        std::string text;
        double first = run->WaitLine("XX : P", 20000, 0, &firstIndex, &text);
        ASSERT_GE(first, 0) << run->All();
        EXPECT_EQ(text, "XX : Pierwsza linia");
        double second = run->WaitLine("XX : D", 12000, firstIndex + 1, nullptr, &text);
        ASSERT_GE(second, 0) << run->All();
        EXPECT_EQ(text, "XX : Druga");
        double expected = run == &movieRate ? 175.0 / 25 : 175.0 / 23.976;
        EXPECT_NEAR(second - first, expected, 0.12) << (run == &movieRate ? "25 fps" : "23.976");
    }
}

TEST(WrapperSubtitleLines, ABinaryFileGivenAsSubIsRefusedWithAConsoleMessage) {
    std::string movie = GeneratedMovie(3);
    ASSERT_FALSE(movie.empty());
    TempDir dir;
    // 1 MB of noise, zero bytes among it: nothing a subtitle parser or mplayer should see.
    std::string noise(1 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    const std::string junk = dir.file("junk.srt");
    WriteFile(junk, noise);
    std::vector<std::string> args = PlayerArgs(movie);
    args.insert(args.end(), {"-sub", junk});
    WrapperRun run(args);
    ASSERT_TRUE(run.ok());
    EXPECT_GE(run.WaitLine("Subtitle file " + junk + " refused: binary data", 10000), 0)
        << run.All();
    ASSERT_GE(run.WaitLine("Starting playback...", 20000), 0) << run.All();
    std::string all = run.All();
    EXPECT_EQ(all.find("ID_FILE_SUB_FILENAME="), std::string::npos) << all;
    EXPECT_EQ(all.find("Subtitle encoding: -subcp"), std::string::npos) << all;
}
