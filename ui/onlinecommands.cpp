#include "ui/onlinecommands.h"

#include "online/napiprojekt.h"
#include "online/opensubtitles.h"
#include "online/oshelpfunctions.h"
#include "online/parsexml.h"
#include "online/weblookups.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/onlinewait.h"

#include <QCursor>
#include <QMenu>
#include <memory>
#include <unistd.h>

namespace {
constexpr const char* kWaitText = "Please wait. Downoland Subtitle";
constexpr int kFirstResultCommand = 2583;
constexpr size_t kChoosableResults = 48;

std::string MovieFile() {
    return Mp1.MovieFileSnapshot();
}

void AppendExtraOptions(const std::string& options) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    Mp1.extraOptions += options;
}

void RelaunchWithTitle() {
    Mp1.init();
    Mp1.LanchRefresh();
    Port().SetTitle(std::string(ProgramTitle) + MovieFile());
}

// The player finds " -sub subtitle.txt " relative to the folder it starts in.
void EnterWorkingFolder(const std::string& folder) {
    if (!folder.empty() && chdir(folder.c_str()) != 0)
        Port().MessageBox("Cannot enter the folder " + folder, "Error", MB_OK_);
}

void RestoreTitle() {
    Port().SetTitle(std::string(ProgramTitle) + MovieFile());
}
} // namespace

void NapiprojektCommand(const char* language) {
    std::string movie = MovieFile();
    if (movie.empty())
        return;
    SubtitleWaitNotice();
    auto result = std::make_shared<NapiResult>();
    std::string code = language;
    RunOnlineWithWait(
        kWaitText, [=] { *result = DownloadNapiprojekt(movie, code); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled) {
                RestoreTitle();
                return;
            }
            SubComend = result->subComend;
            ShowOnlineMessages(result->messages);
            AppendExtraOptions(SubComend);
            RelaunchWithTitle();
        });
}

void OpenSubtitlesCommand(const std::string& language, bool waitNotice) {
    std::string movie = MovieFile();
    if (movie.empty()) {
        MessageNoMoveOpen();
        return;
    }
    if (waitNotice)
        SubtitleWaitNotice();
    auto result = std::make_shared<OSDownloadResult>();
    RunOnlineWithWait(
        kWaitText, [=] { *result = GetSubtitleFromOpenSubtitlesWork(movie, language); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled) {
                RestoreTitle();
                return;
            }
            EnterWorkingFolder(result->workingFolder);
            ShowOnlineMessages(result->messages);
            if (!result->downloaded && !result->link.empty())
                Port().OpenWithDefaultApplication(result->link);
            AppendExtraOptions(" -sub subtitle.txt ");
            RelaunchWithTitle();
        });
}

void OpenSubtitlesLanguageCommand(int index) {
    if (index < 0 || size_t(index) >= OpensubtitleList.size())
        return;
    OpenSubtitlesCommand(OpensubtitleList[size_t(index)].code, true);
}

void MenuRefreshOSList() {
    std::string movie = MovieFile();
    auto result = std::make_shared<OSListResult>();
    RunOnlineWithWait(
        kWaitText, [=] { *result = ListOpenSubtitlesWork(movie); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled)
                return;
            OS.token = result->token;
            parsexmlos.items = result->items;
            ShowOnlineMessages(result->messages);
            if (!result->loggedIn)
                return;
            auto* menu = new QMenu(GlobalH);
            menu->setObjectName("OpenSubtitlesResults");
            for (size_t i = 0; i < result->items.size(); ++i) {
                QAction* action =
                    menu->addAction(QString::fromStdString(result->items[i].getMenuName()));
                action->setData(int(kFirstResultCommand + i));
            }
            QObject::connect(menu, &QMenu::triggered, GlobalH, [](QAction* action) {
                if (GlobalH != nullptr)
                    GlobalH->Command(action->data().toInt());
            });
            QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
            menu->popup(QCursor::pos());
        });
}

void getOpenSubtitleNumber(int index) {
    if (index < 0 || size_t(index) >= parsexmlos.items.size() || size_t(index) >= kChoosableResults)
        return;
    DownoladOSSubtitlesAndUnpack(parsexmlos.items[size_t(index)].SubDownloadLink);
}

void DownoladOSSubtitlesAndUnpack(const std::string& link) {
    std::string movie = MovieFile();
    SubtitleWaitNotice();
    auto result = std::make_shared<OSDownloadResult>();
    RunOnlineWithWait(
        kWaitText, [=] { *result = DownloadOSLinkWork(movie, link); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled) {
                RestoreTitle();
                return;
            }
            EnterWorkingFolder(result->workingFolder);
            if (result->downloaded) {
                ShowOnlineMessages(result->messages);
                AppendExtraOptions(" -sub subtitle.txt ");
                RelaunchWithTitle();
                return;
            }
            if (result->noLink) {
                ShowOnlineMessages(result->messages);
                return;
            }
            SendCommand("pausing osd_show_text \"ERROR. Downoland Subtite\"");
            Port().SetTitle("ERROR. Downoland Subtite");
            ShowOnlineMessages(result->messages);
            Port().OpenWithDefaultApplication(link);
        });
}

void IMDBSiteCommand() {
    std::string movie = MovieFile();
    auto result = std::make_shared<WebLookup>();
    RunOnlineWithWait(
        kWaitText, [=] { *result = IMDBSiteWork(movie); },
        [=](bool cancelled) {
            if (!cancelled && !result->cancelled)
                ApplyWebLookup(*result);
        });
}
