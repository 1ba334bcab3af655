#include "online/opensubtitles.h"

#include "online/cancel.h"
#include "online/httptransfer.h"
#include "online/moviehash.h"
#include "online/moviesource.h"
#include "online/onlinefiles.h"
#include "online/oshelpfunctions.h"
#include "online/osplacement.h"
#include "online/osrestapi.h"
#include "online/xmlrpc.h"
#include "platform/limits.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/playerfolder.h"
#include "rar/rarreader.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

std::vector<item_downolad_sub> OpensubtitleList;

namespace {
constexpr const char* kDownloadAgent = "KTZ0.4";

std::string TryDownloadText(const std::string& link) {
    return "I tray download file\n" + link + "! \nand save as subtitle.txt \n";
}

// Fetches and unpacks `link` into the working folder; fills the result's files.
void FetchLink(const std::string& movie, const std::string& link, OSDownloadResult& r) {
    r.link = link;
    DeleteTempFile(r.workingFolder);
    std::string gz = r.workingFolder + "/subtitle.txt.gz";
    SaveHttpFileUrl(link, gz);
    std::cout << "\nSubDownloadLink: " << link << std::endl;
    if (CurrentExchangeCancelled()) {
        r.cancelled = true;
        unlink(gz.c_str());
        return;
    }
    ReGzip(r.workingFolder);
    // Since 2024 the service answers non-VIP downloads with a note dressed as a subtitle: it is
    // no subtitle, and must not go over the user's own.
    std::string subtitle = r.workingFolder + "/subtitle.txt", text;
    if (ReadWholeFile(subtitle, &text, kMaxSubtitleAnswer) && IsOSPlaceholder(text)) {
        unlink(subtitle.c_str());
        r.notice = true;
        r.reason = "the link gave a notice instead of the subtitle";
        r.messages.push_back({"OpenSubtitles sent a notice instead of the subtitle (its downloads "
                              "through this interface are for VIP members); nothing was saved.",
                              "Subtitle"});
        return;
    }
    FinishOSPlacement(movie, r);
}
} // namespace

std::string SearchSubtitlesBody(int64_t size, const std::string& language,
                                const std::string& hash) {
    return "<?xml version='1.0'?>\n"
           "<methodCall>\n"
           "<methodName>SearchSubtitles</methodName>\n"
           "<params>\n"
           "<param>\n"
           "<value><string></string></value>\n"
           "</param>\n"
           "<param>\n"
           "<value><array><data>\n"
           "<value><struct>\n"
           "<member>\n"
           "<name>moviebytesize</name>\n"
           "<value><string>" +
           std::to_string(size) +
           "</string></value>\n"
           "</member>\n"
           "<member>\n"
           "<name>sublanguageid</name>\n"
           "<value><string>" +
           language +
           "</string></value>\n"
           "</member>\n"
           "<member>\n"
           "<name>moviehash</name>\n"
           "<value><string>" +
           hash +
           "</string></value>\n"
           "</member>\n"
           "</struct></value>\n"
           "</data></array></value>\n"
           "</param>\n"
           "</params>\n"
           "</methodCall>\n";
}

std::string GetOpenSubtitleInfo(int mode, int64_t size, const std::string& language,
                                const std::string& hash, bool* cancelled) {
    std::string body = SearchSubtitlesBody(size, language, hash);
    std::cout << body;
    std::string answer = PostXmlRpc(body, kMaxXmlRpcSearchAnswer, cancelled);
    std::cout << "BUFER: " << answer << std::endl;
    parsexml scanner;
    switch (mode) {
    case 0:
        // The first result's download link (the member every result carries).
        return scanner.parse(answer, "SubDownloadLink");
    case 1: {
        std::string number = scanner.parse(answer, "IDMovieImdb");
        if (!number.empty())
            std::cout << "+ " << number << std::endl;
        return number;
    }
    case 3:
        return answer;
    default:
        return "";
    }
}

int64_t MovieByteSize(const std::string& movie) {
    MovieSource source(movie, s);
    if (source.ok())
        return int64_t(source.size());
    return source.isRar() ? 0 : GetFileSizeForName(movie);
}

OSDownloadResult GetSubtitleFromOpenSubtitlesWork(const std::string& movie,
                                                  const std::string& language) {
    OSDownloadResult r;
    if (!CheckOSMovie(movie, r.messages, r.reason))
        return r;
    std::string hash = GenerateHashOpenSubtitles(movie);
    int64_t size = MovieByteSize(movie);
    r.workingFolder = ChooseOSWorkingFolder(movie, r.messages);
    std::string link = GetOpenSubtitleInfo(0, size, language, hash, &r.cancelled);
    if (r.cancelled)
        return r;
    if (link.empty()) {
        r.noLink = true;
        r.reason = "OpenSubtitles has no subtitles for this movie in " + language;
        r.messages.push_back({OSNoSubMessage(), "Subtitle"});
        return r;
    }
    FetchLink(movie, link, r);
    if (r.cancelled)
        return r;
    if (r.downloaded)
        r.messages.push_back(
            {"Successfully download file subtitle.txt.\nPlease manually open this file.",
             "Subtitle"});
    else if (!r.notice)
        r.messages.push_back({TryDownloadText(link), "Subtitle"});
    return r;
}

