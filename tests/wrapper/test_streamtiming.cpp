// How the wrapper corrects mplayer's MPEG-TS demuxer: the lines it retells, the seek commands it
// reads, the byte seeks it makes, and libavformat's facts of a real recording made by ffmpeg.
#include "tests/support/testenv.h"
#include "tests/support/testmovies.h"
#include "tools/wrapper/containerprobe.h"
#include "tools/wrapper/streamtiming.h"

#include <cstdio>
#include <gtest/gtest.h>

TEST(StreamTiming, TheFrontEndIsToldTheLengthAndTheClockOfTheMovie) {
    StreamTiming timing{90.01, 601.4};
    EXPECT_EQ(RetellPiece("ID_LENGTH=0.00\n", timing), "ID_LENGTH=90.01\n");
    EXPECT_EQ(RetellPiece("ANS_LENGTH=491.32\r\n", timing), "ANS_LENGTH=90.01\r\n");
    EXPECT_EQ(RetellPiece("ANS_length=141.40\n", timing), "ANS_length=90.01\n");
    EXPECT_EQ(RetellPiece("ANS_TIME_POSITION=631.5\n", timing), "ANS_TIME_POSITION=30.1\n");
    // Before the first timestamp (audio a little ahead of video): 0, never below.
    EXPECT_EQ(RetellPiece("ANS_TIME_POSITION=600.9\n", timing), "ANS_TIME_POSITION=0.0\n");
    // A status line keeps its look; both clocks count from the start.
    EXPECT_EQ(RetellPiece("A: 612.3 V: 612.4 A-V: -0.046 ct:  0.000   1/  1 ??% ??%\r", timing),
              "A:  10.9 V:  11.0 A-V: -0.046 ct:  0.000   1/  1 ??% ??%\r");
    EXPECT_EQ(RetellPiece("V:1612.4   0/  0 ??%\r", timing), "V:1011.0   0/  0 ??%\r");
    // Lines about other things, and an unknown length, are left alone.
    for (const char* same : {"ID_VIDEO_WIDTH=160\n", "ANS_TIME_POSITION=x\n",
                             "Starting playback...\n", "\r", "AUDIO: 48000 Hz\n"})
        EXPECT_EQ(RetellPiece(same, timing), same);
    EXPECT_EQ(RetellPiece("ID_LENGTH=0.00\n", StreamTiming{0, 1.4}), "ID_LENGTH=0.00\n");

    double seconds = 0;
    EXPECT_TRUE(PositionInPiece("A: 612.3 V: 612.4 A-V: 0\r", &seconds));
    EXPECT_DOUBLE_EQ(seconds, 612.3);
    EXPECT_TRUE(PositionInPiece("ANS_TIME_POSITION=631.5\n", &seconds));
    EXPECT_DOUBLE_EQ(seconds, 631.5);
    EXPECT_FALSE(PositionInPiece("ANS_LENGTH=90\n", &seconds));
}

TEST(StreamTiming, SeekCommandsAreReadAsMplayerReadsThem) {
    SeekCommand seek;
    ASSERT_TRUE(ParseSeekCommand("seek 30 2", &seek));
    EXPECT_EQ(seek.prefix, "");
    EXPECT_DOUBLE_EQ(seek.value, 30);
    EXPECT_EQ(seek.type, 2);
    ASSERT_TRUE(ParseSeekCommand("pausing seek 12.5 2", &seek));
    EXPECT_EQ(seek.prefix, "pausing ");
    EXPECT_DOUBLE_EQ(seek.value, 12.5);
    ASSERT_TRUE(ParseSeekCommand("pausing_keep_force seek -10", &seek));
    EXPECT_EQ(seek.prefix, "pausing_keep_force ");
    EXPECT_EQ(seek.type, 0);
    EXPECT_DOUBLE_EQ(seek.value, -10);
    ASSERT_TRUE(ParseSeekCommand("seek +60 0", &seek));
    EXPECT_DOUBLE_EQ(seek.value, 60);
    ASSERT_TRUE(ParseSeekCommand("seek 33.333333 1", &seek));
    EXPECT_EQ(seek.type, 1);
    for (const char* other :
         {"seek", "seek x 2", "seek 30 3", "seek 30 2 9", "seek 30x 2", "seek_chapter 1",
          "sub_seek 1", "pausing screenshot", "seek nan 2", "seek 1e999 2"})
        EXPECT_FALSE(ParseSeekCommand(other, &seek)) << other;
}

