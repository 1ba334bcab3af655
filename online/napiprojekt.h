#pragma once
// Subtitles from Napiprojekt, found by the movie's Napiprojekt fingerprint: one GET, the
// answer told by its first bytes (a password-protected 7z archive unpacked with 7zz, gzip,
// the subtitle text itself, or "NPc": none), the subtitle placed beside the movie (".txt"
// in place of the last four characters), and SubComend set to load it.
#include "online/onlinemessages.h"

#include <string>

// The archive passwords: the one the service has always used, then the one it uses today.
extern const char* const kNapiprojektPassword;
extern const char* const kNapiprojektCurrentPassword;

// The exact user agent, with its three 0xA0 (no-break space) bytes.
extern const char* const kNapiprojektAgent;

// The request's address for the fingerprint `md5` (32 hex digits) in language `language`.
std::string NapiprojektUrl(const std::string& base, const std::string& language,
                           const std::string& md5);

struct NapiResult {
    OnlineMessages messages; // in the order the user sees them
    std::string subComend;   // " -sub \"<path>\" " when a subtitle was placed, else ""
    std::string subtitle;    // where the subtitle is ("" when none came)
    bool downloaded = false;
    bool cancelled = false;
    std::string reason; // why none came, for the command-line tool
};

// The whole exchange without touching any window or global: safe on a worker thread.
NapiResult DownloadNapiprojekt(const std::string& movie, const std::string& language);

// The described call: sets SubComend and shows the messages at once. Always 0.
int PobierzNapis(const char* movie, const char* language);
