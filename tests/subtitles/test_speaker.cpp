// binary/quorvan-speaker, the real speech server, driven through the interpreter the way
// subtitle lines from the player reach it: every speech mode ends as Polish speech in a WAV.
#include "platform/ddeclient.h"
#include "platform/paths.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "subtitles/speakerlaunch.h"
#include "subtitles/speakers.h"
#include "subtitles/voiceover.h"
#include "tests/player/playerstate.h"
#include "tests/subtitles/speakerfixture.h"
#include "tests/support/recorderport.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class Speaker : public ::testing::Test {
  protected:
    void SetUp() override {
        ListenForVoiceOver(); // as the program does at start-up
        ResetPlayerState();
        SetWindowPort(&port_);
    }
    void TearDown() override {
        Mp1.voiceOverMode = 0;
        StopSpeakerServer();
        SetWindowPort(nullptr);
        SetProgramFolder("");
    }
    void ExpectSpeech(const std::string& wav, double maxSeconds) {
        WavMeasure m;
        ASSERT_TRUE(MeasureWav(speaker_.WavDir() + "/" + wav, &m)) << wav;
        EXPECT_GT(m.rms, 0.01) << wav; // well above the silence of an empty utterance
        EXPECT_GE(m.seconds, 0.5) << wav;
        EXPECT_LE(m.seconds, maxSeconds) << wav;
    }
    TempDir dir_;
    SpeakerProcess speaker_{dir_};
    RecorderPort port_{true};
};

} // namespace

TEST_F(Speaker, EverySpeechModeSpeaksTheLineWithItsPolishLetters) {
    ASSERT_TRUE(speaker_.Start());
    const char* services[] = {"",        "unispiker", "Syntalk", "",          "Expressivo",
                              "rozmowy", "rozmowy",   "",        "Expressivo"};
    size_t spoken = 0;
    for (int mode : {1, 2, 4, 5, 6, 8}) {
        Mp1.voiceOverMode = mode;
        FeedPlayerLine("XX : Żółta łódź - \"płynie\"\r");
        // One at a time, each heard to its end.
        std::vector<std::string> index = speaker_.WaitIndex(++spoken, 15000);
        ASSERT_EQ(index.size(), spoken) << mode;
        char number[8];
        std::snprintf(number, sizeof(number), "%04zu", spoken);
        // The clean-up made blanks of the hyphen and the quotes; modes 8 sends them as they are.
        std::string text = mode == 8 ? "Żółta łódź - \"płynie\"" : "Żółta łódź    płynie";
        EXPECT_EQ(index.back(), std::string(number) + "\t" + services[mode] + "\t" + text);
        ExpectSpeech(std::string(number) + ".wav", 6.0);
    }
    // The WP initialisation alone says nothing.
    EXPECT_EQ(InicjalizujSerwerWP(), 1);
    Mp1.voiceOverMode = 0;
    FeedPlayerLine("XX : cisza\r");
    // Lines are spoken in the order they come: the next line spoken is the one after the
    // silent one, under the next number, so the silent one never reached the speaker.
    Mp1.voiceOverMode = 4;
    FeedPlayerLine("XX : znowu\r");
    std::vector<std::string> index = speaker_.WaitIndex(spoken + 1, 15000);
    ASSERT_EQ(index.size(), spoken + 1);
    char number[8];
    std::snprintf(number, sizeof(number), "%04zu", spoken + 1);
    EXPECT_EQ(index.back(), std::string(number) + "\t" + services[4] + "\tznowu");
    EXPECT_EQ(speaker_.Stop(), 0); // the end of its input ends it cleanly
}

