#pragma once
// The OpenSubtitles.com REST API as this program uses it: the shapes of its answers read
// into plain structs, the query as the API wants it (keys sorted, values lower-cased, blanks
// as '+'), and what each error answer means for the user. Pure functions over outside
// input: nothing here throws, whatever a server sends.
#include <string>
#include <utility>
#include <vector>

// One search result: the first file of one subtitle.
struct OSRestItem {
    std::string language; // the API's code ("pl", "pt-br")
    std::string fileName;
    long long fileId = 0;
    long long downloads = 0;
    bool hashMatch = false; // found by the movie's hash, not only by its name
    bool aiTranslated = false;
    bool machineTranslated = false;
    bool hearingImpaired = false;
    std::string release;
    std::string title; // of the movie the subtitle belongs to
    long long imdbId = 0;

    // "[pl] name.srt | 1234 downloads | hash match | HI | AI | machine"
    std::string MenuLabel() const;
};

struct OSRestLogin {
    std::string token;
    std::string baseUrl; // host (and port) later requests go to; "" when not given
    int allowedDownloads = -1;
};

struct OSRestDownloadLink {
    std::string link;
    std::string fileName;
    int requests = -1;
    int remaining = -1;
    std::string resetTime; // as the service words it ("23 hours and 59 minutes")
    std::string resetTimeUtc;
};

struct OSRestQuota {
    int allowed = -1;
    int remaining = -1;
    std::string resetTime;
};

// False when the body is no JSON object with a token.
bool ParseOSRestLogin(const std::string& body, OSRestLogin* login);
// Every result with at least one file; anything unreadable is left out.
std::vector<OSRestItem> ParseOSRestSearch(const std::string& body);
// False when the body is no JSON object with a link.
bool ParseOSRestDownload(const std::string& body, OSRestDownloadLink* link);
// The "data" of /infos/user; false when unreadable.
bool ParseOSRestUserInfo(const std::string& body, OSRestQuota* quota);

// Hash matches first, then by download count (most first); ties keep the service's order.
void SortOSRestItems(std::vector<OSRestItem>& items);

// "a=1&b=x+y" from the pairs: keys sorted, keys and values lower-cased, blanks as '+',
// everything but letters, digits, ",-._~" percent-encoded.
std::string OSRestQuery(std::vector<std::pair<std::string, std::string>> parameters);

// The address of a later request: `baseUrl` of the login answer (a bare host, optionally with
// a port) takes the place of the configured address's host; anything that is not a plain
// host name is ignored and the configured address kept.
std::string OSRestSessionUrl(const std::string& configuredUrl, const std::string& baseUrl);

// What the user is told for an answer that is not a success: 401, 406 with its reset time,
// 410, 429, 5xx and others, with the service's own message where it gave one.
// `header` is the answer's header block (for Retry-After).
std::string DescribeOSRestError(long status, const std::string& body, const std::string& header);
// The reset time an error answer names ("" when none).
std::string OSRestResetTime(const std::string& body);
// In one line, why a used-up daily quota (406) gave nothing and when downloads come back:
// "... used up; new downloads in 23 hours and 59 minutes" with the service's own words for
// the time left (its UTC time when it names only that).
std::string OSRestUsedUpReason(const std::string& body);

// A file that is not a subtitle though a link gave it: the "become VIP" placeholder the
// service sends instead of a subtitle, or an HTML page.
bool IsOSPlaceholder(const std::string& text);

// "12 downloads left, reset time 23 hours and 59 minutes" ("" when nothing is known).
std::string OSRestQuotaText(int remaining, const std::string& resetTime);
