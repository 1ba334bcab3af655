#pragma once
// Subtitles from OpenSubtitles over XML-RPC, found by the movie's OpenSubtitles hash and
// size: a SearchSubtitles call, the gzip-compressed subtitle fetched from its download link
// and unpacked (zlib) into "subtitle.txt" in the working folder (the movie's folder, else
// the desktop), copied beside the movie with ".srt". The player then loads it by the
// relative name " -sub subtitle.txt ", so the window makes that folder current first.
//
// The *Work functions touch no window and no global but the result list: they run on a
// worker (ui/onlinewait.h) or in the command-line tool, and say what the window shows.
#include "online/onlinemessages.h"
#include "online/parsexml.h"

#include <cstdint>
#include <string>
#include <vector>

// The SearchSubtitles request: mode 0 gives the first download link, 1 the IMDB number,
// 3 the whole answer; "" when the server cannot be reached.
std::string GetOpenSubtitleInfo(int mode, int64_t size, const std::string& language,
                                const std::string& hash, bool* cancelled = nullptr);
// The request text itself (lines ended by LF).
std::string SearchSubtitlesBody(int64_t size, const std::string& language, const std::string& hash);

// The movie's size as the services count it: the stored movie's for a RAR set.
int64_t MovieByteSize(const std::string& movie);

struct OSDownloadResult {
    OnlineMessages messages;
    std::string workingFolder; // where "subtitle.txt" is or would be
    std::string subtitle;      // workingFolder + "/subtitle.txt" when one came
    std::string srtCopy;       // the copy beside the movie ("" when it could not be made)
    std::string link;          // the download link that was fetched
    bool downloaded = false;
    bool cancelled = false;
    bool noLink = false; // the search found nothing
    bool notice = false; // the link gave the service's notice (a VIP offer, a page) instead
    std::string reason;  // why none came, for the command-line tool
    // The REST engine's download quota as the service gave it with the link (-1: not known).
    int remaining = -1;
    std::string resetTime;
};

// The direct download in one language (three-letter code).
OSDownloadResult GetSubtitleFromOpenSubtitlesWork(const std::string& movie,
                                                  const std::string& language);
// The described call, on the calling thread: messages shown, the working folder made
// current, the link opened in the browser when no subtitle came. Always 0.
int GetSubtitleFromOpenSubtitles(const std::string& movie, const std::string& language);
// The download of one chosen result's link.
OSDownloadResult DownloadOSLinkWork(const std::string& movie, const std::string& link);

struct OSListResult {
    OnlineMessages messages;
    std::vector<SubOSItem> items;
    std::string token;
    bool loggedIn = false;
    bool cancelled = false;
};
// Log in (with the user name and password OS holds), search in every language and scan
// the results.
OSListResult ListOpenSubtitlesWork(const std::string& movie);

// The working-folder steps: "subtitle.txt.gz" and "subtitle.txt" deleted in `folder`.
void DeleteTempFile(const std::string& folder);
// Fetches `url` into `path` (agent "KTZ0.4"); an unreachable URL leaves an empty file.
// 1 when the whole answer came, else 0.
int SaveHttpFileUrl(const std::string& url, const std::string& path);
// Unpacks `folder`/subtitle.txt.gz into subtitle.txt (replacing it) and removes the .gz,
// whatever it held. An answer that is not gzip but text is taken as the subtitle itself.
// Always 1.
int ReGzip(const std::string& folder);

// One entry of the language list of the download menu.
struct item_downolad_sub {
    std::string code;  // three-letter code sent as "sublanguageid"
    std::string label; // "[" + code + "] " + name
};
extern std::vector<item_downolad_sub> OpensubtitleList;
// The menu numbers languages from 2307 up to 2400; entries past that have no command.
constexpr size_t kMaxOpensubtitleLanguages = 94;
// Appends the pairs of lines (code, name) of <program folder>/locale/<name>.
void loadOpensubtitleList(const std::string& name);
// The same over the file's text (pure).
std::vector<item_downolad_sub> ParseOpensubtitleList(const std::string& text);
