#include "tools/quorvan/subtitlescommand.h"

#include "online/napiprojekt.h"
#include "online/opensubtitles.h"
#include "online/oshelpfunctions.h"
#include "online/osrest.h"
#include "online/osrestsettings.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/rarnames.h"
#include "tools/quorvan/jsonwriter.h"

#include <cctype>

namespace {
constexpr int kExitNoSubtitle = 1;
constexpr int kExitBadOptions = 2;

std::string Upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Napiprojekt knows "PL" and "ENG"; the usual spellings of both are taken.
std::string NapiLanguage(const std::string& code) {
    std::string c = Upper(code);
    if (c.empty() || c == "PL" || c == "POL")
        return "PL";
    if (c == "EN" || c == "ENG")
        return "ENG";
    return "";
}

// OpenSubtitles takes three-letter codes ("pol", "eng", "all" ...); two-letter ones of the
// two languages the menus offer are mapped.
std::string OpenSubtitlesLanguage(const std::string& code) {
    std::string c = code;
    for (char& ch : c)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    if (c.empty())
        return "eng";
    if (c == "pl")
        return "pol";
    if (c == "en")
        return "eng";
    return c;
}

struct Outcome {
    std::string movie;
    bool ok = false;
    std::string subtitle;
    std::string copy;
    std::string reason;
    std::vector<SubOSItem> items;
    // The REST engine: its results and the download quota it told.
    std::vector<OSRestItem> restItems;
    int remaining = -1;
    std::string resetTime;
};

std::string RestItemJson(const OSRestItem& item) {
    JsonObject j;
    j.Add("language", item.language)
        .Add("file", item.fileName)
        .Add("fileId", int64_t(item.fileId))
        .Add("downloads", int64_t(item.downloads))
        .Add("hashMatch", item.hashMatch)
        .Add("hearingImpaired", item.hearingImpaired)
        .Add("aiTranslated", item.aiTranslated)
        .Add("machineTranslated", item.machineTranslated);
    return j.str();
}

void Print(const Outcome& o, const SubtitlesOptions& options, FILE* out) {
    if (options.json) {
        JsonObject j;
        j.Add("movie", o.movie).Add("service", options.service).Add("ok", o.ok);
        if (options.list) {
            std::string array = "[";
            for (size_t i = 0; i < o.restItems.size(); ++i)
                array += (i ? "," : "") + RestItemJson(o.restItems[i]);
            for (size_t i = 0; i < o.items.size(); ++i) {
                JsonObject item;
                item.Add("language", o.items[i].ISO639)
                    .Add("file", o.items[i].SubFileName)
                    .Add("link", o.items[i].SubDownloadLink);
                array += (i ? "," : "") + item.str();
            }
            array += "]";
            std::string text = j.str();
            text.pop_back();
            std::fprintf(out, "%s,\"results\":%s}\n", text.c_str(), array.c_str());
            return;
        }
        if (o.ok)
            j.Add("subtitle", o.subtitle);
        else
            j.AddNull("subtitle");
        if (!o.copy.empty())
            j.Add("copy", o.copy);
        if (!o.ok)
            j.Add("reason", o.reason);
        if (o.remaining >= 0)
            j.Add("remaining", o.remaining).Add("resetTime", o.resetTime);
        std::fprintf(out, "%s\n", j.str().c_str());
        return;
    }
    if (options.list) {
        if (!o.ok)
            std::fprintf(out, "%s: no results (%s)\n", o.movie.c_str(), o.reason.c_str());
        for (const SubOSItem& item : o.items)
            std::fprintf(out, "%s: %s %s\n", o.movie.c_str(), item.getMenuName().c_str(),
                         item.SubDownloadLink.c_str());
        for (const OSRestItem& item : o.restItems)
            std::fprintf(out, "%s: %s | file_id %lld\n", o.movie.c_str(), item.MenuLabel().c_str(),
                         item.fileId);
        return;
    }
    if (o.ok) {
        std::fprintf(out, "%s: %s\n", o.movie.c_str(), o.subtitle.c_str());
        if (!o.copy.empty())
            std::fprintf(out, "%s: copied to %s\n", o.movie.c_str(), o.copy.c_str());
    } else {
        std::fprintf(out, "%s: no subtitle (%s)\n", o.movie.c_str(), o.reason.c_str());
    }
    if (o.remaining >= 0)
        std::fprintf(out, "%s: OpenSubtitles.com: %s\n", o.movie.c_str(),
                     OSRestQuotaText(o.remaining, o.resetTime).c_str());
}

Outcome Napiprojekt(const std::string& movie, const std::string& language) {
    Outcome o;
    NapiResult r = DownloadNapiprojekt(movie, language);
    o.ok = r.downloaded;
    o.subtitle = r.subtitle;
    o.reason = r.reason;
    return o;
}

// What either OpenSubtitles engine's download says about one movie.
Outcome FromDownload(const OSDownloadResult& r) {
    Outcome o;
    o.ok = r.downloaded;
    o.subtitle = r.subtitle;
    o.copy = r.srtCopy;
    o.reason = r.reason;
    o.remaining = r.remaining;
    o.resetTime = r.resetTime;
    return o;
}

Outcome OpenSubtitles(const std::string& movie, const std::string& language) {
    return FromDownload(GetSubtitleFromOpenSubtitlesWork(movie, language));
}

Outcome OpenSubtitlesRest(const std::string& movie, const std::string& language,
                          const OSRestConfig& config) {
    return FromDownload(GetSubtitleFromOSRestWork(movie, language, config));
}

Outcome ListRest(const std::string& movie, const OSRestConfig& config) {
    Outcome o;
    OSRestListResult r = ListOSRestWork(movie, config);
    o.restItems = r.items;
    o.ok = !r.items.empty();
    o.reason = r.reason;
    return o;
}

Outcome List(const std::string& movie) {
    Outcome o;
    OSListResult r = ListOpenSubtitlesWork(movie);
    o.items = r.items;
    o.ok = !r.items.empty();
    o.reason = !r.loggedIn ? "login refused or server unreachable" : "no results";
    return o;
}
} // namespace

