// The preview's frame server with the real player on a movie of ten solid-coloured 10-second
// segments whose keyframes lie only at the segments' starts: a request is answered first by
// the keyframe a seek reaches (the next segment's colour), then by the frame of its own time;
// a sweep of a hundred requests is not queued and its last request is answered; repeated points
// come from the frames kept; the player runs at nice 10 and ends when idle, when the movie
// changes and with the server; nothing starts while a series runs, nor for what is no movie.
#include "platform/paths.h"
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"
#include "thumbs/frameserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {
using Clock = std::chrono::steady_clock;

// Frames as the server hands them over, on its thread.
class Frames {
  public:
    void Add(const PreviewFrame& frame) {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(frame);
    }
    std::vector<PreviewFrame> All() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }
    // The exact frame of request `number`, waited for.
    bool WaitExact(unsigned long long number, PreviewFrame* out, int timeoutMs = 10000) {
        return WaitUntil(
            [&] {
                for (const PreviewFrame& f : All())
                    if (f.request == number && f.exact) {
                        *out = f;
                        return true;
                    }
                return false;
            },
            timeoutMs);
    }
    std::vector<PreviewFrame> Of(unsigned long long number) {
        std::vector<PreviewFrame> out;
        for (const PreviewFrame& f : All())
            if (f.request == number)
                out.push_back(f);
        return out;
    }

  private:
    std::mutex mutex_;
    std::vector<PreviewFrame> frames_;
};

int Segment(const QImage& picture) {
    if (picture.isNull())
        return -1;
    double distance = 0;
    int k = NearestSegment(picture.pixel(picture.width() / 2, picture.height() / 2) & 0xffffff,
                           &distance);
    return distance < 60 ? k : -1;
}

// The nice value of a process, -100 when it is gone.
int NiceOf(pid_t pid) {
    std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -100;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Fields from the state (3rd) on; the nice value is the 19th.
    for (int i = 3; i <= 19 && fields >> field; ++i)
        if (i == 19)
            return std::stoi(field);
    return -100;
}

// Gone, or a zombie nobody will ever run again.
class FrameServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetProgramFolder(StageDir());
        movie_ = ColourSegmentsMovie();
        ASSERT_FALSE(movie_.empty()) << "ffmpeg could not make the movie";
    }
    void TearDown() override { SetProgramFolder(""); }
    FrameServerOptions Options() {
        FrameServerOptions o;
        o.width = 96;
        o.onFrame = [this](const PreviewFrame& f) { frames_.Add(f); };
        o.onRefused = [this](const std::string& movie, const std::string& why) {
            std::lock_guard<std::mutex> lock(refusedMutex_);
            refused_.push_back(movie + ": " + why);
        };
        return o;
    }
    std::vector<std::string> Refused() {
        std::lock_guard<std::mutex> lock(refusedMutex_);
        return refused_;
    }
    std::string movie_;
    Frames frames_;
    std::mutex refusedMutex_;
    std::vector<std::string> refused_;
};
} // namespace

TEST_F(FrameServerTest, TheKeyframeComesFirstThenTheFrameOfItsTimeLooseAndFromAStoredSet) {
    FrameServer server(Options());
    EXPECT_EQ(server.PlayerPid(), 0) << "nothing runs before the first request";
    unsigned long long first = server.Request(movie_, 55);
    ASSERT_NE(first, 0u);
    PreviewFrame exact;
    ASSERT_TRUE(frames_.WaitExact(first, &exact));
    EXPECT_EQ(Segment(exact.image), 5);
    EXPECT_NEAR(exact.seconds, 55, 0.1);
    EXPECT_EQ(exact.image.width(), 96);
    std::vector<PreviewFrame> answers = frames_.Of(first);
    ASSERT_EQ(answers.size(), 2u) << "the keyframe picture, then the exact one";
    EXPECT_FALSE(answers[0].exact);
    EXPECT_NEAR(answers[0].seconds, 60, 0.1) << "a seek lands on the next keyframe";
    EXPECT_EQ(Segment(answers[0].image), 6);

    const pid_t wrapper = server.PlayerPid();
    ASSERT_GT(wrapper, 0);
    EXPECT_EQ(NiceOf(wrapper), 10);
    std::vector<pid_t> children = ProcessChildren(wrapper);
    ASSERT_EQ(children.size(), 1u) << "the wrapper's mplayer";
    EXPECT_EQ(NiceOf(children[0]), 10) << "mplayer inherits the lower priority";

    // A frame at a keyframe needs no decoding; a point asked again comes from the frames kept.
    unsigned long long atKey = server.Request(movie_, 20);
    PreviewFrame key;
    ASSERT_TRUE(frames_.WaitExact(atKey, &key));
    EXPECT_EQ(Segment(key.image), 2);
    EXPECT_EQ(frames_.Of(atKey).size(), 1u);
    unsigned long long fifteen = server.Request(movie_, 15);
    PreviewFrame one;
    ASSERT_TRUE(frames_.WaitExact(fifteen, &one));
    EXPECT_EQ(Segment(one.image), 1);
    EXPECT_FALSE(one.fromCache);
    const auto asked = Clock::now();
    unsigned long long again = server.Request(movie_, 55);
    PreviewFrame cached;
    ASSERT_TRUE(frames_.WaitExact(again, &cached));
    EXPECT_TRUE(cached.fromCache);
    EXPECT_EQ(frames_.Of(again).size(), 1u) << "no keyframe picture before a kept exact one";
    EXPECT_EQ(Segment(cached.image), 5);
    EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(500));

    // Another movie: the player of the first one ends, one on the stored set takes over.
    TempDir set;
    std::string made;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v8k", "-vn",
                          set.file("colours.rar"), movie_},
                         &made),
              0)
        << made;
    unsigned long long stored = server.Request(set.file("colours.rar"), 35);
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(wrapper) && ProcessGone(children[0]); }, 10000))
        << "the first movie's player ends";
    PreviewFrame fromSet;
    ASSERT_TRUE(frames_.WaitExact(stored, &fromSet));
    EXPECT_EQ(Segment(fromSet.image), 3);
    EXPECT_NEAR(fromSet.seconds, 35, 0.1);
    EXPECT_FALSE(fromSet.fromCache) << "the frames of the other movie are not this one's";
    EXPECT_NE(server.PlayerPid(), wrapper);
    EXPECT_TRUE(Refused().empty());
}

