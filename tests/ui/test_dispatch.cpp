// The dispatch of the main window against the fake player: play/pause, radio groups, the
// sliders, the wheel, pan-scan, dropped files and "Kill GUI".
#include "uifixture.h"

#include "persist/history.h"
#include "persist/reopen.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "subtitles/voiceover.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

class Dispatch : public UiTest {};

// HOME (and so the desktop folder) points at `path` while it lives.
class HomeFolder {
  public:
    explicit HomeFolder(const std::string& path) {
        const char* old = std::getenv("HOME");
        had_ = old != nullptr;
        old_ = had_ ? old : "";
        setenv("HOME", path.c_str(), 1);
        const char* xdg = std::getenv("XDG_CONFIG_HOME");
        hadXdg_ = xdg != nullptr;
        oldXdg_ = hadXdg_ ? xdg : "";
        unsetenv("XDG_CONFIG_HOME");
    }
    ~HomeFolder() {
        if (had_)
            setenv("HOME", old_.c_str(), 1);
        else
            unsetenv("HOME");
        if (hadXdg_)
            setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
    }

  private:
    bool had_ = false;
    bool hadXdg_ = false;
    std::string old_;
    std::string oldXdg_;
};

TEST_F(Dispatch, PlayPauseUnderTheQuietOptionPausesAndResumesByMuting) {
    Start();
    PlayMovie();
    Mp1.safeTimer = 1;
    W().Command(2018);
    EXPECT_EQ(WaitLines(3),
              (std::vector<std::string>{"mute 1", "osd_show_text PseudoPause", "pausing pause"}));
    EXPECT_TRUE(isPaused);
    W().Command(2018);
    EXPECT_EQ(WaitLines(2), (std::vector<std::string>{"mute 0", "osd_show_text P"}));
    EXPECT_FALSE(isPaused);
    Mp1.muted = 1;
    W().Command(2018);
    WaitLines(3);
    W().Command(2018);
    EXPECT_EQ(WaitLines(1), std::vector<std::string>{"osd_show_text P"});
}

TEST_F(Dispatch, PlayPauseWithoutAMoviePlaysTheMostRecentFile) {
    reopenpozycje[0] = dir_.file("other.avi");
    Start();
    W().Command(2018);
    EXPECT_TRUE(WaitLaunchWith("other.avi"));
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("other.avi"));
}

TEST_F(Dispatch, PlayPauseWithNoMovieAndNoRecentFileDoesNothing) {
    Start();
    EXPECT_TRUE(W().Command(2018));
    EXPECT_EQ(Launches(), 0);
}