int RunSubtitles(const SubtitlesOptions& options, FILE* out) {
    bool napi = options.service == "napiprojekt";
    if (!napi && options.service != "opensubtitles") {
        std::fprintf(stderr, "quorvan: unknown service %s (napiprojekt or opensubtitles)\n",
                     options.service.c_str());
        return kExitBadOptions;
    }
    if (napi && options.list) {
        std::fprintf(stderr, "quorvan: --list needs --service opensubtitles\n");
        return kExitBadOptions;
    }
    std::string language =
        napi ? NapiLanguage(options.language) : OpenSubtitlesLanguage(options.language);
    if (language.empty()) {
        std::fprintf(stderr, "quorvan: Napiprojekt has subtitles in PL and ENG only, not %s\n",
                     options.language.c_str());
        return kExitBadOptions;
    }
    // The result list logs in with the account of the settings file, as the player does.
    std::string settings = SettingsFilePath();
    OS.login = GetProfileString("quorvan", "Login", "", settings, 1000);
    OS.pass = GetProfileString("quorvan", "Pass", "", settings, 1000);

    // OpenSubtitles goes through the engine the settings choose, as in the player.
    bool rest = !napi && CurrentOSRestSettings().Rest();
    OSRestConfig config = CurrentOSRestConfig(OS.login, OS.pass);

    int status = 0;
    for (const std::string& given : options.movies) {
        std::string movie = given;
        ZrobPierwszyPart(movie); // any volume names its set, as when the player opens it
        Outcome o = rest && options.list ? ListRest(movie, config)
                    : rest               ? OpenSubtitlesRest(movie, language, config)
                    : options.list       ? List(movie)
                    : napi               ? Napiprojekt(movie, language)
                                         : OpenSubtitles(movie, language);
        o.movie = given;
        Print(o, options, out);
        if (!o.ok)
            status = kExitNoSubtitle;
    }
    return std::fflush(out) == 0 ? status : kExitNoSubtitle;
}
