#pragma once
// Addresses of the web services. Each can be moved (a test server on 127.0.0.1, a mirror):
// an environment variable wins, then the key of the settings file's section "servers", then
// the public service.
#include <string>

enum class Service {
    NapiprojektWeb,   // QUORVAN_NAPIPROJEKT_URL, key "napiprojekt"
    OpenSubtitles,    // QUORVAN_OPENSUBTITLES_URL, key "opensubtitles"
    ImageHost,        // QUORVAN_IMAGEHOST_URL, key "imagehost"
    Statistics,       // QUORVAN_STATS_URL, key "stats"
    Redirect,         // QUORVAN_REDIRECT_URL, key "redirect"
    OpenSubtitlesWeb, // QUORVAN_OPENSUBTITLES_WEB_URL, key "opensubtitlesweb"
    ImdbWeb,          // QUORVAN_IMDB_URL, key "imdb"
};

// The base address (scheme, host and optional port, no trailing '/').
std::string ServiceUrl(Service service);
// The same decision without the environment and the file (pure; for tests).
std::string ChooseServiceUrl(const std::string& environmentValue, const std::string& settingsValue,
                             const std::string& publicDefault);