TEST_F(Dispatch, EveryRadioGroupRelaunchesWithItsChoice) {
    Start();
    PlayMovie();
    const struct {
        int id;
        const char* const* table;
        int size;
        int index;
    } cases[] = {
        {2038, sound_devices, kSoundDeviceCount, 1},
        {2039, sound_devices, kSoundDeviceCount, 2},
        {2052, fonts_tt, kFontCount, 2},
        {2062, fonts_tt, kFontCount, 12},
        {2071, overwritechannelsT, kChannelModeCount, 1},
        {2077, overwritechannelsT, kChannelModeCount, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        int before = Launches();
        EXPECT_TRUE(W().Command(c.id));
        ASSERT_TRUE(WaitUntil([&] { return Launches() == before + 1; }, 5000));
        std::string fragment = c.table[c.index];
        while (!fragment.empty() && fragment.back() == ' ')
            fragment.pop_back();
        while (!fragment.empty() && fragment.front() == ' ')
            fragment.erase(0, 1);
        EXPECT_NE(LastLaunchCommandLine().find(fragment), std::string::npos);
        EXPECT_TRUE(W().Menus().IsChecked(c.id));
        EXPECT_FALSE(W().Menus().IsChecked(c.id - c.index));
    }
    EXPECT_EQ(Mp1.soundDriverNum, 2);
    EXPECT_EQ(Mp1.fontNum, 12);
    EXPECT_EQ(Mp1.overwriteChannels, 7);
}

TEST_F(Dispatch, VoiceOverModeMovesTheCheckMarkAndTheClipboardModesExplainThemselves) {
    Start();
    const std::string info = std::string("Info|") + VoiceOverUsingClip;
    // The voice-over group reports the command unhandled, like the window procedure does.
    EXPECT_FALSE(W().Command(2463));
    EXPECT_EQ(Mp1.voiceOverMode, 3);
    EXPECT_TRUE(W().Menus().IsChecked(2463));
    EXPECT_FALSE(W().Menus().IsChecked(2460));
    EXPECT_EQ(messages_, std::vector<std::string>{info});
    messages_.clear();
    EXPECT_FALSE(W().Command(2467));
    EXPECT_EQ(Mp1.voiceOverMode, 7);
    EXPECT_FALSE(W().Menus().IsChecked(2463));
    EXPECT_EQ(messages_, std::vector<std::string>{info});
    messages_.clear();
    EXPECT_FALSE(W().Command(2460));
    EXPECT_EQ(Mp1.voiceOverMode, 0);
    EXPECT_TRUE(W().Menus().IsChecked(2460));
    EXPECT_FALSE(W().Menus().IsChecked(2467));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(Dispatch, VolumeDragSwitchesTheOsdOffOnceAndRestoresItAtRelease) {
    Start();
    PlayMovie();
    Mp1.osdLevel = 1;
    VolumeSliderScroll(ScrollCode::ThumbTrack, 40);
    VolumeSliderScroll(ScrollCode::ThumbTrack, 30);
    VolumeSliderScroll(ScrollCode::ThumbPosition, 30);
    EXPECT_EQ(WaitLines(5), (std::vector<std::string>{"osd 0", "volume 40 1", "volume 30 1",
                                                      "volume 30 1", "osd 1"}));
    VolumeSliderScroll(ScrollCode::ThumbTrack, 20);
    EXPECT_EQ(WaitLines(2), (std::vector<std::string>{"osd 0", "volume 20 1"}));
    EXPECT_EQ(Mp1.volume, 20);
}

TEST_F(Dispatch, TwentyPercentPanScanGivesZoomZero) {
    Start();
    PlayMovie();
    W().Command(1042);
    EXPECT_EQ(Mp1.panScanZoom, 0);
    W().Command(1041);
    EXPECT_EQ(Mp1.panScanZoom, 80);
}

TEST_F(Dispatch, KillGuiRelaunchesInTheOwnWindowAndLeavesThePlayerRunning) {
    Start();
    PlayMovie();
    ASSERT_NE(Mp1.videoWindow.load(), 0u);
    int before = Launches();
    W().Command(2013);
    EXPECT_EQ(Mp1.videoWindow.load(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return Launches() == before + 1; }, 5000));
    EXPECT_EQ(LastLaunchCommandLine().find("-wid"), std::string::npos);
    EXPECT_EQ(exits_, std::vector<int>{100});
    EXPECT_TRUE(PlayerRunning());
    Mp1.videoWindow = Mp1.embeddedVideoWindow;
}

TEST_F(Dispatch, ADroppedMovieRemembersTheOldPositionFirst) {
    Start();
    PlayMovie();
    Mp1.timePosition = 77;
    W().DroppedFile(dir_.file("other.avi"));
    EXPECT_EQ(history1.get(dir_.file("movie.avi")), 77);
    EXPECT_EQ(reopenpozycje[0], dir_.file("other.avi"));
    EXPECT_TRUE(WaitLaunchWith("other.avi"));
}

TEST_F(Dispatch, OfSeveralDroppedFilesOnlyTheFirstIsTaken) {
    Start();
    PlayMovie();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.file("other.avi"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir_.file("third.avi")))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application routes drops only to the target of a drag in
    // progress, and there is none in a test.
    static_cast<QObject*>(&W())->event(&drop);
    EXPECT_EQ(reopenpozycje[0], dir_.file("other.avi"));
    EXPECT_NE(reopenpozycje[1], dir_.file("third.avi"));
    EXPECT_TRUE(WaitLaunchWith("other.avi"));
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("other.avi"));
}

TEST_F(Dispatch, SplitFileForRapidShareSplitsTheMovieOnTheDesktop) {
    TempDir home;
    std::filesystem::create_directories(home.file("Desktop"));
    HomeFolder homeFolder(home.path());
    const char page[] = "How to play this movie without unpacking.html";
    std::filesystem::copy_file(StageDir() + "/binary/" + page,
                               dir_.file(std::string("binary/") + page));
    std::filesystem::create_symlink(StageDir() + "/binary/rar", dir_.file("binary/rar"));
    Start();

    W().Command(2402);
    EXPECT_EQ(messages_, (std::vector<std::string>{"Error|Please first open movie!"}));

    WriteFile(dir_.file("my.movie.avi"), std::string(5000, 'm'));
    PlayMovie("my.movie.avi");
    messages_.clear();
    EXPECT_TRUE(W().Command(2402));
    EXPECT_EQ(WaitLines(1),
              (std::vector<std::string>{"pausing osd_show_text \"Split file for RapidShare.\""}));
    EXPECT_EQ(messages_, (std::vector<std::string>{"OK|File spited and save to desktop."}));
    const std::string first = home.file("Desktop/my_movie_avi(KTZ).rar");
    ASSERT_TRUE(std::filesystem::exists(first));
    const std::string volume = ReadFile(first);
    EXPECT_NE(volume.find(std::string(5000, 'm')), std::string::npos)
        << "the movie is stored unpacked";
    EXPECT_NE(volume.find(page), std::string::npos);
}

