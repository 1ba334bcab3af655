// The player command lines, byte for byte.
#include "persist/filters.h"
#include "persist/history.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "tests/player/playerstate.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
const std::string kFolder = "/opt/quorvan/";
const std::string kPrime = "\"/opt/quorvan/binary/QUORVAN\" -slave  -identify -vf screenshot ";
const std::string kFont = " -font \"/usr/share/fonts/ARIAL.TTF\" -subfont-text-scale 3.04 ";

class LaunchConfig : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        SetProgramFolder(kFolder);
        Mp1.videoWindow = 0;
        Mp1.init();
    }
    void TearDown() override { SetProgramFolder(""); }
};
} // namespace

TEST_F(LaunchConfig, DefaultSettingsGiveTheReferenceCommandLine) {
    Mp1.videoWindow = 12345;
    Mp1.init();
    const std::string options = " -font \"/usr/share/fonts/ARIAL.TTF\" -subfont-text-scale 3.04"
                                "    -quiet   -vc xvid,     -wid 12345 -colorkey 0x101010  "
                                " -osdlevel 1";
    EXPECT_EQ(Mp1.builtOptions, options);
    EXPECT_EQ(Mp1.Font(), options);
    EXPECT_EQ(Mp1.primeCommand, kPrime + " " + options + " ");
    EXPECT_EQ(Mp1.primeExeRar, Mp1.primeCommand);
    EXPECT_EQ(Mp1.primeExe(), Mp1.primeCommand);
    EXPECT_EQ(Mp1.panScanZoom, 100);
    EXPECT_EQ(Mp1.programFilesDir, "/usr/bin");
    EXPECT_FALSE(Mp1.IsUseGLDriver());
}

TEST_F(LaunchConfig, ConstructorBuildsACommandBeforeAnySettingsAreRead) {
    // Mp1 is built from the defaults before main; without a window there is no -wid.
    EXPECT_EQ(Mp1.primeCommand.find(" -wid "), std::string::npos);
    EXPECT_NE(Mp1.primeCommand.find(" -osdlevel 1 "), std::string::npos);
}

TEST_F(LaunchConfig, EverySoundDeviceEntryFollowsTheFixedOptions) {
    for (int i = 0; i < kSoundDeviceCount; ++i) {
        Mp1.soundDriverNum = i;
        Mp1.init();
        EXPECT_EQ(Mp1.primeCommand, kPrime + sound_devices[i] + Mp1.builtOptions + " ") << i;
    }
    // What the entries mean: the first passes nothing, the second no sound, and from the
    // fourth on each names the next DirectSound device.
    EXPECT_EQ(std::string(sound_devices[0]), " ");
    EXPECT_NE(std::string(sound_devices[1]).find(" -nosound "), std::string::npos);
    for (int i = 3; i < kSoundDeviceCount; ++i)
        EXPECT_NE(std::string(sound_devices[i]).find("-ao dsound:device=" + std::to_string(i - 3)),
                  std::string::npos)
            << i;
    for (int bad : {12, -1, 1000}) {
        Mp1.soundDriverNum = bad;
        Mp1.init();
        EXPECT_EQ(Mp1.primeCommand, kPrime + " " + Mp1.builtOptions + " ") << bad;
    }
}

TEST_F(LaunchConfig, EveryFontEntryPassesItsFile) {
    const char* files[] = {"ARIAL.TTF",  "ARIALBD.TTF", "ARIALBI.TTF", "ARIALBI.TTF", "COUR.TTF",
                           "COURBD.TTF", "COURI.TTF",   "COURBI.TTF",  "TIMES.TTF",   "TIMESBI.TTF",
                           "TIMESI.TTF", "TIMESBD.TTF", "L_10646.TTF"};
    for (int i = 0; i < 13; ++i) {
        Mp1.fontNum = i;
        Mp1.init();
        EXPECT_EQ(Mp1.builtOptions.rfind(std::string(" -font \"/usr/share/fonts/") + files[i] +
                                             "\" -subfont-text-scale 3.04 ",
                                         0),
                  0u)
            << i;
    }
    Mp1.fontNum = 13;
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions.rfind(kFont, 0), 0u);
}