TEST_F(FrameServerTest, ASweepIsNotQueuedAndItsLastPointIsAnswered) {
    FrameServer server(Options());
    PreviewFrame warm;
    ASSERT_TRUE(frames_.WaitExact(server.Request(movie_, 5), &warm));
    const unsigned long long before = server.Served();
    unsigned long long last = 0;
    for (int i = 1; i <= 99; ++i)
        last = server.Request(movie_, i);
    last = server.Request(movie_, 77);
    PreviewFrame end;
    ASSERT_TRUE(frames_.WaitExact(last, &end));
    EXPECT_EQ(Segment(end.image), 7);
    EXPECT_NEAR(end.seconds, 77, 0.1);
    EXPECT_LE(server.Served() - before, 5u) << "a hundred requests, only the newest waits";
}

TEST_F(FrameServerTest, ThePlayerEndsWhenIdleAndWithTheServerAndStartsOnlyForMovies) {
    EXPECT_EQ(FrameServerOptions{}.idleMs, 30000) << "30 s after the last request by default";
    std::atomic<int> askedBlocked{0};
    std::atomic<bool> series{true};
    FrameServerOptions options = Options();
    options.blocked = [&] {
        ++askedBlocked;
        return series.load();
    };
    auto server = std::make_unique<FrameServer>(options);
    EXPECT_EQ(server->IdleLimit(), 30000);

    // A thumbnail series runs: no player is started for it.
    server->Request(movie_, 30);
    ASSERT_TRUE(WaitUntil([&] { return askedBlocked > 0; }, 5000));
    EXPECT_EQ(server->PlayerPid(), 0);
    series = false;

    server->SetIdleLimit(1500);
    const auto lastRequest = Clock::now();
    unsigned long long number = server->Request(movie_, 30);
    PreviewFrame frame;
    ASSERT_TRUE(frames_.WaitExact(number, &frame));
    const pid_t wrapper = server->PlayerPid();
    ASSERT_GT(wrapper, 0);
    // The wrapper's one child is mplayer (a short-lived helper of its start may still be there).
    std::vector<pid_t> children;
    ASSERT_TRUE(WaitUntil(
        [&] {
            children = ProcessChildren(wrapper);
            return children.size() == 1u;
        },
        1000))
        << children.size();
    ASSERT_TRUE(WaitUntil([&] { return server->PlayerPid() == 0; }, 10000));
    EXPECT_GE(Clock::now() - lastRequest, std::chrono::milliseconds(1500)) << "not before its time";
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(wrapper) && ProcessGone(children[0]); }, 5000));

    // Started again by the next request, and ended with the server.
    number = server->Request(movie_, 45);
    ASSERT_TRUE(frames_.WaitExact(number, &frame));
    EXPECT_EQ(Segment(frame.image), 4);
    const pid_t second = server->PlayerPid();
    ASSERT_GT(second, 0);
    const std::vector<pid_t> secondChildren = ProcessChildren(second);
    ASSERT_EQ(secondChildren.size(), 1u);
    server.reset();
    EXPECT_TRUE(ProcessGone(second)) << "reaped before the server is gone";
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(secondChildren[0]); }, 3000));

    // What is no movie file starts nothing.
    FrameServer names(Options());
    EXPECT_EQ(names.Request("-", 3), 0u);
    EXPECT_EQ(names.Request("http://127.0.0.1:1/movie.avi", 3), 0u);
    EXPECT_EQ(names.Request("dvd://1", 3), 0u);
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo.mkv").c_str(), 0600), 0);
    names.Request(dir.file("fifo.mkv"), 3);
    ASSERT_TRUE(WaitUntil([&] { return !Refused().empty(); }, 5000));
    EXPECT_NE(Refused()[0].find("a FIFO, not a movie file"), std::string::npos) << Refused()[0];
    WriteFile(dir.file("damaged.mkv"), std::string(50000, 'x'));
    names.Request(dir.file("damaged.mkv"), 3);
    ASSERT_TRUE(WaitUntil([&] { return Refused().size() == 2; }, 15000));
    EXPECT_NE(Refused()[1].find("the player cannot play it"), std::string::npos) << Refused()[1];
    EXPECT_EQ(names.PlayerPid(), 0);
    EXPECT_TRUE(frames_.All().size() >= 1);
}