TEST_F(Dispatch, CommandsThatNeedAMovieDoNothingWithoutOne) {
    Start();
    W().Command(2002);
    W().Command(2477);
    EXPECT_TRUE(messages_.empty());
    W().Command(2305);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind("Error|", 0), 0u);
    for (int id : {1060, 1011, 2471, 1043, 1038, 113})
        EXPECT_TRUE(W().Command(id));
}

TEST_F(Dispatch, NfoFilesGoToTheViewerInsteadOfThePlayer) {
    Start();
    openFileAnswer_ = dir_.file("readme.nfo");
    WriteFile(openFileAnswer_, "nfo");
    W().Command(107);
    ASSERT_EQ(documents_.size(), 1u);
    EXPECT_NE(documents_[0].find("binary/NFO2TXT"), std::string::npos);
    EXPECT_EQ(Launches(), 0);
}

TEST_F(Dispatch, UnknownCommandsAreNotHandled) {
    Start();
    EXPECT_FALSE(W().Command(9999));
    EXPECT_FALSE(W().Command(2450 + 1));
}

} // namespace

namespace {

class Timer1 : public UiTest {};

TEST_F(Timer1, PollsThePositionUnderTheQuietOptionWithoutFillingTheTranscript) {
    Start();
    Mp1.safeTimer = 1;
    PlayMovie();
    EXPECT_TRUE(WaitUntil(
        [&] {
            ProcessEvents();
            return W().TimeSlider()->maximum() == 300;
        },
        3000));
    W().TimerTick();
    EXPECT_TRUE(WaitUntil(
        [&] {
            ProcessEvents();
            return W().TimeSlider()->value() == 42;
        },
        3000));
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().find("> pausing_keep get_time_pos"), std::string::npos);
}

TEST_F(Timer1, DoesNotPollWhilePausedOrWithoutTheQuietOption) {
    Start();
    PlayMovie();
    Mp1.safeTimer = 0;
    size_t mark = ReadFile(dir_.file("fake.log")).size();
    W().TimerTick();
    Mp1.safeTimer = 1;
    isPaused = true;
    W().TimerTick();
    W().Command(1060); // a marker line after the ticks
    WaitLines(1);
    EXPECT_EQ(ReadFile(dir_.file("fake.log")).find("get_time_pos", mark), std::string::npos);
    isPaused = false;
}

} // namespace

// A movie left at its credits (within its last 10 s) starts from the beginning when it is
// opened again; one left earlier resumes three seconds before where it was.
TEST_F(Dispatch, AMovieLeftAtItsCreditsStartsFromTheBeginningNextTime) {
    Start();
    for (int left : {295, 200}) {
        PlayMovie("movie.avi"); // 300 s long
        Mp1.timePosition = left;
        int before = Launches();
        W().DroppedFile(dir_.file("other.avi"));
        ASSERT_TRUE(WaitUntil([&] { return Launches() == before + 1; }, 5000));
        W().DroppedFile(dir_.file("movie.avi"));
        ASSERT_TRUE(WaitUntil([&] { return Launches() == before + 2; }, 5000));
        const std::string line = LastLaunchCommandLine();
        if (left == 295)
            EXPECT_EQ(line.find(" -ss "), std::string::npos) << line;
        else
            EXPECT_NE(line.find(" -ss 197 "), std::string::npos) << line;
    }
}

// Play after the player has gone (the movie ended) starts the movie again, from the beginning.
TEST_F(Dispatch, PlayAfterTheMovieEndedStartsItAgainFromTheBeginning) {
    Start();
    PlayMovie();
    SendCommand("quit");
    ASSERT_TRUE(WaitUntil([] { return !PlayerRunning(); }, 5000));
    int before = Launches();
    W().Command(2018);
    ASSERT_TRUE(WaitUntil([&] { return Launches() == before + 1; }, 5000));
    EXPECT_EQ(LastLaunchCommandLine().find(" -ss "), std::string::npos) << LastLaunchCommandLine();
    EXPECT_NE(LastLaunchCommandLine().find("movie.avi"), std::string::npos);
    EXPECT_TRUE(PlayerRunning());
}

