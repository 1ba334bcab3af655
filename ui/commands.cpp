// The single commands of the menus, buttons and keys: one row per command id.
#include "online/moviedescription.h"
#include "online/moviehash.h"
#include "online/servers.h"
#include "online/subautoupload.h"
#include "online/weblookups.h"
#include "persist/filters.h"
#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/reopen.h"
#include "persist/translationtable.h"
#include "platform/fileassociation.h"
#include "platform/paths.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "rar/split.h"
#include "rar/streaming.h"
#include "thumbs/screenshots.h"
#include "thumbs/thumbitem.h"
#include "ui/console.h"
#include "ui/dispatch.h"
#include "ui/equaliser.h"
#include "ui/mainwindow.h"
#include "ui/onlinecommands.h"
#include "ui/optionsdialog.h"
#include "ui/playlistwindow.h"
#include "ui/seekpreview.h"
#include "ui/speechsynccommand.h"
#include "ui/subtitledialogs.h"
#include "ui/thumbcommands.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/uploadcommands.h"
#include "ui/videoholder.h"
#include "ui/videowindow.h"

#include <QCursor>

namespace {

// Addresses of the maker's pages; they move more often than the program, so they live here.
constexpr const char* kForumPl = "https://quorvan.example/forum/pl/";
constexpr const char* kForumEn = "https://quorvan.example/forum/en/";
constexpr const char* kNewsPl = "https://quorvan.example/news/";
constexpr const char* kWwwEn = "https://quorvan.example/en/";
constexpr const char* kMailToAuthor = "mailto:author@quorvan.example";

std::string MovieFile() {
    return Mp1.MovieFileSnapshot();
}

void RememberPosition() {
    history1.add(MovieFile(), PositionToRemember(Mp1.timePosition, Mp1.movieLength));
}

void Relaunch() {
    Mp1.init();
    Mp1.LanchRefresh();
}

void SetExtraOptions(const std::string& options) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    Mp1.extraOptions = options;
}

void SetMovieFile(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    Mp1.movieFile = name;
}

// The picture in the player's own OpenGL window, with these options.
void OwnGlWindow(const char* options) {
    GlobalH->ShowVideo(false);
    Mp1.videoWindow = 0;
    SetExtraOptions(options);
    Relaunch();
}

void PanScan(int zoom) {
    Mp1.panScanZoom = zoom;
    Mp1.LanchPanScrenRefresh();
}

void Aspect(const char* option, int stretch) {
    Mp1.LanchAspect(option);
    Mp1.stretchVideo = stretch;
}

// A setting switched by a menu item whose check mark follows it.
void Toggle(int& field, int command, bool relaunch) {
    field = field != 0 ? 0 : 1;
    GlobalH->Menus().Check(command, field != 0);
    if (relaunch)
        Relaunch();
}

void VolumeStep(const char* command) {
    SendCommand(command);
    AskPlayerVolume();
    stan = 0;
    Mp1.muted = 0;
    GlobalH->RepaintMuteButton();
}

void PlayRecent(int slot) {
    RememberPosition();
    const std::string& name = reopenpozycje[slot];
    // An empty slot (or one showing "none" after Clear) names no movie.
    if (name.empty() || name == I18l.getString("Reopen.None"))
        return;
    SetMovieFile(name);
    Mp1.LanchMovie();
}

void PlayPause() {
    if (MovieFile().empty()) {
        GlobalH->Command(2031);
        return;
    }
    // The movie has ended (or its player has gone): play starts it again, from where the
    // history says (the beginning, after an end).
    if (!PlayerRunning()) {
        Mp1.init();
        Mp1.LanchMovie();
        return;
    }
    if (Mp1.safeTimer != 0) {
        if (isPaused) {
            isPaused = false;
            if (Mp1.muted == 0)
                SendCommand("mute 0");
            SendCommand("osd_show_text P");
        } else {
            isPaused = true;
            SendCommand("mute 1");
            SendCommand("osd_show_text PseudoPause");
            SendCommand("pausing pause");
        }
        return;
    }
    SendCommand("pause");
}

void OpenMovie() {
    ResetSubsLoaded();
    Mp1.init();
    graphicthumbmenu.clear();
    ButionLoad();
    GlobalH->ShowVideo(true);
    reopen1.refresh();
}

