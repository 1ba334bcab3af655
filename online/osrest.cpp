#include "online/osrest.h"

#include "online/moviehash.h"
#include "online/onlinefiles.h"
#include "online/osplacement.h"
#include "online/osrestsettings.h"
#include "online/servers.h"
#include "platform/limits.h"
#include "platform/paths.h"
#include "platform/profile.h"

#include <cctype>

namespace {

// False (with the message) when the engine cannot run without a key.
bool HaveKey(const OSRestConfig& config, OnlineMessages& messages, std::string& reason) {
    if (!config.apiKey.empty())
        return true;
    messages.push_back({OSRestNoKeyMessage(), kOSRestCaption});
    reason = "no OpenSubtitles.com API key ([opensubtitles] ApiKey)";
    return false;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// Records a failed exchange: nothing for a cancel, else the message and the reason.
void Record(const OSRestFailure& failure, OnlineMessages& messages, std::string& reason,
            bool& cancelled) {
    if (failure.cancelled) {
        cancelled = true;
        return;
    }
    messages.push_back({failure.message, kOSRestCaption});
    reason = failure.reason.empty() ? FirstLine(failure.message) : failure.reason;
}

// Asks for the item's link, fetches the file and places it as subtitle.txt.
void FetchItem(OSRestClient& client, const std::string& movie, const OSRestItem& item,
               OSDownloadResult& r) {
    OSRestFailure failure;
    OSRestDownloadLink link;
    if (!client.EnsureSession(&failure) || !client.RequestDownload(item.fileId, &link, &failure)) {
        Record(failure, r.messages, r.reason, r.cancelled);
        if (failure.status == 406) { // the quota, told like that of a download that came
            r.remaining = 0;
            r.resetTime = failure.resetTime;
        }
        return;
    }
    r.remaining = link.remaining;
    r.resetTime = link.resetTime.empty() ? link.resetTimeUtc : link.resetTime;
    std::string bytes, text;
    if (!client.FetchFile(link.link, kMaxSubtitleAnswer, &bytes, &failure)) {
        Record(failure, r.messages, r.reason, r.cancelled);
        return;
    }
    if (!SubtitleTextFromAnswer(bytes, &text) || IsOSPlaceholder(text)) {
        r.messages.push_back({"OpenSubtitles.com sent a notice or a page instead of the "
                              "subtitle; nothing was saved.",
                              kOSRestCaption});
        r.reason = "the link gave no subtitle";
        return;
    }
    DeleteTempFile(r.workingFolder);
    if (!WriteFileAtomically(r.workingFolder + "/subtitle.txt", text)) {
        r.messages.push_back({"Cannot write " + r.workingFolder + "/subtitle.txt", "Error"});
        r.reason = "cannot write subtitle.txt";
        return;
    }
    FinishOSPlacement(movie, r);
}
} // namespace

std::map<std::string, std::string> ParseOSRestLanguageTable(const std::string& text) {
    std::map<std::string, std::string> table;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line =
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        std::string fields[2];
        size_t n = 0, i = 0;
        while (i < line.size() && n < 2) {
            while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            size_t start = i;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            if (i > start)
                fields[n++] = line.substr(start, i - start);
        }
        if (n == 2)
            table[fields[0]] = fields[1];
    }
    return table;
}

std::string OSRestLanguage(const std::string& threeLetterCode) {
    std::string text;
    if (!ReadWholeFile(std::string(KatalogExe()) + "locale/" + kOSRestLanguageFile, &text, 1 << 16))
        return "";
    std::string code = threeLetterCode;
    for (char& c : code)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    auto table = ParseOSRestLanguageTable(text);
    auto it = table.find(code);
    return it == table.end() ? "" : it->second;
}

OSDownloadResult GetSubtitleFromOSRestWork(const std::string& movie, const std::string& language,
                                           const OSRestConfig& config) {
    OSDownloadResult r;
    if (!CheckOSMovie(movie, r.messages, r.reason) || !HaveKey(config, r.messages, r.reason))
        return r;
    std::string code = OSRestLanguage(language);
    if (code.empty()) {
        r.messages.push_back(
            {"OpenSubtitles.com knows no language of the code \"" + language + "\".",
             kOSRestCaption});
        r.reason = "no OpenSubtitles.com language for " + language;
        return r;
    }
    std::string hash = GenerateHashOpenSubtitles(movie);
    r.workingFolder = ChooseOSWorkingFolder(movie, r.messages);
    OSRestClient client(config);
    OSRestFailure failure;
    std::vector<OSRestItem> items;
    if (!client.EnsureSession(&failure) || !client.Search(hash, code, &items, &failure)) {
        Record(failure, r.messages, r.reason, r.cancelled);
        return r;
    }
    if (items.empty()) {
        r.noLink = true;
        r.reason = "OpenSubtitles has no subtitles for this movie in " + language;
        r.messages.push_back({OSNoSubMessage(), "Subtitle"});
        return r;
    }
    FetchItem(client, movie, items.front(), r);
    if (r.downloaded)
        r.messages.push_back(
            {"Successfully download file subtitle.txt.\nPlease manually open this file.",
             "Subtitle"});
    return r;
}

