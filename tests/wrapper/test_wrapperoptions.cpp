// Translating the front end's options for the system's mplayer.
#include "tools/wrapper/fullscreen.h"
#include "tools/wrapper/openfailure.h"
#include "tools/wrapper/playerproxy.h"
#include "tools/wrapper/wrapperoptions.h"

#include <gtest/gtest.h>

using Args = std::vector<std::string>;

namespace {
WrapperEnvironment TestEnvironment() {
    WrapperEnvironment env;
    env.audioDevice = [](int n) { return n == 2 ? std::string("alsa:device=hw=1.0") : ""; };
    env.matchFont = [](const std::string& pattern) {
        return pattern == "Liberation Sans:bold" ? std::string("/fonts/LiberationSans-Bold.ttf")
                                                 : std::string();
    };
    env.fileExists = [](const std::string& path) { return path == "/real/font.ttf"; };
    return env;
}
} // namespace

TEST(WrapperOptions, WindowsOnlyOptionsAreTranslated) {
    struct Case {
        Args in;
        Args out;
    } cases[] = {
        {{"-slave", "-ao", "win32", "m.avi"}, {"-slave", "m.avi"}},
        {{"-ao", "dsound:device=0", "m.avi"}, {"m.avi"}},
        {{"-ao", "dsound:device=2", "m.avi"}, {"-ao", "alsa:device=hw=1.0", "m.avi"}},
        {{"-ao", "dsound:device=7", "m.avi"}, {"m.avi"}},
        {{"-ao", "null", "m.avi"}, {"-ao", "null", "m.avi"}},
        {{"-wid", "123", "-colorkey", "0x101010", "m.avi"},
         {"-wid", "123", "-colorkey", "0x101010", "m.avi"}},
        {{"-vo", "null", "-colorkey", "0x101010", "m.avi"}, {"-vo", "null", "m.avi"}},
        {{"-vo", "xv", "-colorkey", "0x101010"}, {"-vo", "xv", "-colorkey", "0x101010"}},
        {{"-font", "/usr/share/fonts/ARIALBD.TTF", "m.avi"},
         {"-font", "/fonts/LiberationSans-Bold.ttf", "m.avi"}},
        {{"-font", "/real/font.ttf"}, {"-font", "/real/font.ttf"}},
        {{"-font", "/usr/share/fonts/COUR.TTF", "m.avi"}, {"m.avi"}},
        {{"dvd://", "-dvd-device", "e:\\", "-sub-fuzziness", "2"},
         {"dvd://", "-dvd-device", "/dev/sr1", "-sub-fuzziness", "2"}},
        {{"-quiet", "-vc", "xvid,", "m.avi"}, {"-quiet", "m.avi"}},
        {{"-vc", "ffh264,xvid,ffodivx", "m.avi"}, {"-vc", "ffh264,ffodivx", "m.avi"}},
        {{"-vc", "ffmpeg12,", "m.avi"}, {"-vc", "ffmpeg12,", "m.avi"}},
        {{"-vf", "screenshot", "-osdlevel", "1", "-fs", "-"},
         {"-vf", "screenshot", "-osdlevel", "1", "-fs", "-"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TranslatePlayerOptions(c.in, TestEnvironment()), c.out) << c.in[1];
}

TEST(WrapperOptions, SilentMachinesKeepTheAudioClock) {
    Args plain = {"-slave", "-quiet", "m.avi", "-ss", "5"};
    AddSilentAudioFallback(plain);
    EXPECT_EQ(plain, (Args{"-slave", "-quiet", "-ao", "pulse,alsa,null", "m.avi", "-ss", "5"}));
    Args chosen = {"-ao", "null", "m.avi"};
    AddSilentAudioFallback(chosen);
    EXPECT_EQ(chosen, (Args{"-ao", "null", "m.avi"}));
    Args silent = {"-nosound", "m.avi"};
    AddSilentAudioFallback(silent);
    EXPECT_EQ(silent, (Args{"-nosound", "m.avi"}));
}

TEST(WrapperOptions, WindowsFontFilesMapToFontconfigFaces) {
    EXPECT_EQ(FontPatternForWindowsFile("/usr/share/fonts/ARIAL.TTF"), "Liberation Sans");
    EXPECT_EQ(FontPatternForWindowsFile("C:\\Windows\\Fonts\\timesbi.ttf"),
              "Liberation Serif:bold:italic");
    EXPECT_EQ(FontPatternForWindowsFile("COURI.TTF"), "Liberation Mono:italic");
    EXPECT_EQ(FontPatternForWindowsFile("L_10646.TTF"), "DejaVu Sans");
    EXPECT_EQ(FontPatternForWindowsFile("/x/Ubuntu.ttf"), "Ubuntu");
}

TEST(WrapperOptions, MovieArgumentsAreTheWordsThatAreNoOptionValues) {
    Args args = {"-slave",     "-identify",      "-vf", "screenshot", "-quiet", "-vc", "xvid,",
                 "/m/a b.avi", "-sub-fuzziness", "2",   "-ss",        "8"};
    EXPECT_EQ(FindMovieArguments(args), std::vector<size_t>{7});
    EXPECT_EQ(FindMovieArguments({"-slave", "-"}), std::vector<size_t>{1});
    EXPECT_EQ(FindMovieArguments({"dvd://", "-dvd-device", "/dev/sr0"}), std::vector<size_t>{0});
    EXPECT_EQ(OpticalDeviceForLetter('D'), "/dev/sr0");
}

TEST(WrapperOutput, PiecesKeepTheirTerminatorsAndJoinToTheInput) {
    std::string pending;
    auto pieces = SplitOutputPieces(pending, "A: 1.0\rA: 2.0\r\nhal", 18);
    EXPECT_EQ(pieces, (Args{"A: 1.0\r", "A: 2.0\r", "\n"}));
    EXPECT_EQ(pending, "hal");
    pieces = SplitOutputPieces(pending, "f\n", 2);
    EXPECT_EQ(pieces, (Args{"half\n"}));
    EXPECT_EQ(pending, "");
    // Without a line end, pieces are cut at 64 KiB.
    std::string flood = std::string(140000, 'x') + "\ny";
    pieces = SplitOutputPieces(pending, flood.data(), flood.size());
    EXPECT_EQ(pieces, (Args{std::string(65536, 'x'), std::string(65536, 'x'),
                            std::string(140000 - 131072, 'x') + "\n"}));
    EXPECT_EQ(pending, "y");
}

namespace {
struct CapturingIo : PlayerIo {
    std::string printed;
    void SendToPlayer(const std::string&) override {}
    void Print(const std::string& text) override { printed += text; }
};
} // namespace

TEST(WrapperOutput, AMovieThatCannotBeOpenedEndsAsAFatalError) {
    CapturingIo io;
    OpenFailurePlugin plugin;
    EXPECT_TRUE(plugin.OnOutput("File not found: 'x.avi'\n", io));
    EXPECT_TRUE(plugin.OnOutput("Failed to open x.avi.\n", io));
    EXPECT_FALSE(plugin.OnOutput("Exiting... (End of file)\n", io));
    EXPECT_EQ(io.printed, "Exiting... (Fatal error) Failed to open x.avi.\n");

    CapturingIo played;
    OpenFailurePlugin after;
    after.OnOutput("Failed to open subtitle.srt.\n", played);
    after.OnOutput("Starting playback...\n", played);
    EXPECT_TRUE(after.OnOutput("Exiting... (End of file)\n", played)) << "a real end of movie";
    EXPECT_EQ(played.printed, "");

    // A file mplayer cannot read: its last complaint is the reason, a VDPAU probe is none.
    CapturingIo broken;
    OpenFailurePlugin unreadable;
    unreadable.OnOutput("libavformat file format detected.\n", broken);
    unreadable.OnOutput("LAVF_header: av_open_input_stream() failed\n", broken);
    unreadable.OnOutput("Failed to open VDPAU backend libvdpau_nvidia.so\n", broken);
    EXPECT_FALSE(unreadable.OnOutput("Exiting... (End of file)\n", broken));
    EXPECT_EQ(broken.printed,
              "Exiting... (Fatal error) LAVF_header: av_open_input_stream() failed\n");

    CapturingIo silent;
    OpenFailurePlugin nothingSaid;
    EXPECT_FALSE(nothingSaid.OnOutput("Exiting... (End of file)\n", silent));
    EXPECT_EQ(silent.printed, "Exiting... (Fatal error) mplayer found nothing it could play\n");
}

namespace {
struct RecordingIo : PlayerIo {
    std::vector<std::string> sent;
    std::string printed;
    void SendToPlayer(const std::string& command) override { sent.push_back(command); }
    void Print(const std::string& text) override { printed += text; }
};
} // namespace

TEST(WrapperFullscreen, EveryToggleIsAnsweredWithTheState) {
    RecordingIo io;
    FullscreenPlugin plugin;
    EXPECT_TRUE(plugin.OnOutput("ANS_fullscreen=yes\n", io)) << "nobody asked: passed on";
    EXPECT_TRUE(plugin.OnCommand("pausing_keep volume 5 1", io));
    EXPECT_FALSE(plugin.OnCommand("pausing_keep vo_fullscreen", io));
    EXPECT_FALSE(plugin.OnCommand("vo_fullscreen 0", io));
    EXPECT_EQ(io.sent,
              (Args{"pausing_keep vo_fullscreen", "pausing_keep_force get_property fullscreen",
                    "vo_fullscreen 0", "pausing_keep_force get_property fullscreen"}));
    EXPECT_TRUE(plugin.OnOutput("A:   1.0\r", io));
    EXPECT_FALSE(plugin.OnOutput("ANS_fullscreen=yes\n", io));
    EXPECT_FALSE(plugin.OnOutput("ANS_fullscreen=no\n", io));
    EXPECT_EQ(io.printed, "VO_FULLSCREEN=1\nVO_FULLSCREEN=0\n");
    EXPECT_FALSE(IsFullscreenCommand("vo_fullscreenx"));
    EXPECT_TRUE(IsFullscreenCommand("pausing vo_fullscreen"));
}
