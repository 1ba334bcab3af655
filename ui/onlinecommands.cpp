#include "ui/onlinecommands.h"

#include "online/napiprojekt.h"
#include "online/opensubtitles.h"
#include "online/oshelpfunctions.h"
#include "online/osrest.h"
#include "online/osrestsettings.h"
#include "online/parsexml.h"
#include "online/weblookups.h"
#include "persist/i18l.h"
#include "persist/optins.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "player/subtitletracks.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/onlinewait.h"

#include <QCursor>
#include <QMenu>
#include <memory>

namespace {
std::string WaitText() {
    return I18l.text("Messages", "Please wait. Downoland Subtitle");
}
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

// The player finds " -sub subtitle.txt " relative to the folder it starts in; the program's
// own working folder stays as it is.
void EnterWorkingFolder(const std::string& folder) {
    if (!folder.empty())
        SetPlayerFolder(folder);
}

void RestoreTitle() {
    Port().SetTitle(std::string(ProgramTitle) + MovieFile());
}

// The result list of the last 2582 (the REST engine's when it made the list).
std::vector<OSRestItem> gRestItems;
bool gRestListCurrent = false;

// The pop-up menu of results: one entry per label, command 2583 + index.
void ShowResultsMenu(const std::vector<std::string>& labels) {
    auto* menu = new QMenu(GlobalH);
    menu->setObjectName("OpenSubtitlesResults");
    for (size_t i = 0; i < labels.size(); ++i) {
        QAction* action = menu->addAction(QString::fromStdString(labels[i]));
        action->setData(int(kFirstResultCommand + i));
    }
    QObject::connect(menu, &QMenu::triggered, GlobalH, [](QAction* action) {
        if (GlobalH != nullptr)
            GlobalH->Command(action->data().toInt());
    });
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(QCursor::pos());
}

// The account of the options and the [opensubtitles] settings as they are now.
OSRestConfig RestConfig() {
    return CurrentOSRestConfig(Optins1.login, Optins1.password);
}

// A REST download applied as the XML-RPC one: messages, the relaunch with "subtitle.txt",
// the title; then the quota the service told joins the title. A refusal restarts nothing.
void ApplyRestDownload(const OSDownloadResult& r, bool fromList) {
    EnterWorkingFolder(r.workingFolder);
    if (r.downloaded) {
        ShowOnlineMessages(r.messages);
        AppendExtraOptions(" -sub subtitle.txt ");
        RelaunchWithTitle();
        std::string quota = OSRestQuotaText(r.remaining, r.resetTime);
        if (!quota.empty())
            Port().SetTitle(std::string(ProgramTitle) + MovieFile() +
                            " | OpenSubtitles.com: " + quota);
        return;
    }
    if (fromList && !r.workingFolder.empty()) {
        SendOsdText(I18l.text("Messages", "ERROR. Downoland Subtite"));
        Port().SetTitle(I18l.text("Messages", "ERROR. Downoland Subtite"));
    } else {
        RestoreTitle();
    }
    ShowOnlineMessages(r.messages);
}

// A REST download on a worker, applied when it has ended.
void RunRestDownload(std::function<OSDownloadResult()> work, bool fromList) {
    auto result = std::make_shared<OSDownloadResult>();
    RunOnlineWithWait(
        WaitText(), [=] { *result = work(); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled)
                RestoreTitle();
            else
                ApplyRestDownload(*result, fromList);
        });
}

void RestDownloadCommand(const std::string& movie, const std::string& language) {
    OSRestConfig config = RestConfig();
    RunRestDownload([=] { return GetSubtitleFromOSRestWork(movie, language, config); }, false);
}

void RestListCommand(const std::string& movie) {
    auto result = std::make_shared<OSRestListResult>();
    OSRestConfig config = RestConfig();
    RunOnlineWithWait(
        WaitText(), [=] { *result = ListOSRestWork(movie, config); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled)
                return;
            gRestItems = result->items;
            gRestListCurrent = true;
            ShowOnlineMessages(result->messages);
            if (!result->searched)
                return;
            std::vector<std::string> labels;
            for (const OSRestItem& item : result->items)
                labels.push_back(item.MenuLabel());
            ShowResultsMenu(labels);
        });
}

void RestResultCommand(const OSRestItem& item) {
    std::string movie = MovieFile();
    SubtitleWaitNotice();
    OSRestConfig config = RestConfig();
    RunRestDownload([=] { return DownloadOSRestItemWork(movie, item, config); }, true);
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
        WaitText(), [=] { *result = DownloadNapiprojekt(movie, code); },
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
    if (CurrentOSRestSettings().Rest()) {
        RestDownloadCommand(movie, language);
        return;
    }
    auto result = std::make_shared<OSDownloadResult>();
    RunOnlineWithWait(
        WaitText(), [=] { *result = GetSubtitleFromOpenSubtitlesWork(movie, language); },
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
    if (CurrentOSRestSettings().Rest()) {
        RestListCommand(movie);
        return;
    }
    auto result = std::make_shared<OSListResult>();
    RunOnlineWithWait(
        WaitText(), [=] { *result = ListOpenSubtitlesWork(movie); },
        [=](bool cancelled) {
            if (cancelled || result->cancelled)
                return;
            OS.token = result->token;
            parsexmlos.items = result->items;
            gRestListCurrent = false;
            ShowOnlineMessages(result->messages);
            if (!result->loggedIn)
                return;
            std::vector<std::string> labels;
            for (const SubOSItem& item : result->items)
                labels.push_back(item.getMenuName());
            ShowResultsMenu(labels);
        });
}

void getOpenSubtitleNumber(int index) {
    if (gRestListCurrent) {
        if (index >= 0 && size_t(index) < gRestItems.size() && size_t(index) < kChoosableResults)
            RestResultCommand(gRestItems[size_t(index)]);
        return;
    }
    if (index < 0 || size_t(index) >= parsexmlos.items.size() || size_t(index) >= kChoosableResults)
        return;
    DownoladOSSubtitlesAndUnpack(parsexmlos.items[size_t(index)].SubDownloadLink);
}

void DownoladOSSubtitlesAndUnpack(const std::string& link) {
    std::string movie = MovieFile();
    SubtitleWaitNotice();
    auto result = std::make_shared<OSDownloadResult>();
    RunOnlineWithWait(
        WaitText(), [=] { *result = DownloadOSLinkWork(movie, link); },
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
            SendOsdText(I18l.text("Messages", "ERROR. Downoland Subtite"));
            Port().SetTitle(I18l.text("Messages", "ERROR. Downoland Subtite"));
            ShowOnlineMessages(result->messages);
            Port().OpenWithDefaultApplication(link);
        });
}

void IMDBSiteCommand() {
    std::string movie = MovieFile();
    auto result = std::make_shared<WebLookup>();
    bool rest = CurrentOSRestSettings().Rest();
    OSRestConfig config = rest ? RestConfig() : OSRestConfig();
    RunOnlineWithWait(
        WaitText(), [=] { *result = rest ? IMDBSiteRestWork(movie, config) : IMDBSiteWork(movie); },
        [=](bool cancelled) {
            if (!cancelled && !result->cancelled)
                ApplyWebLookup(*result);
        });
}
