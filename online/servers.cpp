#include "online/servers.h"

#include "platform/profile.h"
#include "platform/statefolder.h"

#include <cstdlib>

namespace {
struct ServiceRow {
    Service service;
    const char* environment;
    const char* key;
    const char* publicDefault;
};

const ServiceRow kServices[] = {
    {Service::NapiprojektWeb, "QUORVAN_NAPIPROJEKT_URL", "napiprojekt",
     "http://www.napiprojekt.pl"},
    {Service::OpenSubtitles, "QUORVAN_OPENSUBTITLES_URL", "opensubtitles",
     "https://api.opensubtitles.org"},
    {Service::ImageHost, "QUORVAN_IMAGEHOST_URL", "imagehost", ""},
    {Service::Statistics, "QUORVAN_STATS_URL", "stats", ""},
    {Service::Redirect, "QUORVAN_REDIRECT_URL", "redirect", ""},
    {Service::OpenSubtitlesWeb, "QUORVAN_OPENSUBTITLES_WEB_URL", "opensubtitlesweb",
     "https://www.opensubtitles.org"},
    {Service::ImdbWeb, "QUORVAN_IMDB_URL", "imdb", "https://www.imdb.com"},
};

std::string WithoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}
} // namespace

std::string ChooseServiceUrl(const std::string& environmentValue, const std::string& settingsValue,
                             const std::string& publicDefault) {
    if (!environmentValue.empty())
        return WithoutTrailingSlash(environmentValue);
    if (!settingsValue.empty())
        return WithoutTrailingSlash(settingsValue);
    return WithoutTrailingSlash(publicDefault);
}

std::string ServiceUrl(Service service) {
    for (const auto& row : kServices) {
        if (row.service != service)
            continue;
        const char* env = std::getenv(row.environment);
        std::string fromFile = GetProfileString("servers", row.key, "", SettingsFilePath(), 1000);
        return ChooseServiceUrl(env != nullptr ? env : "", fromFile, row.publicDefault);
    }
    return "";
}
