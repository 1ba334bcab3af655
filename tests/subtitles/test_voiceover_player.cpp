// End to end: the real mplayer through binary/QUORVAN plays a movie with a Polish subtitle
// file in Windows-1250, the wrapper reports each line as it is shown, and the speaker the
// front end starts reads it aloud (into WAV files here) in every speech mode.
#include "platform/ddeclient.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/settings.h"
#include "subtitles/speakerlaunch.h"
#include "subtitles/voiceover.h"
#include "tests/player/playerstate.h"
#include "tests/subtitles/speakerfixture.h"
#include "tests/support/recorderport.h"

#include <gtest/gtest.h>

namespace {

// The three lines, in UTF-8 as the index must show them, and the file in Windows-1250.
const char* const kLines[] = {"Idę do domu.", "Gęś je źdźbło.", "Dzień dobry."};
const char kSrtCp1250[] = "1\r\n00:00:00,500 --> 00:00:01,700\r\nId\xEA do domu.\r\n\r\n"
                          "2\r\n00:00:02,000 --> 00:00:03,200\r\nG\xEA\x9C je \x9F"
                          "d\x9F"
                          "b\xB3o.\r\n\r\n"
                          "3\r\n00:00:03,500 --> 00:00:04,700\r\nDzie\xF1 dobry.\r\n\r\n";

class VoiceOverPlayer : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        ListenForVoiceOver(); // as the program does at start-up
        ResetPlayerState();
        SetProgramFolder(StageDir());
        SetWindowPort(&port_);
        movie_ = GeneratedMovie(10);
        WriteFile(dir_.file("film.srt"), kSrtCp1250);
    }
    void TearDown() override {
        ClosePlayer(3000);
        StopSpeakerServer();
        Mp1.voiceOverMode = 0;
        Mp1.extraOptions.clear();
        SetWindowPort(nullptr);
        SetProgramFolder("");
    }
    // Reads VoiceOver from a settings file, starts up the voice-over as the program does and
    // plays the movie with the subtitles.
    void Play(int mode) {
        WriteFile(dir_.file("QuorvanPlayer.ini"),
                  "[quorvan]\r\nVoiceOver=" + std::to_string(mode) + "\r\n");
        ReadSettings(dir_.file("QuorvanPlayer.ini"));
        ASSERT_EQ(Mp1.voiceOverMode, mode);
        VoiceOverStartup(Mp1.voiceOverMode);
        Mp1.videoWindow = 0;
        Mp1.extraOptions = "-vo null -ao null -noautosub -sub \"" + dir_.file("film.srt") + "\"";
        Mp1.init();
        Mp1.movieFile = movie_;
        Mp1.LanchMovie();
    }
    bool SawSubtitleLines(size_t count) {
        return WaitUntil(
            [&] {
                std::string console = Mp1.ConsoleTextSnapshot();
                size_t seen = 0;
                for (size_t at = console.find("XX : "); at != std::string::npos;
                     at = console.find("XX : ", at + 1))
                    seen += console.compare(at, 15, "XX :  movie inf") != 0;
                return seen >= count;
            },
            30000);
    }
    TempDir dir_;
    SpeakerProcess speaker_{dir_}; // its folders; the front end starts the speaker itself
    RecorderPort port_{true};
    std::string movie_;
};

const char* ServiceOf(int mode) {
    switch (mode) {
    case 1:
        return "unispiker";
    case 2:
        return "Syntalk";
    case 5:
    case 6:
        return "rozmowy";
    default:
        return "Expressivo";
    }
}

} // namespace

TEST_P(VoiceOverPlayer, EachShownLineIsSpokenInPolish) {
    ASSERT_FALSE(movie_.empty()) << "ffmpeg could not make the test movie";
    int mode = GetParam();
    Play(mode);
    std::vector<std::string> index = speaker_.WaitIndex(3, 40000);
    ASSERT_EQ(index.size(), 3u) << Mp1.ConsoleTextSnapshot();
    for (size_t i = 0; i < 3; ++i) {
        char number[8];
        std::snprintf(number, sizeof(number), "%04zu", i + 1);
        EXPECT_EQ(index[i], std::string(number) + "\t" + ServiceOf(mode) + "\t" + kLines[i]);
        WavMeasure m;
        ASSERT_TRUE(MeasureWav(speaker_.WavDir() + "/" + number + ".wav", &m));
        EXPECT_GT(m.rms, 0.01) << number;
        EXPECT_GE(m.seconds, 0.5) << number;
        EXPECT_LE(m.seconds, 6.0) << number;
    }
    // Nothing beyond the three lines: the movie information is never spoken.
    EXPECT_EQ(speaker_.WaitIndex(4, 300).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(SpeechModes, VoiceOverPlayer, ::testing::Values(1, 2, 4, 5, 6, 8));

TEST_F(VoiceOverPlayer, WithModeZeroNothingIsSpokenNorStarted) {
    ASSERT_FALSE(movie_.empty());
    Play(0);
    ASSERT_TRUE(SawSubtitleLines(3)) << Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(DDEProbe("unispiker", "synteza"), 0);
    EXPECT_TRUE(speaker_.WaitIndex(1, 500).empty());
}

TEST_F(VoiceOverPlayer, WithTheSpeakerGoneOrHungPlaybackGoesOn) {
    ASSERT_FALSE(movie_.empty());
    Play(1);
    ASSERT_TRUE(WaitUntil([] { return DDEProbe("unispiker", "synteza") == 1; }, 10000));
    StopSpeakerServer(); // the speaker ends, the voice-over stays chosen
    ASSERT_EQ(DDEProbe("unispiker", "synteza"), 0);
    // Worse than none: a synthesiser that hangs and never takes a conversation.
    DdeTestServer hung(dir_.file("run"), {"unispiker"}, true);
    ASSERT_TRUE(SawSubtitleLines(3)) << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(SendCommand("seek 9 2"));
    EXPECT_FALSE(
        port_
            .WaitForPrefix("title:" + std::string(ProgramTitle) + "Exiting... (End of file)", 30000)
            .empty())
        << Mp1.ConsoleTextSnapshot();
    EXPECT_TRUE(speaker_.WaitIndex(1, 0).empty());
    for (const std::string& e : port_.Events())
        EXPECT_EQ(e.rfind("message:", 0), std::string::npos) << e;
}
