// Hostile names through every builder of the player's command line and the splitter the launch
// uses, checked in the argv the started process really gets: each comes back byte for byte as
// one argument, and none adds an option.
#include "persist/history.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "subtitles/subtitleloading.h"
#include "tests/player/playerstate.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

namespace {
// Names as they come in archives and torrents.
std::vector<std::string> HostileNames(const std::string& folder) {
    std::vector<std::string> names = {
        "x\" -dumpstream -dumpfile \"" + folder + "/bashrc\" \"b.avi",
        "q\"uote and space.avi",
        "back\\slash\\\" \\\\\".avi",
        "ends in backslashes\\\\",
        "$(touch " + folder + "/P1)`touch " + folder + "/P2`.avi",
        "a;b&c|d>e<f.avi",
        "new\nline\r.avi",
        "-dumpstream",
        "  blanks\tand tab  ",
        "bad\xff\xfe\x80.avi",
        "'single' and \"\"double\"\".avi",
        std::string(4000, 'n') + "\".avi",
    };
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        paths.push_back(name);                // as given on a command line
        paths.push_back(folder + "/" + name); // as a dialog gives it
    }
    return paths;
}

class CommandLines : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        StageFakePlayerFolder(dir_.path());
        WriteFile(dir_.file("fake.script"), "print Quorvan fake\n");
        SetWindowPort(&port_);
        Mp1.videoWindow = 0;
        Mp1.init();
    }
    void TearDown() override {
        ClosePlayer(2000);
        ResetPlayerState();
        Mp1.init();
        SetWindowPort(nullptr);
        SetProgramFolder("");
    }
    // The argv of the last launch, as split by the launch and as the child logged it.
    std::vector<std::string> LaunchedArgv() {
        std::vector<std::string> argv = SplitCommandLineWindows(LastLaunchCommandLine());
        std::string logged;
        for (size_t i = 1; i < argv.size(); ++i)
            logged += "argv: " + argv[i] + "\n";
        EXPECT_TRUE(WaitUntil(
            [&] { return ReadFile(dir_.file("fake.log")).find(logged) != std::string::npos; },
            5000))
            << "the player got another argv";
        return argv;
    }
    // The value right after `option`, once; "" when it is not there.
    static std::string ValueOf(const std::vector<std::string>& argv, const std::string& option) {
        std::string value;
        int seen = 0;
        for (size_t i = 0; i + 1 < argv.size(); ++i)
            if (argv[i] == option) {
                value = argv[i + 1];
                ++seen;
            }
        EXPECT_EQ(seen, 1) << option;
        return value;
    }
    static void NoAddedOptions(const std::vector<std::string>& argv, const std::string& name) {
        for (const char* option : {"-dumpfile", "-dumpstream"})
            for (size_t i = 0; i < argv.size(); ++i) {
                if (argv[i] == option) {
                    EXPECT_EQ(name, option) << "an option came out of the name";
                }
            }
    }
    TempDir dir_;
    RecorderPort port_;
};
} // namespace

TEST_F(CommandLines, EveryNameComesBackThroughEveryBuilder) {
    for (const std::string& name : HostileNames(dir_.path())) {
        SCOPED_TRACE(name.substr(0, 80));
        // The movie, opened and relaunched, with a subtitle file forced by the user and a
        // downloaded one (Napiprojekt's option) and an audio file of the same name.
        ClosePlayer(2000);
        WriteFile(dir_.file("fake.log"), "");
        {
            std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
            Mp1.movieFile = name;
            Mp1.externalAudioFile = name;
            Mp1.extraOptions = " -sub " + QuoteCommandLineArg(name) + " ";
        }
        Mp1.init();
        Mp1.LanchMovie();
        std::vector<std::string> argv = LaunchedArgv();
        EXPECT_EQ(argv.size() > 1 ? argv.back() : "", "2") << "-sub-fuzziness 2 stays last";
        EXPECT_EQ(ValueOf(argv, "-audiofile"), name);
        EXPECT_EQ(ValueOf(argv, "-sub"), name);
        EXPECT_EQ(std::count(argv.begin(), argv.end(), name), 3);
        NoAddedOptions(argv, name);

        ClosePlayer(2000);
        WriteFile(dir_.file("fake.log"), "");
        {
            std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
            Mp1.extraOptions.clear();
            Mp1.externalAudioFile.clear();
            Mp1.subtitleOptions = ForcedSubtitleOptions(name, "{1}{1}23.976");
        }
        Mp1.init();
        Mp1.timePosition = 42;
        Mp1.LanchRefresh();
        argv = LaunchedArgv();
        EXPECT_EQ(ValueOf(argv, "-sub"), name);
        EXPECT_EQ(ValueOf(argv, "-ss"), "42");
        EXPECT_EQ(std::count(argv.begin(), argv.end(), name), 2);
        NoAddedOptions(argv, name);

        // The program's own argv, as its entry point joins it for the start-up's split.
        EXPECT_EQ(SplitCommandLineWindows(JoinCommandLine({"QuorvanPlayer", name})),
                  (std::vector<std::string>{"QuorvanPlayer", name}));
    }
    EXPECT_FALSE(IsFileExist(dir_.file("bashrc").c_str()));
    EXPECT_FALSE(IsFileExist(dir_.file("P1").c_str()));
}

TEST_F(CommandLines, BackslashesOutsideQuotedValuesStillBecomeSlashes) {
    // A preset written for Windows keeps working; a quoted name keeps its backslashes.
    Mp1.extraOptions = "-vf-add eq2 -dumpfile C:\\x\\y -sub " + QuoteCommandLineArg("a\\\"b\\");
    Mp1.init();
    std::vector<std::string> argv = SplitCommandLineWindows(Mp1.builtOptions);
    EXPECT_EQ(ValueOf(argv, "-dumpfile"), "C:/x/y");
    EXPECT_EQ(ValueOf(argv, "-sub"), "a\\\"b\\");
    std::string line = "a\\b \"c\\d\" e\\\\\"f g\\\" h\" i\\\"\\j";
    std::vector<std::string> before = SplitCommandLineWindows(line);
    SlashesOutsideQuotes(line);
    std::vector<std::string> after = SplitCommandLineWindows(line);
    EXPECT_EQ(after, (std::vector<std::string>{"a/b", "c\\d", "e\\f g\" h", "i\"/j"}));
    EXPECT_EQ(before.size(), after.size());
}