TEST_F(LaunchConfig, FontSizeGivesTheScaleAsAShortDecimal) {
    fontsize = 108;
    Mp1.init();
    EXPECT_NE(Mp1.builtOptions.find(" -subfont-text-scale 2 "), std::string::npos);
    fontsize = 200;
    Mp1.init();
    EXPECT_NE(Mp1.builtOptions.find(" -subfont-text-scale 3.84 "), std::string::npos);
    fontsize = 160;
}

TEST_F(LaunchConfig, EveryChannelModeSitsBetweenTwoBlanks) {
    const char* modes[] = {"",           " -channels 1 ", " -channels 2 ",
                           " -af hrtf ", " -channels 6 ", "-channels 4",
                           " -af sub ",  " -af surround "};
    for (int i = 0; i < 8; ++i) {
        Mp1.overwriteChannels = i;
        Mp1.init();
        std::string expected =
            kFont + "  " + " -quiet " + "  -vc xvid,  " + " " + modes[i] + " " + " -osdlevel 1";
        EXPECT_EQ(Mp1.builtOptions, expected) << i;
    }
    Mp1.overwriteChannels = 8;
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions, kFont + "   -quiet   -vc xvid,     -osdlevel 1");
}

TEST_F(LaunchConfig, OptionalFragmentsAppearInTheirOrder) {
    Mp1.safeTimer = 0;
    Mp1.alternativeXvidCodec = 0;
    Mp1.scaleTempoAudio = 1;
    Mp1.volume = 0;
    Mp1.externalAudioFile = "C:\\music\\track one.mp3";
    Mp1.extraOptions = "-vf-add eq2";
    Mp1.fullScreen = true;
    Mp1.osdLevel = 3;
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions, kFont + " -vf-add eq2  -af-add scaletempo  -volume 0 " +
                                    " -audiofile \"C:\\music\\track one.mp3\" -hr-mp3-seek " +
                                    "   -osdlevel 3 -fs ");
    Mp1.volume = 100;
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions.find("-volume"), std::string::npos);
    Mp1.volume = 55;
    Mp1.init();
    EXPECT_NE(Mp1.builtOptions.find(" -volume 55 "), std::string::npos);
}

TEST_F(LaunchConfig, NowidMarkerSuppressesTheWindowOption) {
    Mp1.videoWindow = 777;
    Mp1.extraOptions = "-vo gl <nowid>";
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions.find("-wid"), std::string::npos);
    EXPECT_EQ(Mp1.builtOptions.find("<nowid>"), std::string::npos);
    EXPECT_NE(Mp1.builtOptions.find(" -vo gl   "), std::string::npos);
    EXPECT_TRUE(Mp1.IsUseGLDriver());
}

TEST_F(LaunchConfig, UserFilterPresetIsAddedOnlyWhenItsIndexExists) {
    Mp1.userFilterNum = 0;
    Mp1.init();
    std::string without = Mp1.builtOptions;
    user_filtrs = {{"Deinterlace", "-vf-add yadif"}, {"Flip", "-vf-add flip"}};
    Mp1.userFilterNum = 1;
    Mp1.init();
    EXPECT_NE(Mp1.builtOptions.find("   -vf-add flip  -osdlevel"), std::string::npos)
        << Mp1.builtOptions;
    Mp1.userFilterNum = 2;
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions, without);
    Mp1.userFilterNum = 5;
    Mp1.init();
    EXPECT_EQ(Mp1.builtOptions, without);
    user_filtrs.clear();
}

