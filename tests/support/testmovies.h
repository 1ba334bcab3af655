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

// 100 s of H.264 (MKV, 160x120, 25 fps) in ten 10-second segments of one solid colour each
// (kSegmentColours, segment k from 10k s), keyframes only every 10 s and at no scene change:
// a seek lands on the next segment's first frame, and only decoding forward finds the frame
// of a time inside a segment. "" when ffmpeg could not make it.
std::string ColourSegmentsMovie();
constexpr int kSegmentSeconds = 10;
constexpr int kSegmentCount = 10;
constexpr unsigned kSegmentColours[kSegmentCount] = {0xff0000, 0x00ff00, 0x0000ff, 0xffff00,
                                                     0x00ffff, 0xff00ff, 0xffffff, 0x000000,
                                                     0xff8000, 0x808080};
// The segment whose colour is nearest `rgb` (0xRRGGBB) and how far it is (0..441).
int NearestSegment(unsigned rgb, double* distance = nullptr);
