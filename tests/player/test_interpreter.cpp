// The output interpreter, line by line, observed through the recorder port.
#include "persist/history.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"
#include "player/subtitletracks.h"
#include "rar/nextpart.h"
#include "tests/player/playerstate.h"
#include "tests/support/recorderport.h"

#include <gtest/gtest.h>

namespace {
class Interpreter : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        SetWindowPort(&port_);
        Mp1.movieFile = "/films/movie.avi";
        ClearSubtiteList();
        ListenForTheNextMovie(); // as the program does at start-up
    }
    void TearDown() override { SetWindowPort(nullptr); }

    void Feed(const std::string& line) { FeedPlayerLine(line); }
    std::vector<std::string> Events() { return port_.Events(); }
    RecorderPort port_;
};

const std::string kTitle = ProgramTitle;
} // namespace

TEST_F(Interpreter, StatusLinesMoveTheSliderOnlyInsideAKnownLength) {
    Feed("A:   5.3 V:   5.3 A-V:  0.000 ct:  0.000\r");
    EXPECT_EQ(Mp1.timePosition, 5);
    EXPECT_TRUE(Events().empty()) << "no length known yet";

    Feed("ANS_LENGTH=100.00\r");
    EXPECT_EQ(Events(), (std::vector<std::string>{"range:106:0:100", "page:106:201"}));
    EXPECT_FLOAT_EQ(Mp1.movieLength, 100.0f);
    port_.Clear();

    Feed("A:   7.1 V: 7.1\r");
    Feed("A:   7.9 V: 7.9\r"); // the same second: the slider is not touched again
    Feed("A:   1.0\r");        // positions 0 and 1 never move it
    Feed("A:   0.4\r");
    Feed("A: 100.0\r"); // at the length
    Feed("A: 250.0\r"); // beyond it
    Feed("A:  99.5\r");
    EXPECT_EQ(Events(), (std::vector<std::string>{"pos:106:7", "pos:106:99"}));
    EXPECT_EQ(Mp1.timePosition, 99);
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().find("A:"), std::string::npos)
        << "status lines never reach the transcript";
}

TEST_F(Interpreter, StatusLineNeedsTheExactShape) {
    Feed("a:   5.3\r"); // the A is case-sensitive
    Feed("A: 5\r");     // no fraction
    Feed(" A: 6.0\r");  // not at the start
    EXPECT_EQ(Mp1.timePosition, 0);
    Feed("A:-3.2\r");
    EXPECT_EQ(Mp1.timePosition, -3);
    isPaused = true;
    Feed("A:\t12.\t5\r");
    EXPECT_EQ(Mp1.timePosition, 12);
    EXPECT_FALSE(isPaused);
}

TEST_F(Interpreter, TranscriptSkipsOnlyBareCarriageReturns) {
    Feed("\r");
    Feed("hello\r");
    Feed("\r\r");
    EXPECT_EQ(Mp1.ConsoleTextSnapshot(), "< hello\r\n< \r\r\n");
}

TEST_F(Interpreter, PauseAndStartLines) {
    Feed("  =====  PAUSE  =====\r");
    EXPECT_TRUE(isPaused);
    Feed("Starting playback...\r");
    EXPECT_FALSE(isPaused);
    Feed("  =====  pause  =====\r"); // starts-with ignores case
    EXPECT_TRUE(isPaused);
}

TEST_F(Interpreter, VideoOutputLineResizesOnlyAnEmbeddedWindow) {
    Mp1.videoWindow = 0;
    Feed("VO: [xv] 720x576 => 1024x576 Planar YV12\r");
    EXPECT_EQ(Mp1.displayWidth, 1024) << "the scaled pair overwrites the first";
    EXPECT_EQ(Mp1.displayHeight, 576);
    EXPECT_TRUE(Events().empty());
    Mp1.videoWindow = 99;
    Feed("VO: [x11] 160x120 => 160x120 RGB 24-bit\r");
    EXPECT_EQ(Events(), (std::vector<std::string>{"resize:162x220"}));
    Feed("VO: [x11] 320x240\r"); // one pair is enough
    EXPECT_EQ(Mp1.displayWidth, 320);
}

