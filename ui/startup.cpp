#include "ui/startup.h"

#include "online/opensubtitles.h"
#include "online/subautoupload.h"
#include "persist/filters.h"
#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/reopen.h"
#include "persist/statefiles.h"
#include "persist/translate.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/statefolder.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "player/settings.h"
#include "rar/nextpart.h"
#include "subtitles/voiceover.h"
#include "ui/mainwindow.h"
#include "ui/qtwindowport.h"
#include "ui/seekpreview.h"

#include <filesystem>

namespace {

// Optical drives are offered under drive letters from d up, one per /dev/sr device.
std::vector<char> DvdDriveLetters() {
    std::vector<char> letters;
    for (int i = 0; i < 23; ++i) {
        std::error_code error;
        if (!std::filesystem::exists("/dev/sr" + std::to_string(i), error))
            break;
        letters.push_back(static_cast<char>('d' + i));
    }
    return letters;
}

void CheckFromSettings(MenuSet& menus) {
    menus.Check(2017, Mp1.safeTimer != 0);
    menus.Check(2027, Mp1.pseudoSlider != 0);
    menus.Check(2473, Mp1.alternativeXvidCodec != 0);
    menus.Check(2474, Mp1.scaleTempoAudio != 0);
    menus.Check(2460 + Mp1.voiceOverMode, true);
    menus.Check(2037 + Mp1.soundDriverNum, true);
    menus.Check(2050 + Mp1.fontNum, true);
    menus.Check(2070 + Mp1.overwriteChannels, true);
    menus.Check(1048 + Mp1.osdLevel, true);
    menus.Check(kCommandSeekPreviews, PreviewWidth > 0);
}

} // namespace

void FillLanguageMenuAndTranslate(MainWindow& window) {
    TranslateMenu(window.Menus());
    TranslateButions(
        [&window](int control, const std::string& text) { window.SetControlText(control, text); });
    localiztionfiles = FindLanguageFiles(std::string(KatalogExe()) + "locale");
    window.Menus().AddLanguageMenu(LanguageMenuItems(localiztionfiles));
}

namespace {
// A local movie named relative to where the program was started is made absolute: the player
// may later be started in another folder (a downloaded subtitle's), and a name beginning with
// '-' must not reach it as an option.
std::string MovieFromCommandLine(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find("://") != std::string::npos ||
        IsFileExist(name.c_str()) == 0)
        return name;
    return PlayerFolder() + "/" + name;
}
} // namespace

StartedProgram WinMainStartup(const std::string& commandLine) {
    StartedProgram program;
    Mp1.displayWidth = -1;
    Mp1.displayHeight = -1;
    // The features that follow the player's output listen before any player runs.
    ListenForVoiceOver();
    ListenForTheNextMovie();
    ListenForUploadTimerEvents();
    RemoveInterruptedWrites(StateFolder());
    ReadSettings(SettingsFilePath());
    history1.deserialize();
    Mp1.init();

    program.window = std::make_unique<MainWindow>();
    MainWindow& window = *program.window;
    program.port = std::make_unique<QtWindowPort>(&window);
    SetWindowPort(program.port.get());
    MenuSet& menus = window.Menus();

    menus.AddDvdDrives(DvdDriveLetters());
    CheckFromSettings(menus);
    loadfiltres();
    menus.AddFiltresMenu();
    loaduserfiltres();
    Mp1.init(); // the chosen user preset joins the launch line
    I18l.SetSection("Strings");
    menus.AddUserFiltresMenu(I18l.getString("Manual Edit"));
    menus.Check(kFirstUserFiltresCommand + Mp1.userFilterNum, true);
    I18l.SetSection("File");
    loadOpensubtitleList(I18l.get("opensubtitles.lang"));
    {
        std::vector<std::string> labels;
        for (const item_downolad_sub& item : OpensubtitleList)
            labels.push_back(item.label);
        menus.AddOpenSubtitlesLanguages(labels);
    }
    reopen1.refresh();
    FillLanguageMenuAndTranslate(window);

    // Built by JoinCommandLine from the process's argv: every name comes back as it was.
    std::vector<std::string> arguments = SplitCommandLineWindows(commandLine);
    if (arguments.size() > 2 && arguments[1] == "-setlangfile") {
        SetLangFile(arguments[2]);
        program.exitAtOnce = true;
        program.exitCode = 1;
        return program;
    }
    // The speech server is prepared once the window can show what goes wrong with it.
    VoiceOverStartup(Mp1.voiceOverMode);
    window.show();
    if (arguments.size() > 1) {
        {
            std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
            Mp1.movieFile = MovieFromCommandLine(arguments[1]);
        }
        Mp1.init();
        Mp1.LanchMovie();
    }
    return program;
}