void OnTop() {
    // In compact mode the floating video window is the one to keep on top.
    QWidget* target = stan_oncompact == 1 ? static_cast<QWidget*>(GlobalH)
                                          : GlobalH->Holder(VideoHolder::Kind::Compact);
    SetStaysOnTop(target, stan_top == 1);
    stan_top = 1 - stan_top;
    SendCommand("vo_ontop");
}

void OsdSwitch() {
    GlobalH->Menus().Check(1048 + Mp1.osdLevel, false);
    Mp1.osdLevel = Mp1.osdLevel >= 3 ? 0 : Mp1.osdLevel + 1;
    Mp1.SetDefoultOsd();
    GlobalH->Menus().Check(1048 + Mp1.osdLevel, true);
}

void Mute() {
    SendCommand("mute");
    stan = 1 - stan;
    Mp1.muted = stan;
    GlobalH->RepaintMuteButton();
}

void NoChildWindow() {
    GlobalH->ShowVideo(false);
    if (Mp1.videoWindow != 0) {
        GlobalH->Menus().Check(1047, true);
        Mp1.videoWindow = 0;
    } else {
        Mp1.videoWindow = Mp1.embeddedVideoWindow;
        GlobalH->ShowVideo(true);
        GlobalH->Menus().Check(1047, false);
    }
    Relaunch();
}

void KillGui() {
    if (Mp1.videoWindow != 0) {
        Mp1.videoWindow = 0;
        Relaunch();
    }
    Hooks().endLeavingPlayer(0);
}

// Windows Media Player and the default application are both the desktop's default here.
void RunElsewhere() {
    SendCommand("quit");
    Hooks().openDocument(MovieFile());
}

void Proctest() {
    std::string path = std::string(KatalogExe()) + "test.avi";
    std::string hash = IsFileExist(path.c_str()) ? GenerateHashOpenSubtitles(path) : "";
    Port().MessageBox(hash.empty() ? "blad otwarcia" : hash, "Proctest", MB_OK_);
}

void OpenBeside(const char* name) {
    Hooks().openTextFile(std::string(KatalogExe()) + name);
}

void StreamFromUnrar() {
    // The stream plays in a player of its own; the embedded one stops.
    SendCommand("quit 0");
    ButionUnRar();
}

void ClearLists() {
    history1.clear();
    reopen1.clear();
    reopen1.refresh();
}

struct CommandRow {
    int id;
    void (*run)();
};