TEST(PanScan, NumbersForAPalPicture) {
    EXPECT_EQ(getpanscren(720, 576, 100), " -vf-add expand=768:576,crop=768 ");
    EXPECT_EQ(getpanscren(720, 576, 0), " -vf-add expand=720:540,crop=720 ");
    EXPECT_EQ(getpanscren(720, 576, 50), " -vf-add expand=744:558,crop=744 ");
    // H is lowered to an even number.
    EXPECT_EQ(getpanscren(640, 363, 100), " -vf-add expand=484:362,crop=484 ");
    EXPECT_EQ(getpanscren(0, 0, 100), " -vf-add expand=0:0,crop=0 ");
}

// The launches themselves, checked through the command line handed to the process layer.
class Launches : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        StageFakePlayerFolder(dir_.path());
        WriteFile(dir_.file("fake.script"),
                  "print Quorvan fake\non get_time_length|ANS_LENGTH=100.0\n");
        SetWindowPort(&port_);
        Mp1.videoWindow = 0;
        Mp1.init();
        prime_ = Mp1.primeCommand;
    }
    void TearDown() override {
        ClosePlayer(2000);
        SetWindowPort(nullptr);
        SetProgramFolder("");
    }
    TempDir dir_;
    RecorderPort port_;
    std::string prime_;
};

TEST_F(Launches, RememberedPositionsOfOrdinaryMoviesAndRarSets) {
    const std::string movie = dir_.file("my movie.avi");
    history1.add(movie, 10);
    Mp1.movieFile = movie;
    Mp1.LanchMovie();
    EXPECT_EQ(LastLaunchCommandLine(), prime_ + "\"" + movie + "\" -sub-fuzziness 2   ");
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().rfind(LastLaunchCommandLine() + "\r\n", 0), 0u);

    history1.add(movie, 11);
    Mp1.LanchMovie();
    EXPECT_EQ(LastLaunchCommandLine(), prime_ + "\"" + movie + "\" -sub-fuzziness 2    -ss 8  ");

    const std::string rar = dir_.file("movie.part03.rar");
    const std::string first = dir_.file("movie.part01.rar");
    history1.add(first, 5);
    Mp1.movieFile = rar;
    Mp1.LanchMovie();
    EXPECT_EQ(Mp1.MovieFileSnapshot(), first);
    EXPECT_EQ(LastLaunchCommandLine(),
              Mp1.primeExeRar + "\"" + first + "\" -sub-fuzziness 2     -ss 5  ");
    EXPECT_TRUE(port_.Has("title:" + std::string(ProgramTitle) + "| movie.part03.rar"));
}

TEST_F(Launches, AudioFileAndMovieNamesPassUnchanged) {
    for (const std::string audio : {"/music/a\\b.mp3", "/music/say \"hi\".mp3", "/music/end\\"}) {
        ClosePlayer(2000); // the previous launch's reader reads Mp1: let it end first
        Mp1.externalAudioFile = audio;
        Mp1.init();
        Mp1.movieFile = "/films/odd\\name \"x\".avi";
        Mp1.LanchMovie();
        std::vector<std::string> argv = SplitCommandLineWindows(LastLaunchCommandLine());
        auto at = std::find(argv.begin(), argv.end(), "-audiofile");
        ASSERT_NE(at, argv.end());
        ASSERT_NE(at + 1, argv.end());
        EXPECT_EQ(at[1], audio);
        EXPECT_NE(std::find(argv.begin(), argv.end(), Mp1.movieFile), argv.end()) << audio;
    }
}

TEST_F(Launches, AspectThenRefreshDropsTheAspect) {
    Mp1.movieFile = dir_.file("m.avi");
    Mp1.timePosition = 42;
    Mp1.subtitleOptions = "-sub x.srt";
    Mp1.LanchAspect(" -aspect 16:9 ");
    EXPECT_EQ(LastLaunchCommandLine(),
              prime_ + "\"" + Mp1.movieFile +
                  "\"  -aspect 16:9   -sub-fuzziness 2 -ss 42  -sub x.srt");
    EXPECT_EQ(Mp1.extraLaunchOptions, " -aspect 16:9   -sub-fuzziness 2 -ss 42 ");
    Mp1.LanchRefresh();
    EXPECT_EQ(LastLaunchCommandLine(), prime_ + "\"" + Mp1.movieFile + "\"  -ss 42   -sub x.srt");
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().rfind(LastLaunchCommandLine() + "\r", 0), 0u);

    Mp1.videoWidth = 720;
    Mp1.videoHeight = 576;
    Mp1.panScanZoom = 0;
    Mp1.LanchPanScrenRefresh();
    EXPECT_EQ(LastLaunchCommandLine(),
              prime_ + "\"" + Mp1.movieFile +
                  "\"  -vf-add expand=720:540,crop=720   -sub-fuzziness 2 -ss 42  -sub x.srt");
}