TEST_F(Interpreter, VideoAudioAndIdentifyLinesFillTheMovieInfo) {
    Feed("VIDEO:  [FMP4]  160x120  24bpp  25.000 fps  200.0 kbps (24.4 kbyte/s)\r");
    EXPECT_EQ(Mp1.videoInfoLine,
              "VIDEO:  [FMP4]  160x120  24bpp  25.000 fps  200.0 kbps (24.4 kbyte/s)\r");
    Feed("AUDIO: 44100 Hz, 2 ch, s16le, 64.0 kbit/4.54% (ratio: 8000->176400)\r");
    Feed("ID_VIDEO_WIDTH=160\r");
    Feed("ID_VIDEO_HEIGHT=120\r");
    Feed("ID_FILENAME=/films/movie.avi\r");
    Feed("ID_FILE_SUB_ID=0\r");
    EXPECT_EQ(Mp1.videoWidth, 160);
    EXPECT_EQ(Mp1.videoHeight, 120);
    EXPECT_EQ(Mp1.MovieInfoSnapshot(),
              "VIDEO:  [FMP4]  160x120  24bpp  25.000 fps  200.0 kbps (24.4 kbyte/s)\r"
              "\nAUDIO: 44100 Hz, 2 ch, s16le, 64.0 kbit/4.54% (ratio: 8000->176400)\r"
              "VIDEO_WIDTH=160\r\nVIDEO_HEIGHT=120\r\n");
}

TEST_F(Interpreter, TitleRowsAndPlayerErrors) {
    Feed("Generating Index:  50 %\r");
    Feed("AVI: Generated index table for 250 chunks!\r");
    EXPECT_EQ(
        Events(),
        (std::vector<std::string>{
            "title:" + kTitle + "Generating Index:  50 % Please wait!/films/movie.avi",
            "title:" + kTitle + "AVI: Generated index table for 250 chunks!/films/movie.avi"}));
    const char* errors[] = {"Error parsing option on the command line: -bogus",
                            "- MPlayer crashed by bad usage of CPU/FPU/RAM",
                            "- Pelnix crashed by bad usage of CPU/FPU/RAM",
                            "<vo_directx><FATAL ERROR>can't set cooperative level"};
    for (const char* error : errors) {
        port_.Clear();
        Feed(std::string(error) + "\r");
        EXPECT_EQ(Events(),
                  (std::vector<std::string>{std::string("title:") + error, "show:2302:1"}));
    }
}

TEST_F(Interpreter, FatalErrorForgetsThePositionAndTheLength) {
    history1.add("/films/movie.avi", 321);
    Feed("ANS_LENGTH=600.0\r");
    Mp1.timePosition = 321;
    port_.Clear();
    Feed("Exiting... (Fatal error)\r");
    // The clock shows no time and length of the movie that played before.
    EXPECT_EQ(Events(), (std::vector<std::string>{"title:Exiting... (Fatal error)", "show:2302:1",
                                                  "range:106:0:0", "pos:106:0"}));
    EXPECT_EQ(history1.get("/films/movie.avi"), 0);
    EXPECT_EQ(Mp1.timePosition, 0);
    EXPECT_EQ(Mp1.movieLength, 0);
}

TEST_F(Interpreter, PositionAnswersAreBounded) {
    Feed("ANS_TIME_POSITION=1313199.0\r");
    EXPECT_EQ(Mp1.timePosition, 1313199);
    Feed("ANS_TIME_POSITION=1313200.0\r");
    EXPECT_EQ(Mp1.timePosition, 1313199);
    Feed("ANS_TIME_POSITION=12.7\r");
    EXPECT_EQ(Mp1.timePosition, 12);
    EXPECT_EQ(Events(), (std::vector<std::string>{"pos:106:1313199", "pos:106:12"}));
    Feed("ANS_TIME_POSITION=12\r"); // no fraction: not an answer this reads
    EXPECT_EQ(Events().size(), 2u);
}