TEST(StreamTiming, AByteSeekLandsJustBeforeItsByteAndStartPositionsAreRead) {
    // 4 KiB before the keyframe, as a percent of the file.
    EXPECT_EQ(ByteSeekCommand("pausing ", 1004096, 10000000), "pausing seek 10.000000 1");
    EXPECT_EQ(ByteSeekCommand("", 100, 10000000), "seek 0.000000 1");
    EXPECT_EQ(ByteSeekCommand("", 5, 0), "seek 0 1");
    // Large files keep a margin as large as a float's error.
    std::string big = ByteSeekCommand("", 2000000000, 4000000000ULL);
    double percent = 0;
    ASSERT_EQ(std::sscanf(big.c_str(), "seek %lf 1", &percent), 1);
    EXPECT_LT(percent, 50.0);
    EXPECT_GT(percent, 49.99);

    double s = 0;
    EXPECT_TRUE(ParseStartPosition("90", &s));
    EXPECT_DOUBLE_EQ(s, 90);
    EXPECT_TRUE(ParseStartPosition("1:30.5", &s));
    EXPECT_DOUBLE_EQ(s, 90.5);
    EXPECT_TRUE(ParseStartPosition("1:00:00", &s));
    EXPECT_DOUBLE_EQ(s, 3600);
    for (const char* bad : {"", "-5", "1::2", "a", "1:2:3:4", "10s"})
        EXPECT_FALSE(ParseStartPosition(bad, &s)) << bad;
}

namespace {
ContainerBytes FileBytes(std::FILE* file) {
    std::fseek(file, 0, SEEK_END);
    ContainerBytes bytes;
    bytes.size = static_cast<uint64_t>(std::ftell(file));
    bytes.read = [file](char* buffer, uint64_t pos, size_t length) {
        std::fseek(file, static_cast<long>(pos), SEEK_SET);
        return std::fread(buffer, 1, length, file);
    };
    return bytes;
}
} // namespace

TEST(ContainerProbe, ARecordingTellsItsDurationStartAndKeyframes) {
    std::string movie = MadeMovie(TestMovie::H264Ts);
    ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
    std::string bytes = ReadFile(movie);
    EXPECT_TRUE(LooksLikeTransportStream(bytes.substr(0, 1024)));
    EXPECT_FALSE(LooksLikeTransportStream(std::string(1024, 'x')));
    EXPECT_FALSE(LooksLikeTransportStream(bytes.substr(0, 500)));
    std::string m2ts;
    for (size_t at = 0; at + 188 <= 2000; at += 188)
        m2ts += std::string(4, '\0') + bytes.substr(at, 188);
    EXPECT_TRUE(LooksLikeTransportStream(m2ts));

    std::FILE* file = std::fopen(movie.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ContainerProbe probe;
    ASSERT_TRUE(probe.Open(FileBytes(file)));
    EXPECT_EQ(probe.format(), "mpegts");
    EXPECT_NEAR(probe.duration(), 90.0, 0.1);
    EXPECT_NEAR(probe.start(), 601.4, 0.1); // ffmpeg's 1.4 s of muxing delay on its offset
    // A keyframe every 2 s: the one at 30 s, then the one after 31 s; each offset is a packet
    // of the stream.
    ContainerProbe::Keyframe at30, after31, first;
    ASSERT_TRUE(probe.FindKeyframe(30, &at30));
    EXPECT_NEAR(at30.seconds, 30.0, 0.05);
    ASSERT_TRUE(probe.FindKeyframe(31, &after31));
    EXPECT_NEAR(after31.seconds, 32.0, 0.05);
    EXPECT_GT(after31.offset, at30.offset);
    ASSERT_TRUE(probe.FindKeyframe(0, &first));
    EXPECT_LT(first.offset, 2000u);
    for (auto offset : {at30.offset, after31.offset})
        EXPECT_EQ(static_cast<unsigned char>(bytes[offset]), 0x47) << offset;
    ContainerProbe::Keyframe none;
    EXPECT_FALSE(probe.FindKeyframe(95, &none));
    std::fclose(file);

    // Noise is no container; nothing to read is none either.
    std::string noise(200000, '\0');
    unsigned state = 7;
    for (auto& c : noise)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    ContainerBytes noiseBytes;
    noiseBytes.size = noise.size();
    noiseBytes.read = [&noise](char* buffer, uint64_t pos, size_t length) {
        size_t n = std::min(length, noise.size() - static_cast<size_t>(pos));
        noise.copy(buffer, n, static_cast<size_t>(pos));
        return n;
    };
    ContainerProbe bad;
    EXPECT_FALSE(bad.Open(noiseBytes) && bad.format() == "mpegts");
    EXPECT_FALSE(bad.Open(ContainerBytes{}));
    EXPECT_EQ(bad.duration(), 0);
}