TEST_F(Speaker, ANewLineInterruptsTheOneStillSpoken) {
    ASSERT_TRUE(speaker_.Start());
    Mp1.voiceOverMode = 4;
    FeedPlayerLine("XX : To jest bardzo długie zdanie, które lektor czyta przez kilka sekund bez "
                   "przerwy.\r");
    // Wait until the first line is being "heard", then cut it.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    FeedPlayerLine("XX : Stop.\r");
    std::vector<std::string> index = speaker_.WaitIndex(2, 15000);
    ASSERT_EQ(index.size(), 2u);
    WavMeasure first, second;
    ASSERT_TRUE(MeasureWav(speaker_.WavDir() + "/0001.wav", &first));
    ASSERT_TRUE(MeasureWav(speaker_.WavDir() + "/0002.wav", &second));
    // The long sentence lasts several seconds; it was heard for well under two.
    EXPECT_LT(first.seconds, 2.0);
    EXPECT_GT(first.seconds, 0.1);
    EXPECT_GT(second.rms, 0.01);
    EXPECT_EQ(index[1], "0002\tExpressivo\tStop.");
}

TEST_F(Speaker, TheFrontEndStartsItOnceAndItEndsWithUs) {
    SetProgramFolder(StageDir());
    Mp1.voiceOverMode = 1;
    VoiceOverStartup(1);
    ASSERT_TRUE(WaitUntil([] { return DDEProbe("unispiker", "synteza") == 1; }, 10000));
    // A second choice of a speech mode finds it serving.
    VoiceOverModeChosen(5);
    FeedPlayerLine("XX : Dzień dobry\r");
    std::vector<std::string> index = speaker_.WaitIndex(1, 15000);
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0], "0001\tunispiker\tDzień dobry");
    EXPECT_TRUE(port_.Events().empty() || port_.Events() == std::vector<std::string>{"posted"});
    StopSpeakerServer();
    EXPECT_EQ(DDEProbe("unispiker", "synteza"), 0);
    // Modes without speech start nothing.
    VoiceOverStartup(3);
    VoiceOverStartup(0);
    EXPECT_EQ(DDEProbe("unispiker", "synteza"), 0);
}

TEST_F(Speaker, AMissingVoiceIsReportedOnceNotPerLine) {
    SetProgramFolder(StageDir());
    setenv("QUORVAN_SPEAKER_VOICE", "xx-no-such-voice", 1);
    EnsureSpeakerServer(1);
    EnsureSpeakerServer(4);
    std::string message = port_.WaitForPrefix("message:VoiceOver:", 10000);
    unsetenv("QUORVAN_SPEAKER_VOICE");
    EXPECT_NE(message.find("no voice \"xx-no-such-voice\""), std::string::npos) << message;
    Mp1.voiceOverMode = 1;
    FeedPlayerLine("XX : nikt\r");
    FeedPlayerLine("XX : nikt\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int messages = 0;
    for (const std::string& e : port_.Events())
        messages += e.rfind("message:", 0) == 0;
    EXPECT_EQ(messages, 1);
}

TEST_F(Speaker, BadOptionsAndFoldersAreRefusedWithAReason) {
    std::string out;
    std::string program = StageDir() + "/binary/quorvan-speaker";
    EXPECT_EQ(RunCommand({program, "--rate", "5"}, &out), 2);
    EXPECT_NE(out.find("--rate takes words per minute from 80 to 450"), std::string::npos);
    EXPECT_EQ(RunCommand({program, "--loud"}, &out), 2);
    EXPECT_NE(out.find("unknown option --loud"), std::string::npos);
    setenv("QUORVAN_SPEAKER_WAV_DIR", dir_.file("missing").c_str(), 1);
    EXPECT_EQ(RunCommand({program}, &out), 1);
    EXPECT_NE(out.find("is not a writable folder"), std::string::npos);
    setenv("QUORVAN_SPEAKER_WAV_DIR", speaker_.WavDir().c_str(), 1);
    // A runtime folder open to others is not used: another user could stand in for us.
    chmod(dir_.file("run").c_str(), 0700);
    mkdir(dir_.file("run/quorvan-dde").c_str(), 0777);
    chmod(dir_.file("run/quorvan-dde").c_str(), 0777);
    EXPECT_EQ(RunCommand({program}, &out), 1);
    EXPECT_NE(out.find("is not a private folder"), std::string::npos);
}
