#pragma once
// Movies of the kinds users have, made by ffmpeg once per build in tests/bin/movies, small
// (160x120) so the tests stay fast. Each shows testsrc, which draws the second it shows: a
// frame's picture tells its time.
#include <string>

enum class TestMovie {
    H264Ts,        // 90 s H.264 + MP2 MPEG-TS, a keyframe every 2 s, its clock starting at 600 s
    Mpeg2Ts,       // 90 s MPEG-2 + MP2 MPEG-TS as ffmpeg writes it (a group of 12 pictures)
    LongKeyframes, // 90 s H.264 MKV with x264's default distance between keyframes, 10 s
};

// The movie's path, "" when ffmpeg could not make it. Safe against tests running in parallel.
std::string MadeMovie(TestMovie kind);
// Its length in seconds.
constexpr int kMadeMovieSeconds = 90;
constexpr int kMadeMovieFps = 25;
