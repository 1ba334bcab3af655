// `quorvan frame` with the real mplayer on a movie of ten solid-coloured 10-second segments
// whose keyframes lie only at the segments' starts: the frame of a time inside a segment has
// that segment's colour (a seek alone would show the next one), loose and from a stored RAR
// set; a folder, a FIFO, a damaged file and a time past the end are refused with a reason.
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {
struct FrameRun {
    int status = -1;
    std::string output;
    QImage picture;
};

FrameRun Frame(const std::string& movie, const std::string& at, const std::string& out,
               const std::vector<std::string>& more = {}) {
    std::vector<std::string> argv = {StageDir() + "/quorvan", "frame", "--at", at, "--out", out};
    argv.insert(argv.end(), more.begin(), more.end());
    argv.push_back(movie);
    FrameRun run;
    std::filesystem::remove(out);
    run.status = RunCommand(argv, &run.output);
    run.picture = QImage(QString::fromStdString(out));
    return run;
}

// The segment the picture's centre shows, -1 when it is no segment's colour.
int SegmentShown(const QImage& picture) {
    if (picture.isNull())
        return -1;
    double distance = 0;
    int k = NearestSegment(picture.pixel(picture.width() / 2, picture.height() / 2) & 0xffffff,
                           &distance);
    return distance < 60 ? k : -1;
}
} // namespace

TEST(QuorvanFrame, TheFrameOfATimeHasItsSegmentsColourLooseAndFromAStoredSet) {
    const std::string movie = ColourSegmentsMovie();
    ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the movie";
    TempDir dir;
    std::string out = dir.file("f.png");
    // 55 s: the seek lands on 60 s (segment 6); 95 s lies behind the last keyframe.
    for (auto [at, segment] : {std::pair{"55", 5}, {"15", 1}, {"0", 0}, {"60", 6}, {"99.5", 9}}) {
        FrameRun run = Frame(movie, at, out, {"--width", "96"});
        ASSERT_EQ(run.status, 0) << at << ": " << run.output;
        EXPECT_EQ(run.picture.width(), 96) << at;
        EXPECT_EQ(run.picture.height(), 72) << at;
        EXPECT_EQ(SegmentShown(run.picture), segment) << at;
        // The frame's own time, within a frame of the asked one.
        EXPECT_NEAR(std::atof(run.output.c_str()), std::atof(at), 0.1) << run.output;
    }

    TempDir set;
    std::string made;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v8k", "-vn",
                          set.file("colours.rar"), movie},
                         &made),
              0)
        << made;
    ASSERT_TRUE(std::filesystem::exists(set.file("colours.r03"))) << "a set of several volumes";
    FrameRun stored = Frame(set.file("colours.r02"), "35", out);
    ASSERT_EQ(stored.status, 0) << stored.output;
    EXPECT_EQ(stored.picture.width(), 160) << "the movie's own width";
    EXPECT_EQ(SegmentShown(stored.picture), 3);
}

TEST(QuorvanFrame, WhatIsNoMovieOrNoTimeOfItIsRefused) {
    const std::string movie = ColourSegmentsMovie();
    ASSERT_FALSE(movie.empty());
    TempDir dir;
    std::string out = dir.file("f.png");
    std::filesystem::create_directory(dir.file("folder.mkv"));
    FrameRun folder = Frame(dir.file("folder.mkv"), "1", out);
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.output.find("a folder, not a movie file"), std::string::npos) << folder.output;
    ASSERT_EQ(mkfifo(dir.file("fifo.mkv").c_str(), 0600), 0);
    FrameRun fifo = Frame(dir.file("fifo.mkv"), "1", out);
    EXPECT_EQ(fifo.status, 1);
    EXPECT_NE(fifo.output.find("a FIFO, not a movie file"), std::string::npos) << fifo.output;
    WriteFile(dir.file("damaged.mkv"), std::string(50000, 'x'));
    FrameRun damaged = Frame(dir.file("damaged.mkv"), "1", out);
    EXPECT_EQ(damaged.status, 4);
    EXPECT_NE(damaged.output.find("the player cannot play it"), std::string::npos)
        << damaged.output;
    FrameRun past = Frame(movie, "100", out);
    EXPECT_EQ(past.status, 6);
    EXPECT_NE(past.output.find("past the end of the movie"), std::string::npos) << past.output;
    for (const FrameRun* run : {&folder, &fifo, &damaged, &past})
        EXPECT_TRUE(run->picture.isNull()) << "no picture without a frame";
    EXPECT_FALSE(std::filesystem::exists(out));
}
