#include "player/mplayerinfo.h"

#include "persist/filters.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "player/launchtables.h"

#include <cstdio>

MplayerInfo Mp1;

std::string PlayerWrapperPath() {
    return std::string(KatalogExe()) + "binary/QUORVAN";
}

MplayerInfo::MplayerInfo() {
    init();
}

namespace {
// "%g": at most six significant digits, no trailing zeros (160 gives 3.04, 108 gives 2).
std::string DefaultDouble(double value) {
    return Format("%g", value);
}
} // namespace

int MplayerInfo::init() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    consoleText.clear();

    primeCommand = QuoteCommandLineArg(PlayerWrapperPath());
    primeCommand += " -slave  -identify -vf screenshot ";
    primeCommand += TableEntry(sound_devices, kSoundDeviceCount, soundDriverNum);
    primeExeRar = primeCommand;

    std::string options;
    options += " -font ";
    options +=
        QuoteCommandLineArg(SystemFontsFolder() + "/" + TableEntry(fonts_tt, kFontCount, fontNum));
    options += " -subfont-text-scale ";
    options += DefaultDouble(static_cast<double>((fontsize - 8) / 50));
    options += " ";
    options += " " + extraOptions + " ";
    if (safeTimer != 0)
        options += " -quiet ";
    if (scaleTempoAudio != 0)
        options += " -af-add scaletempo ";
    if (alternativeXvidCodec != 0)
        options += "  -vc xvid,  ";
    if (volume != 100)
        options += " -volume " + std::to_string(volume) + " ";
    if (!externalAudioFile.empty())
        options += " -audiofile " + QuoteCommandLineArg(externalAudioFile) + " -hr-mp3-seek ";
    options += " ";
    options += TableEntry(overwritechannelsT, kChannelModeCount, overwriteChannels);
    options += " ";
    if (!user_filtrs.empty() && userFilterNum >= 0 &&
        static_cast<size_t>(userFilterNum) < user_filtrs.size())
        options += " " + user_filtrs[static_cast<size_t>(userFilterNum)].options + " ";
    WindowHandle window = videoWindow.load();
    if (window != 0 && options.find("<nowid>") == std::string::npos)
        options += " -wid " + std::to_string(window) + " -colorkey 0x101010  ";
    options += " -osdlevel " + std::to_string(osdLevel);
    if (fullScreen)
        options += " -fs ";

    repleaceall(options, "<nowid>", " ");
    // Values from outside (file names) are quoted and keep their bytes: a Linux name may hold
    // backslashes, and a backslash that escapes a quote must stay one.
    SlashesOutsideQuotes(options);

    primeCommand += options + " ";
    primeExeRar += options + " ";
    builtOptions = options;

    panScanZoom = 100;
    programFilesDir = ProgramFilesFolder();
    return 1;
}

std::string MplayerInfo::primeExe() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return primeCommand;
}

std::string MplayerInfo::Font() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return builtOptions;
}

bool MplayerInfo::IsUseGLDriver() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return primeCommand.find(" -vo gl") != std::string::npos;
}

std::string MplayerInfo::ConsoleTextSnapshot() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return consoleText;
}

std::string MplayerInfo::MovieFileSnapshot() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return movieFile;
}

std::string MplayerInfo::MovieInfoSnapshot() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return movieInfo;
}
