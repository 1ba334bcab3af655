// binary/QUORVAN: the player the front end starts. It runs the system's mplayer with options
// translated for it, proxies slave commands and output, and reports a crash the way the front
// end recognises.
#include "platform/audiodevices.h"
#include "platform/headlessport.h"
#include "platform/paths.h"
#include "platform/statefolder.h"
#include "tools/wrapper/crashreport.h"
#include "tools/wrapper/fontmatch.h"
#include "tools/wrapper/fullscreen.h"
#include "tools/wrapper/openfailure.h"
#include "tools/wrapper/playeroptiontable.h"
#include "tools/wrapper/playerproxy.h"
#include "tools/wrapper/rarbridge.h"
#include "tools/wrapper/subtitletracker.h"
#include "tools/wrapper/transportstream.h"
#include "tools/wrapper/wrapperoptions.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
// What the RAR reader has to say reaches the front end as player output, like mplayer's own
// messages, so it lands in the console transcript and in the window title's error path.
class WrapperPort : public HeadlessPort {
  public:
    int MessageBox(const std::string& text, const std::string& caption, int) override {
        std::string out = caption + ": " + text + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        problem = text;
        for (auto& c : problem)
            if (c == '\n')
                c = ' ';
        return IDOK_;
    }
    std::string problem;
};
} // namespace

int main(int argc, char** argv) {
    // The front end recognises a (re)started player by this first line.
    std::fputs("Quorvan player wrapper 0.9 (mplayer in slave mode)\n", stdout);
    std::fflush(stdout);

    WrapperPort port;
    SetWindowPort(&port);
    std::vector<std::string> args(argv + 1, argv + argc);
    // A FIFO without a writer would block mplayer for ever: a special movie file is refused at
    // once, before the player is asked anything (and again once its options are known); the
    // front end shows the line.
    auto refuse = [](const std::vector<std::string>& words) {
        std::string refused = RefusedMovieArgument(words);
        if (!refused.empty())
            std::printf("%s\nExiting... (Fatal error) %s\n", refused.c_str(), refused.c_str());
        return !refused.empty();
    };
    if (refuse(args)) {
        SetWindowPort(nullptr);
        return 1;
    }
    const char* configured = std::getenv("QUORVAN_MPLAYER");
    std::string program = configured != nullptr && *configured ? configured : "mplayer";
    // Which options take a value decides which word is the movie; the player itself knows.
    SetPlayerOptionTable(LearnPlayerOptions(program, StateFile("mplayer-options.cache"), 5000));

    WrapperEnvironment env;
    env.audioDevice = [](int n) {
        auto devices = LocalAudioOutputDevices();
        return n >= 0 && static_cast<size_t>(n) < devices.size() ? devices[n].playerOption : "";
    };
    env.matchFont = MatchFontFile;
    env.fileExists = [](const std::string& path) { return IsFileExist(path.c_str()) == 1; };
    std::vector<std::string> translated = TranslatePlayerOptions(args, env);
    // No remote control here: without this mplayer fills the console with LIRC complaints.
    translated.insert(translated.begin(), "-nolirc");
    AddSilentAudioFallback(translated);
    AddWindowScaling(translated);

    if (refuse(translated)) {
        SetWindowPort(nullptr);
        return 1;
    }

    std::vector<size_t> movies = FindMovieArguments(translated);
    const std::string movie = movies.empty() ? std::string() : translated[movies.front()];
    std::vector<std::unique_ptr<WrapperPlugin>> plugins;
    // First: it must see every line, also those a later plugin swallows or rewrites.
    auto crashReport = std::make_unique<CrashReportPlugin>();
    CrashReportPlugin* crash = crashReport.get();
    plugins.push_back(std::move(crashReport));
    auto bridge = std::make_unique<RarBridgePlugin>();
    RarBridgePlugin* served = bridge.get();
    plugins.push_back(std::move(bridge));
    // After the bridge (it reads the set the bridge serves), before the subtitle tracker (which
    // must see the seeks as mplayer gets them).
    plugins.push_back(
        std::make_unique<TransportStreamPlugin>(movie, [served] { return served->serving(); }));
    plugins.push_back(std::make_unique<OpenFailurePlugin>(&port.problem));
    plugins.push_back(std::make_unique<FullscreenPlugin>());
    // Last: it forwards the commands it follows itself, after the others have seen them.
    plugins.push_back(std::make_unique<SubtitleTrackerPlugin>(movie));
    ProxyResult result = RunPlayerProxy(program, translated, plugins);
    const std::string line = crash->CrashLine(result);
    if (!line.empty() && write(1, line.data(), line.size()) < 0) {
        // The front end has gone; nothing is left to tell.
    }
    plugins.clear(); // stops the RAR bridge before the port goes
    SetWindowPort(nullptr);
    return result.exitCode;
}
