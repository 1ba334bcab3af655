#pragma once
// Subtitles from OpenSubtitles.com over its REST API, the engine chosen with
// [opensubtitles] Engine=rest: search by the movie's OpenSubtitles hash, download by file id,
// then the same placement as the XML-RPC engine ("subtitle.txt" in the working folder and the
// ".srt" copy beside the movie, online/osplacement.h). Nothing but a subtitle is ever saved:
// error answers, HTML pages and the "become VIP" placeholder give a message and no file.
//
// Like the XML-RPC *Work functions these touch no window: they run on a worker or in the
// command-line tool, and say what the window shows.
#include "online/opensubtitles.h"
#include "online/osrestclient.h"
#include "online/weblookups.h"

#include <map>
#include <string>
#include <vector>

constexpr const char* kOSRestCaption = "OpenSubtitles.com";
// The table of three-letter codes and API codes in the program's "locale" folder.
constexpr const char* kOSRestLanguageFile = "opensubtitles_rest_languages.txt";

// The pairs of the table's text (pure): "pol pl" lines, '#' lines are notes.
std::map<std::string, std::string> ParseOSRestLanguageTable(const std::string& text);
// The API's code for a three-letter code of the language menus ("" when the table has none).
std::string OSRestLanguage(const std::string& threeLetterCode);

// The direct download in one language (three-letter code): the best result (hash matches
// first, then the most downloaded).
OSDownloadResult GetSubtitleFromOSRestWork(const std::string& movie, const std::string& language,
                                           const OSRestConfig& config);

struct OSRestListResult {
    OnlineMessages messages;
    std::vector<OSRestItem> items; // sorted: hash matches first, then by download count
    bool searched = false;         // the service answered the search
    bool cancelled = false;
    std::string reason;
};
// Every language, for the result list.
OSRestListResult ListOSRestWork(const std::string& movie, const OSRestConfig& config);
// The download of one chosen result.
OSDownloadResult DownloadOSRestItemWork(const std::string& movie, const OSRestItem& item,
                                        const OSRestConfig& config);

// The IMDB page of the movie (command 2005) with the number the search by hash gives.
WebLookup IMDBSiteRestWork(const std::string& movie, const OSRestConfig& config);

struct OSRestAccountCheck {
    bool ok = false;
    bool cancelled = false;
    std::string text;
};
// The options' Test button: logs in (when an account is given) and tells the downloads left.
OSRestAccountCheck CheckOSRestAccount(const OSRestConfig& config);