const CommandRow kCommands[] = {
    // File menu and buttons
    {107, OpenMovie},
    {1002, StreamFromUnrar},
    {1005, ButionPlayURL},
    {2306, GenerateThumbWithDialog},
    {2031, [] { PlayRecent(0); }},
    {2032, [] { PlayRecent(1); }},
    {2033, [] { PlayRecent(2); }},
    {2034, [] { PlayRecent(3); }},
    {2035, [] { PlayRecent(4); }},
    {2036, ClearLists},
    {2, ExitSequence},
    {2018, PlayPause},
    {108, [] { GlobalH->ShowSubtitlePopup(QCursor::pos()); }},
    {114, [] { ButionPokretla(); }},
    {2028, StartPlaylist},
    {1011, Mute},
    // Movie menu
    {116, OnTop},
    {1053, ToggleCompact},
    {2012, [] { OwnGlWindow(" -vo gl:nomanyfmts -fs -sub-fuzziness 2 -panscan 1.0  "); }},
    {1038, [] { PanScan(100); }},
    {1041, [] { PanScan(80); }},
    {1040, [] { PanScan(50); }},
    {1042, [] { PanScan(0); }},
    {1039, [] { PanScan(0); }},
    {2471, [] { SendCommand("pausing_keep panscan +0.1"); }},
    {2472, [] { SendCommand("pausing_keep panscan -0.1"); }},
    {1043, [] { Aspect(" -aspect 4:3 ", 0); }},
    {1044, [] { Aspect(" -aspect 16:9 ", 0); }},
    {1045, [] { Aspect(" -aspect 2.35 ", 0); }},
    {1046, [] { Aspect("  ", 0); }},
    {2011, [] { Aspect(" -nokeepaspect ", 1); }},
    {1052, OsdSwitch},
    {112, [] { SendCommand("screenshot"); }},
    {kCommandSeekPreviews, ToggleSeekPreviews},
    {113,
     [] {
         Port().MessageBox(Mp1.MovieInfoSnapshot(),
                           I18l.text("Messages", "Move Info ( Ctrl+C for copy to Clipboard)"),
                           MB_OK_);
     }},
    // Audio menu
    {1037, [] { VolumeStep("volume 5"); }},
    {1036, [] { VolumeStep("volume -5"); }},
    {1055, ButionLoadExternAudio},
    {2303, dxsenumerate},
    // Subtitles menu
    {109, ButionLoadSubFPS},
    {2480, ButionLoadSub},
    {kCommandSynchroniseToSpeech, SynchroniseToSpeechCommand},
    {1004, statujFont},
    {1010,
     [] {
         {
             std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
             zaznaczonaPozycjaSubtitle = 0;
         }
         SendCommand("sub_visibility");
     }},
    {2405, OpenOpensubtitlesSite},
    {2407,
     [] {
         Port().OpenWithDefaultApplication(ServiceUrl(Service::OpenSubtitlesWeb) + "/uploadjava");
     }},
    {2476, OpenWebNapisyInfoForThisMovie},
    {2002, [] { NapiprojektCommand("PL"); }},
    {2477, [] { NapiprojektCommand("ENG"); }},
    {2478, [] { OpenSubtitlesCommand(I18lcStrings.first, true); }},
    {2479, [] { OpenSubtitlesCommand(I18lcStrings.second, true); }},
    {2582, MenuRefreshOSList},
    {2631, MenuUploadActualSubtitle},
    // Debug menu
    {2305, ThumbMenuWindowCommand},
    {1047, NoChildWindow},
    {2017, [] { Toggle(Mp1.safeTimer, 2017, true); }},
    {2027, [] { Toggle(Mp1.pseudoSlider, 2027, false); }},
    {2473, [] { Toggle(Mp1.alternativeXvidCodec, 2473, true); }},
    {2474, [] { Toggle(Mp1.scaleTempoAudio, 2474, true); }},
    {2013, KillGui},
    {1054, ShowConsole},
    {2302, ShowConsole},
    {2014, RunElsewhere},
    {2015, RunElsewhere},
    {2016, RunElsewhere},
    {2304, ThumbSeries64},
    {2019, [] { JavaFromFolder(); }},
    {2009, [] { JavaSeriesSmall(); }},
    {2008, [] { JavaSeriesBig(); }},
    {2001, [] { OwnGlWindow(" -vo gl -fs -sub-fuzziness 2  "); }},
    {2010, [] { OwnGlWindow(" -vo gl:nomanyfmts -fs -sub-fuzziness 2  "); }},
    {2004, [] { PokazOpisFilmuRAR(MovieFile().c_str()); }},
    {2005, IMDBSiteCommand},
    {2006, [] { OpenSubtitlesCommand("pol", true); }},
    {2007, [] { OpenSubtitlesCommand("eng", false); }},
    {2406, Proctest},
    {2401, SendSheetToImageHost},
    {2080, [] { SubAutoUploadOS1.run(); }},
    {2402, SplitFile2RS},
    {2403, [] { FileAssociation(); }},
    {2404,
     [] {
         FileAssociationNFO();
         RefreshDesktopDatabases();
     }},
    {2632, [] { StartOptinsDialog(); }},
    {2300, editfiltres},
    // Help menu
    {110, [] { Port().MessageBox(I18l.text("Messages", kAboutText), ProgramTitle, MB_OK_); }},
    {111, [] { OpenBeside("QuorvanPlayer-obsluga .txt"); }},
    {2475, [] { OpenBeside("faq_en.txt"); }},
    {120, [] { Hooks().openDocument(kForumPl); }},
    {121, [] { Hooks().openDocument(kForumEn); }},
    {122, [] { Hooks().openDocument(kNewsPl); }},
    {124, [] { Hooks().openDocument(kWwwEn); }},
    {123, [] { Hooks().openDocument(kMailToAuthor); }},
};

} // namespace

bool RunSingleCommand(int id) {
    for (const CommandRow& row : kCommands)
        if (row.id == id) {
            row.run();
            return true;
        }
    return false;
}