OSRestListResult ListOSRestWork(const std::string& movie, const OSRestConfig& config) {
    OSRestListResult r;
    if (!CheckOSMovie(movie, r.messages, r.reason) || !HaveKey(config, r.messages, r.reason))
        return r;
    std::string hash = GenerateHashOpenSubtitles(movie);
    OSRestClient client(config);
    OSRestFailure failure;
    if (!client.EnsureSession(&failure) || !client.Search(hash, "", &r.items, &failure)) {
        Record(failure, r.messages, r.reason, r.cancelled);
        return r;
    }
    r.searched = true;
    if (r.items.empty()) {
        r.reason = "no results";
        r.messages.push_back({"No subtitles!", "Error"});
    }
    return r;
}

OSDownloadResult DownloadOSRestItemWork(const std::string& movie, const OSRestItem& item,
                                        const OSRestConfig& config) {
    OSDownloadResult r;
    if (!CheckOSMovie(movie, r.messages, r.reason) || !HaveKey(config, r.messages, r.reason))
        return r;
    r.workingFolder = ChooseOSWorkingFolder(movie, r.messages);
    OSRestClient client(config);
    FetchItem(client, movie, item, r);
    return r;
}

WebLookup IMDBSiteRestWork(const std::string& movie, const OSRestConfig& config) {
    WebLookup r;
    std::string reason;
    if (!HaveKey(config, r.messages, reason))
        return r;
    std::string hash = IsMovieFile(movie) ? GenerateHashOpenSubtitles(movie) : "";
    OSRestClient client(config);
    OSRestFailure failure;
    std::vector<OSRestItem> items;
    if (!hash.empty() &&
        (!client.EnsureSession(&failure) || !client.Search(hash, "", &items, &failure))) {
        Record(failure, r.messages, reason, r.cancelled);
        return r;
    }
    // The number as the XML-RPC answers gave it: at least seven digits.
    std::string number;
    for (const OSRestItem& item : items)
        if (item.hashMatch && item.imdbId > 0) {
            number = std::to_string(item.imdbId);
            number.insert(0, number.size() < 7 ? 7 - number.size() : 0, '0');
            break;
        }
    if (number.empty()) {
        r.messages.push_back({"No file open or no move file hash link to IMDB", "IMDBNumber"});
        return r;
    }
    r.messages.push_back({number, "IMDBNumber"});
    r.url = ServiceUrl(Service::ImdbWeb) + "/title/tt" + number;
    return r;
}

OSRestAccountCheck CheckOSRestAccount(const OSRestConfig& config) {
    OSRestAccountCheck check;
    OnlineMessages messages;
    std::string reason;
    if (!HaveKey(config, messages, reason)) {
        check.text = messages.front().text;
        return check;
    }
    OSRestClient client(config);
    OSRestFailure failure;
    if (config.login.empty()) {
        if (!client.CheckKey(&failure)) {
            check.cancelled = failure.cancelled;
            check.text = failure.message;
            return check;
        }
        check.ok = true;
        check.text = "The API key works. Without Login and Pass the service allows a few "
                     "downloads a day (about 20 with a free account).";
        return check;
    }
    OSRestLogin login;
    if (!client.LogIn(&login, &failure)) {
        check.cancelled = failure.cancelled;
        check.text = failure.message;
        return check;
    }
    check.ok = true;
    check.text = "Logged in as " + config.login + ".";
    OSRestQuota quota;
    OSRestFailure infoFailure;
    if (client.UserInfo(&quota, &infoFailure) && quota.remaining >= 0) {
        check.text += "\nDownloads left today: " + std::to_string(quota.remaining);
        if (quota.allowed >= 0)
            check.text += " of " + std::to_string(quota.allowed);
        check.text += quota.resetTime.empty() ? "." : ", reset time " + quota.resetTime + ".";
    } else if (login.allowedDownloads >= 0) {
        check.text += "\nDownloads allowed a day: " + std::to_string(login.allowedDownloads) + ".";
    }
    return check;
}