TEST_F(Interpreter, LengthWithAnExternalAudioFileLeavesTheSliderAlone) {
    Mp1.externalAudioFile = "/music/a.mp3";
    Feed("ANS_LENGTH=55.5\r");
    EXPECT_FLOAT_EQ(timelenght, 55.5f);
    EXPECT_FLOAT_EQ(Mp1.movieLength, 0.0f);
    EXPECT_TRUE(Events().empty());
    Mp1.externalAudioFile.clear();
    Feed("ANS_LENGTH=70000.9\r"); // longer than 18 hours: the range keeps every second
    EXPECT_EQ(Events()[0], "range:106:0:70000");
}

TEST_F(Interpreter, FullScreenStateFollowsThePlayer) {
    Feed("VO_FULLSCREEN=1\r");
    EXPECT_TRUE(Mp1.fullScreen);
    Feed("VO_FULLSCREEN=0\r");
    EXPECT_FALSE(Mp1.fullScreen);
}

TEST_F(Interpreter, EndOfTheLastMovieStoresPositionZeroAndStartsNothing) {
    history1.add("/films/movie.avi", 500);
    Mp1.timePosition = 500;
    Feed("Starting playback...\r");
    Feed("Exiting... (End of file)\r");
    EXPECT_EQ(Events(), (std::vector<std::string>{"title:" + kTitle +
                                                  "Exiting... (End of file)/films/movie.avi"}));
    EXPECT_EQ(history1.get("/films/movie.avi"), 0);
    EXPECT_EQ(Mp1.timePosition, 0);
    EXPECT_EQ(port_.PostedCount(), 0u);
}

TEST_F(Interpreter, AnEndOfFileBeforePlaybackStartedIsShownAsTheError) {
    Feed("Starting playback...\r");
    PlayerOutputBegins(); // the next player: it never starts playing
    Feed("Exiting... (End of file)\r");
    EXPECT_EQ(Events(), (std::vector<std::string>{"title:Exiting... (End of file)", "show:2302:1",
                                                  "range:106:0:0", "pos:106:0"}));
    EXPECT_EQ(port_.PostedCount(), 0u);
}

// What the features above the engine hear: every end with its reason, each new player.
std::vector<std::string> g_heard;
void HearEnd(MovieEnded& ended) {
    const char* reasons[] = {"end", "never played", "fatal"};
    g_heard.push_back(ended.movie + ": " + reasons[static_cast<int>(ended.reason)]);
}
void HearPlayer(PlayerAnnounced&) {
    g_heard.push_back("new player");
}

TEST_F(Interpreter, EndsAndNewPlayersAreToldToTheirListenersWithTheReason) {
    ListenToMovieEnds(HearEnd);
    ListenToMovieEnds(HearEnd); // once only
    ListenToPlayerAnnouncements(HearPlayer);
    g_heard.clear();
    Feed("Quorvan player wrapper\r");
    Feed("Starting playback...\r");
    Feed("Exiting... (End of file)\r");
    Feed("Exiting... (End of file)\r"); // the next player never started playing
    Mp1.movieFile = "/films/other.avi";
    Feed("Exiting... (Fatal error)\r");
    EXPECT_EQ(g_heard, (std::vector<std::string>{"new player", "/films/movie.avi: end",
                                                 "/films/movie.avi: never played",
                                                 "/films/other.avi: fatal"}));
    EXPECT_EQ(port_.PostedCount(), 0u) << "nothing follows these movies";
}

