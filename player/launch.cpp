// The launch operations of MplayerInfo: opening a movie, relaunching it with per-launch
// options, DVDs, and the commands sent after every launch.
#include "persist/history.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "platform/rarnames.h"

int MplayerInfo::SetDefoultOsd() {
    SendCommand(Format("osd %d", osdLevel));
    return 1;
}

int MplayerInfo::AfterLanchSends() {
    SendCommand("osd 0");
    if (muted == 1)
        SendCommand("mute");
    SendCommand("get_time_length");
    SetDefoultOsd();
    return 1;
}

int MplayerInfo::LanchMovie() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    Port().SetTitle(std::string(ProgramTitle) + "| " + FileNameFromPath(movieFile));
    extraLaunchOptions.clear();
    subtitleOptions.clear();
    loadedSubtitleFile.clear();
    chosenTrackCommand.clear();
    SendCommand("quit");
    ZrobPierwszyPart(movieFile);

    int remembered = history1.get(movieFile);
    if (CzyToRar(movieFile)) {
        // The player reads the stored movie across the volumes itself; a set resumes exactly
        // where it was left.
        std::string command =
            primeExeRar + QuoteCommandLineArg(movieFile) + " -sub-fuzziness 2    ";
        if (remembered > 0)
            command += Format(" -ss %d  ", remembered);
        Launch(command.c_str());
        SendCommand("get_time_length");
        return 1;
    }

    std::string command = primeCommand + QuoteCommandLineArg(movieFile) + " -sub-fuzziness 2   ";
    if (remembered > 10)
        command += Format(" -ss %d  ", remembered - 3);
    consoleText = command + "\r\n";
    if (!Launch(command.c_str()))
        Port().MessageBox("No file QUORVAN.exe in binary folder!", "Error", MB_OK_);
    AfterLanchSends();
    return 1;
}

int MplayerInfo::LanchMovie(std::string extra) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    extraLaunchOptions = extra;
    SendCommand("quit");
    std::string command;
    if (movieFile.compare(0, 5, "dvd:/") == 0) {
        command = primeCommand + " " + movieFile + " " + extra + " " + subtitleOptions;
    } else {
        const std::string& prime = CzyToRar(movieFile) ? primeExeRar : primeCommand;
        command = prime + QuoteCommandLineArg(movieFile) + " " + extra + " " + subtitleOptions;
    }
    if (!loadedSubtitleFile.empty() && subtitleOptions.find(" -sub ") == std::string::npos)
        command += " -sub " + QuoteCommandLineArg(loadedSubtitleFile) + " ";
    consoleText = command + "\r";
    Launch(command.c_str());
    AfterLanchSends();
    if (!chosenTrackCommand.empty())
        SendCommand(chosenTrackCommand);
    return 1;
}

int MplayerInfo::LanchRefresh() {
    return LanchMovie(Format(" -ss %d  ", timePosition.load()));
}

int MplayerInfo::LanchNextMovie(const std::string& next) {
    ResetSubsLoaded();
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        movieFile = next;
        Port().SetTitle(std::string(ProgramTitle) + "| " + FileNameFromPath(movieFile));
    }
    timePosition = 0;
    init();
    return LanchRefresh();
}

int MplayerInfo::LanchPanScrenRefresh() {
    std::string extra;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        extra = getpanscren(videoWidth, videoHeight, panScanZoom) + " " +
                Format(" -sub-fuzziness 2 -ss %d ", timePosition.load());
    }
    return LanchMovie(extra);
}

int MplayerInfo::LanchAspect(std::string aspect) {
    return LanchMovie(aspect + " " + Format(" -sub-fuzziness 2 -ss %d ", timePosition.load()));
}

int MplayerInfo::LanchDVD(char drive) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    consoleText.clear();
    SendCommand("quit");
    std::string device = std::string("dvd:// -dvd-device ") + drive + ":\\  ";
    movieFile = device;
    std::string command = primeCommand + device + " -sub-fuzziness 2 ";
    consoleText = command;
    Launch(command.c_str());
    return 1;
}