int GetSubtitleFromOpenSubtitles(const std::string& movie, const std::string& language) {
    OSDownloadResult r = GetSubtitleFromOpenSubtitlesWork(movie, language);
    if (!r.workingFolder.empty())
        SetPlayerFolder(r.workingFolder); // where the player finds "subtitle.txt"
    ShowOnlineMessages(r.messages);
    if (!r.downloaded && !r.link.empty())
        Port().OpenWithDefaultApplication(r.link);
    return 0;
}

OSDownloadResult DownloadOSLinkWork(const std::string& movie, const std::string& link) {
    OSDownloadResult r;
    r.workingFolder = ChooseOSWorkingFolder(movie, r.messages);
    if (link.empty()) {
        r.noLink = true;
        r.reason = "no download link";
        r.messages.push_back({OSNoSubMessage(), "Subtitle"});
        return r;
    }
    FetchLink(movie, link, r);
    if (!r.downloaded && !r.cancelled && !r.notice)
        r.messages.push_back({TryDownloadText(link), "Subtitle"});
    return r;
}

OSListResult ListOpenSubtitlesWork(const std::string& movie) {
    OSListResult r;
    bool cancelled = false;
    std::string answer = PostXmlRpc(OS.getLogin(), 199800, &cancelled);
    if (cancelled) {
        r.cancelled = true;
        return r;
    }
    parsexml scanner;
    r.token = scanner.parse(answer, "token");
    if (r.token.empty()) {
        r.messages.push_back({"Login Error", "Error"});
        return r;
    }
    r.loggedIn = true;
    std::string hash = IsMovieFile(movie) ? GenerateHashOpenSubtitles(movie) : "";
    std::string all = GetOpenSubtitleInfo(3, MovieByteSize(movie), "all", hash, &r.cancelled);
    if (r.cancelled)
        return r;
    scanner.parserun(all, hash);
    r.items = scanner.items;
    if (r.items.empty())
        r.messages.push_back({"No subtitles!", "Error"});
    return r;
}

void DeleteTempFile(const std::string& folder) {
    unlink((folder + "/subtitle.txt.gz").c_str());
    unlink((folder + "/subtitle.txt").c_str());
}

int SaveHttpFileUrl(const std::string& url, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wbe");
    if (f == nullptr)
        return 0;
    size_t written = 0;
    HttpTransferRequest request;
    request.url = url;
    request.userAgent = kDownloadAgent;
    request.sink = [&](const char* data, size_t size) {
        written += size;
        return written <= kMaxSubtitleAnswer && std::fwrite(data, 1, size, f) == size;
    };
    HttpTransferResult answer = HttpTransfer(request);
    bool ok = std::fclose(f) == 0 && answer.completed && answer.status < 400;
    std::cout << "\nDDDDDDDDDDDDDDD" << std::endl;
    // Half a file or a server's error page is no subtitle.
    if (!ok)
        if (FILE* again = std::fopen(path.c_str(), "wbe"))
            std::fclose(again);
    return ok ? 1 : 0;
}

int ReGzip(const std::string& folder) {
    std::string gz = folder + "/subtitle.txt.gz";
    std::string txt = folder + "/subtitle.txt";
    std::string packed, text;
    // The download is read once and goes in every outcome: a damaged or oversized answer
    // (inflating stops at the limit) leaves nothing behind in the movie's folder.
    bool read = ReadWholeFile(gz, &packed, kMaxSubtitleAnswer) && !packed.empty();
    unlink(gz.c_str());
    if (read && SubtitleTextFromAnswer(packed, &text))
        WriteFileAtomically(txt, text);
    return 1;
}

std::vector<item_downolad_sub> ParseOpensubtitleList(const std::string& text) {
    std::vector<item_downolad_sub> list;
    size_t pos = 0;
    auto nextLine = [&](std::string* line) {
        if (pos >= text.size())
            return false;
        size_t end = text.find('\n', pos);
        *line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (!line->empty() && line->back() == '\r')
            line->pop_back();
        return true;
    };
    std::string code, name;
    while (list.size() < kMaxOpensubtitleLanguages && nextLine(&code)) {
        if (!nextLine(&name))
            name.clear();
        list.push_back({code, "[" + code + "] " + name});
    }
    return list;
}

void loadOpensubtitleList(const std::string& name) {
    std::string text;
    if (!ReadWholeFile(std::string(KatalogExe()) + "locale/" + name, &text, 1 << 20))
        return;
    for (item_downolad_sub& item : ParseOpensubtitleList(text))
        if (OpensubtitleList.size() < kMaxOpensubtitleLanguages)
            OpensubtitleList.push_back(std::move(item));
}