namespace {
// One action on a playing movie and the slave lines it sends, in order; none relaunches.
class PlayingMovie;
struct ActionCase {
    const char* name;
    std::function<void(PlayingMovie&)> act;
    std::vector<std::string> lines; // "{dir}" stands for the test's folder
    std::function<void(PlayingMovie&)> check = [](PlayingMovie&) {};
};

class PlayingMovie : public UiTest, public ::testing::WithParamInterface<ActionCase> {
  public:
    using UiTest::dir_;
    using UiTest::openFileAnswer_;
    using UiTest::W;
};

const ActionCase kActionCases[] = {
    {"PlayPauseWithoutTheQuietOptionSendsPause",
     [](PlayingMovie& t) {
         Mp1.safeTimer = 0;
         t.W().Command(2018);
     },
     {"pause"}},
    {"OsdModesChangeTheRunningPlayer",
     [](PlayingMovie& t) { EXPECT_TRUE(t.W().Command(1050)); },
     {"osd 2"},
     [](PlayingMovie& t) {
         EXPECT_TRUE(t.W().Menus().IsChecked(1050));
         EXPECT_FALSE(t.W().Menus().IsChecked(1049));
     }},
    {"VolumePageClickSendsTheVolumeBetweenOsdChanges",
     [](PlayingMovie&) { VolumeSliderScroll(ScrollCode::PageUp, 70); },
     {"osd 0", "volume 70 1", "osd 1"}},
    {"RealDragOfTheVolumeSliderGoesThroughTheSameSteps",
     [](PlayingMovie& t) {
         QSlider* slider = t.W().VolumeSlider();
         slider->setSliderDown(true);
         slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
         slider->setSliderPosition(50);
         slider->setSliderDown(false);
     },
     {"osd 0", "volume 50 1", "volume 50 1", "osd 1"}},
    {"PositionPageClickSeeksToThePositionUpTo199Seconds",
     [](PlayingMovie&) {
         isPaused = true;
         TimeSliderScroll(ScrollCode::PageDown, 199, 10, 100);
     },
     {"seek 199 2"},
     [](PlayingMovie&) { EXPECT_FALSE(isPaused); }},
    {"PositionPageClickPastTheLimitSeeksToTheClickedFraction",
     [](PlayingMovie&) { TimeSliderScroll(ScrollCode::PageUp, 200, 25, 200); },
     {"osd 0", "seek 12.500000 1", "osd 1"}},
    {"PositionThumbReleaseSeeksThereAndMovesTheSliderUnderTheQuietOption",
     [](PlayingMovie& t) {
         Mp1.safeTimer = 1;
         t.W().TimeSlider()->setRange(0, 300);
         TimeSliderScroll(ScrollCode::ThumbTrack, 120, 0, 0);
         EXPECT_EQ(t.W().TimeSlider()->value(), 120);
         TimeSliderScroll(ScrollCode::ThumbPosition, 130, 0, 0);
     },
     {"osd 0", "seek 130 2", "osd 1"},
     [](PlayingMovie& t) { EXPECT_EQ(t.W().TimeSlider()->value(), 130); }},
    {"WheelSeeksTenSecondsKeepingPause",
     [](PlayingMovie&) {
         WheelTurned(120);
         WheelTurned(-120);
         WheelTurned(0);
     },
     {"pausing_keep seek +10", "pausing_keep seek -10"}},
    {"ADroppedSubtitleGoesIntoTheRunningPlayer",
     [](PlayingMovie& t) { t.W().DroppedFile(t.dir_.file("movie.srt")); },
     {"sub_remove -1", "sub_load \"{dir}/movie.srt\"", "sub_select 0"}},
    {"CancelledOpenDialogResumesPlayback",
     [](PlayingMovie& t) {
         t.openFileAnswer_.clear();
         t.W().Command(107);
     },
     {"pausing frame_step", "pause"}},
};
} // namespace

TEST_P(PlayingMovie, SendsItsLinesWithoutARelaunch) {
    const ActionCase& c = GetParam();
    Start();
    PlayMovie();
    const int launches = Launches();
    c.act(*this);
    std::vector<std::string> expected;
    for (std::string line : c.lines) {
        if (size_t at = line.find("{dir}"); at != std::string::npos)
            line.replace(at, 5, dir_.path());
        expected.push_back(line);
    }
    EXPECT_EQ(WaitLines(expected.size()), expected);
    c.check(*this);
    EXPECT_EQ(Launches(), launches) << "the running player takes it";
}

INSTANTIATE_TEST_SUITE_P(Dispatch, PlayingMovie, ::testing::ValuesIn(kActionCases),
                         [](const ::testing::TestParamInfo<ActionCase>& info) {
                             return std::string(info.param.name);
                         });