TEST_F(Interpreter, SubtitleTracksAreCollectedInAnnouncementOrder) {
    ASSERT_EQ(SubtitleList.size(), 1u);
    EXPECT_EQ(SubtitleList[0].menuLabel, "None");
    EXPECT_EQ(SubtitleList[0].id, -1);

    Feed("ID_SUBTITLE_ID=0\r");
    Feed("ID_SID_0_LANG=pol\r");
    Feed("ID_SID_0_NAME=Polish\r"); // a name after a language replaces the label
    Feed("ID_SUBTITLE_ID=1\r");
    Feed("ID_SID_1_NAME=English\r");
    Feed("ID_SID_1_LANG=eng\r"); // a language after a name gives "<lang> name"
    Feed("ID_VOBSUB_ID=3\r");
    Feed("ID_FILE_SUB_ID=0\r");
    Feed("ID_FILE_SUB_FILENAME=/films/subs/movie.srt\r");
    ASSERT_EQ(SubtitleList.size(), 5u);
    EXPECT_EQ(SubtitleList[1].kind, 1);
    EXPECT_EQ(SubtitleList[1].language, "pol");
    EXPECT_EQ(SubtitleList[1].menuLabel, "Polish");
    EXPECT_EQ(SubtitleList[2].menuLabel, "<eng> English");
    EXPECT_EQ(SubtitleList[3].kind, 0);
    EXPECT_EQ(SubtitleList[3].id, 3);
    EXPECT_EQ(SubtitleList[3].menuLabel, "VOBSUB3\r");
    EXPECT_EQ(SubtitleList[4].kind, 2);
    EXPECT_EQ(SubtitleList[4].fileName, "/films/subs/movie.srt");
    EXPECT_EQ(SubtitleList[4].menuLabel, "movie.srt");
    EXPECT_EQ(zaznaczonaPozycjaSubtitle, 4);

    Feed("Quorvan player wrapper\r"); // a new player starts: back to "None"
    ASSERT_EQ(SubtitleList.size(), 1u);
    EXPECT_EQ(zaznaczonaPozycjaSubtitle, 0);
}

TEST_F(Interpreter, SubtitleRowsOnAnEmptyListAndOddNames) {
    SubtitleList.clear();
    Feed("ID_SID_0_NAME=Lost\r");
    Feed("ID_SID_0_LANG=pol\r");
    Feed("ID_FILE_SUB_FILENAME=x.srt\r");
    EXPECT_TRUE(SubtitleList.empty());
    ClearSubtiteList();
    Feed("ID_FILE_SUB_ID=2\r");
    Feed("ID_FILE_SUB_FILENAME=C:\\subs/dir\\name.txt\r");
    EXPECT_EQ(SubtitleList.back().menuLabel, "name.txt");
    EXPECT_EQ(zaznaczonaPozycjaSubtitle, 0) << "only id 0 is selected";
    Feed("ID_SID_4_NAME=\r"); // nothing after '=': no value, the row does not match
    EXPECT_EQ(SubtitleList.back().name, "");
}

TEST_F(Interpreter, KeyNTogglesSubtitleVisibility) {
    zaznaczonaPozycjaSubtitle = 3;
    Feed("No bind found for key 'n'.\r");
    EXPECT_EQ(zaznaczonaPozycjaSubtitle, 0);
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find("> sub_visibility"), std::string::npos);
}

TEST_F(Interpreter, AScreenshotIsToldOnThePictureWithItsFullPath) {
    Feed("*** screenshot 'shot0003.png' ***\r");
    const std::string console = Mp1.ConsoleTextSnapshot();
    const std::string folder = RunningPlayerFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(console.find("> pausing_keep osd_show_text \"Screenshot saved: " + folder +
                           "/shot0003.png\" 4000"),
              std::string::npos)
        << console;
    // A name with a quote stays one text of the one command.
    Feed("*** screenshot '/tmp/a\"b; quit.png' ***\r");
    EXPECT_NE(Mp1.ConsoleTextSnapshot().find(
                  "> pausing_keep osd_show_text \"Screenshot saved: /tmp/a\\\"b; quit.png\" 4000"),
              std::string::npos)
        << Mp1.ConsoleTextSnapshot();
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().find("> quit"), std::string::npos);
}

TEST(SubtitleReset, LoadedSubtitlesAreForgotten) {
    ResetPlayerState();
    SubComend = " -sub a.txt ";
    Mp1.subtitleOptions = "-sub x";
    Mp1.extraOptions = "-vf-add eq2  -sub /tmp/a.txt ";
    ResetSubsLoaded();
    EXPECT_EQ(SubComend, "");
    EXPECT_EQ(Mp1.subtitleOptions, "");
    EXPECT_EQ(Mp1.extraOptions, " ") << "the whole text goes, filters included";
    Mp1.extraOptions = "-vf-add eq2";
    ResetSubsLoaded();
    EXPECT_EQ(Mp1.extraOptions, "-vf-add eq2");
}