TEST_F(Launches, DvdLaunchAndItsUnquotedRelaunch) {
    Mp1.LanchDVD('d');
    EXPECT_EQ(Mp1.MovieFileSnapshot(), "dvd:// -dvd-device d:\\  ");
    EXPECT_EQ(LastLaunchCommandLine(), prime_ + "dvd:// -dvd-device d:\\   -sub-fuzziness 2 ");
    // The console starts with the command line; the fake player's first line may already follow.
    EXPECT_EQ(Mp1.ConsoleTextSnapshot().rfind(LastLaunchCommandLine(), 0), 0u);
    Mp1.timePosition = 7;
    Mp1.LanchRefresh();
    EXPECT_EQ(LastLaunchCommandLine(), prime_ + " dvd:// -dvd-device d:\\    -ss 7   ");
}

TEST_F(Launches, AfterLaunchCommandsReachThePlayerInOrder) {
    Mp1.muted = 1;
    Mp1.osdLevel = 2;
    Mp1.movieFile = dir_.file("m.avi");
    Mp1.LanchMovie();
    ClosePlayer(2000);
    std::vector<std::string> got;
    for (const auto& line : ReadLines(dir_.file("fake.log")))
        if (line.rfind("stdin: ", 0) == 0)
            got.push_back(line.substr(7));
    std::vector<std::string> expected = {"osd 0", "mute", "get_time_length", "osd 2"};
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 4), expected);
}

TEST_F(Launches, LeavingWithAPlayerStillPlayingEndsTheProgramNormally) {
    // A movie that ended may start the next part while the program leaves: a reader still
    // running at exit must not abort the program.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Mp1.movieFile = dir_.file("m.avi");
            Mp1.LanchMovie();
            std::exit(PlayerRunning() ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(MissingPlayer, OpeningAMovieSaysSoAndNothingElseComplains) {
    ResetPlayerState();
    TempDir dir;
    SetProgramFolder(dir.path());
    RecorderPort port;
    ScopedPort scoped(&port);
    Mp1.init();
    Mp1.movieFile = dir.file("movie.avi");
    Mp1.LanchMovie();
    EXPECT_TRUE(port.Has("message:Error:No file QUORVAN.exe in binary folder!"));
    port.Clear();
    Mp1.LanchRefresh();
    Mp1.LanchDVD('e');
    Mp1.movieFile = dir.file("set.rar");
    Mp1.LanchMovie();
    for (const auto& e : port.Events())
        EXPECT_EQ(e.rfind("message:", 0), std::string::npos) << e;
    EXPECT_FALSE(SendCommand("pause"));
    SetProgramFolder("");
}

TEST(SoundDevices, MenuItemsAreNamedForAtMostSevenDevices) {
    RecorderPort port;
    ScopedPort scoped(&port);
    int counter = 0;
    for (int i = 0; i < 9; ++i)
        DirectSoundEnum(nullptr, ("dev" + std::to_string(i)).c_str(), "", &counter);
    EXPECT_EQ(counter, 9);
    std::vector<std::string> expected;
    for (int i = 0; i < 7; ++i)
        expected.push_back("menu:" + std::to_string(2040 + i) + ":dev" + std::to_string(i));
    EXPECT_EQ(port.Events(), expected);
    port.Clear();
    dxsenumerate();
    ASSERT_FALSE(port.Events().empty());
    EXPECT_EQ(port.Events()[0], "menu:2040:Primary Sound Driver");
}
