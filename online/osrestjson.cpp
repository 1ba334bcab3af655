#include "online/osrestapi.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>

using nlohmann::json;

namespace {
// Accessors that never throw: a member of the wrong type reads as missing.
const json* Member(const json& j, const char* key) {
    if (!j.is_object())
        return nullptr;
    auto it = j.find(key);
    return it == j.end() ? nullptr : &*it;
}

std::string Str(const json& j, const char* key) {
    const json* m = Member(j, key);
    return m != nullptr && m->is_string() ? m->get<std::string>() : std::string();
}

long long Int(const json& j, const char* key, long long fallback = -1) {
    const json* m = Member(j, key);
    if (m == nullptr)
        return fallback;
    if (m->is_number_integer())
        return m->get<long long>();
    if (m->is_number_float()) {
        double d = m->get<double>();
        return d > -9e18 && d < 9e18 ? static_cast<long long>(d) : fallback;
    }
    if (m->is_string()) {
        const std::string s = m->get<std::string>();
        if (!s.empty() && s.size() < 19 &&
            std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit((unsigned char)c); }))
            return std::stoll(s);
    }
    return fallback;
}

bool Bool(const json& j, const char* key) {
    const json* m = Member(j, key);
    return m != nullptr && m->is_boolean() && m->get<bool>();
}

int Small(long long value) {
    return value < -1 ? -1 : value > 1000000000 ? 1000000000 : int(value);
}

json Parse(const std::string& body) {
    return json::parse(body, nullptr, /*allow_exceptions=*/false);
}

bool HostNameOnly(const std::string& host) {
    if (host.empty() || host.size() > 253)
        return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':';
    });
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

std::string OSRestItem::MenuLabel() const {
    std::string label = "[" + language + "] " + fileName + " | " + std::to_string(downloads) +
                        (downloads == 1 ? " download" : " downloads");
    if (hashMatch)
        label += " | hash match";
    if (hearingImpaired)
        label += " | HI";
    if (aiTranslated)
        label += " | AI";
    if (machineTranslated)
        label += " | machine";
    return label;
}

bool ParseOSRestLogin(const std::string& body, OSRestLogin* login) {
    json j = Parse(body);
    login->token = Str(j, "token");
    if (login->token.empty())
        return false;
    login->baseUrl = Str(j, "base_url");
    if (const json* user = Member(j, "user"))
        login->allowedDownloads = Small(Int(*user, "allowed_downloads"));
    return true;
}

std::vector<OSRestItem> ParseOSRestSearch(const std::string& body) {
    std::vector<OSRestItem> items;
    json j = Parse(body);
    const json* data = Member(j, "data");
    if (data == nullptr || !data->is_array())
        return items;
    for (const json& result : *data) {
        const json* a = Member(result, "attributes");
        if (a == nullptr)
            continue;
        const json* files = Member(*a, "files");
        if (files == nullptr || !files->is_array() || files->empty())
            continue;
        const json& file = files->front();
        OSRestItem item;
        item.fileId = Int(file, "file_id", 0);
        if (item.fileId <= 0)
            continue;
        item.fileName = Str(file, "file_name");
        item.language = Str(*a, "language");
        item.downloads = std::max(0LL, Int(*a, "download_count", 0));
        item.hashMatch = Bool(*a, "moviehash_match");
        item.aiTranslated = Bool(*a, "ai_translated");
        item.machineTranslated = Bool(*a, "machine_translated");
        item.hearingImpaired = Bool(*a, "hearing_impaired");
        item.release = Str(*a, "release");
        if (const json* feature = Member(*a, "feature_details")) {
            item.title = Str(*feature, "title");
            item.imdbId = std::max(0LL, Int(*feature, "imdb_id", 0));
        }
        if (item.fileName.empty())
            item.fileName = item.release.empty() ? std::to_string(item.fileId) : item.release;
        items.push_back(std::move(item));
    }
    return items;
}

bool ParseOSRestDownload(const std::string& body, OSRestDownloadLink* link) {
    json j = Parse(body);
    link->link = Str(j, "link");
    if (link->link.empty())
        return false;
    link->fileName = Str(j, "file_name");
    link->requests = Small(Int(j, "requests"));
    link->remaining = Small(Int(j, "remaining"));
    link->resetTime = Str(j, "reset_time");
    link->resetTimeUtc = Str(j, "reset_time_utc");
    return true;
}

bool ParseOSRestUserInfo(const std::string& body, OSRestQuota* quota) {
    json j = Parse(body);
    const json* data = Member(j, "data");
    if (data == nullptr || !data->is_object())
        return false;
    quota->allowed = Small(Int(*data, "allowed_downloads"));
    quota->remaining = Small(Int(*data, "remaining_downloads"));
    quota->resetTime = Str(*data, "reset_time");
    return quota->remaining >= 0 || quota->allowed >= 0;
}

void SortOSRestItems(std::vector<OSRestItem>& items) {
    std::stable_sort(items.begin(), items.end(), [](const OSRestItem& a, const OSRestItem& b) {
        if (a.hashMatch != b.hashMatch)
            return a.hashMatch;
        return a.downloads > b.downloads;
    });
}

std::string OSRestQuery(std::vector<std::pair<std::string, std::string>> parameters) {
    for (auto& [key, value] : parameters) {
        key = Lower(key);
        value = Lower(value);
    }
    std::sort(parameters.begin(), parameters.end());
    auto encode = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (std::isalnum(c) || c == ',' || c == '-' || c == '.' || c == '_' || c == '~') {
                out += char(c);
            } else if (c == ' ') {
                out += '+';
            } else {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02X", c);
                out += hex;
            }
        }
        return out;
    };
    std::string query;
    for (const auto& [key, value] : parameters)
        query += (query.empty() ? "" : "&") + encode(key) + "=" + encode(value);
    return query;
}

std::string OSRestSessionUrl(const std::string& configuredUrl, const std::string& baseUrl) {
    std::string host = baseUrl;
    size_t scheme = host.find("://");
    if (scheme != std::string::npos)
        host = host.substr(scheme + 3);
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    size_t start = configuredUrl.find("://");
    if (!HostNameOnly(host) || start == std::string::npos)
        return configuredUrl;
    size_t pathStart = configuredUrl.find('/', start + 3);
    std::string path = pathStart == std::string::npos ? "" : configuredUrl.substr(pathStart);
    return configuredUrl.substr(0, start + 3) + host + path;
}

std::string OSRestResetTime(const std::string& body) {
    json j = Parse(body);
    std::string reset = Str(j, "reset_time");
    std::string utc = Str(j, "reset_time_utc");
    if (!reset.empty() && !utc.empty())
        return reset + " (" + utc + ")";
    return reset.empty() ? utc : reset;
}

std::string OSRestUsedUpReason(const std::string& body) {
    json j = Parse(body);
    std::string reason = "Your OpenSubtitles.com downloads for today are used up";
    std::string in = Str(j, "reset_time");
    std::string at = Str(j, "reset_time_utc");
    if (!in.empty())
        return reason + "; new downloads in " + in;
    if (!at.empty())
        return reason + "; new downloads at " + at;
    return reason + "; new downloads tomorrow";
}

std::string DescribeOSRestError(long status, const std::string& body, const std::string& header) {
    json j = Parse(body);
    std::string said = Str(j, "message");
    if (said.empty())
        said = Str(j, "error");
    if (said.size() > 300)
        said.resize(300);
    std::string reset = OSRestResetTime(body);
    std::string code = " (HTTP " + std::to_string(status) + ")";
    std::string text;
    if (status == 401) {
        text = "OpenSubtitles.com refused the API key or the login" + code +
               ".\nCheck ApiKey, Login and Pass under Options > OpenSubtitles.com.";
    } else if (status == 406) {
        text = "Your OpenSubtitles.com downloads for today are used up" + code + ".";
        long long requests = Int(j, "requests");
        if (requests >= 0)
            text += "\nDownloads made: " + std::to_string(requests) + ".";
        text += reset.empty() ? "\nThey come back tomorrow." : "\nThey come back at: " + reset;
    } else if (status == 410) {
        text = "The OpenSubtitles.com download link has expired" + code + "; ask again.";
    } else if (status == 429) {
        text = "OpenSubtitles.com got too many requests from this address" + code +
               ".\nTry again in a moment.";
        // The header block: each line "Name: value" with CR LF.
        std::string lower = Lower(header);
        size_t at = lower.find("\nretry-after:");
        if (at != std::string::npos) {
            size_t from = at + 13, to = lower.find('\r', from);
            std::string wait = header.substr(from, to == std::string::npos ? 20 : to - from);
            wait.erase(0, wait.find_first_not_of(' '));
            if (!wait.empty() && wait.size() < 40)
                text += " (after " + wait + " s)";
        }
    } else if (status >= 500) {
        text = "OpenSubtitles.com is not working properly now" + code + ".\nTry again later.";
    } else {
        text = "OpenSubtitles.com refused the request" + code + ".";
    }
    if (!said.empty())
        text += "\nThe service says: " + said;
    if (status != 406 && !reset.empty())
        text += "\nReset time: " + reset;
    return text;
}

bool IsOSPlaceholder(const std::string& text) {
    std::string head = Lower(text.substr(0, 4096));
    if (head.find("<html") != std::string::npos || head.find("<!doctype html") != std::string::npos)
        return true;
    if (head.find("vip") == std::string::npos)
        return false;
    // A real subtitle has a timing line per cue; the placeholder is a note of a line or two
    // (itself perhaps dressed as one cue), while real files may carry the service's own
    // "become VIP" advertisement among hundreds of cues.
    size_t cues = 0;
    for (size_t at = 0; (at = text.find("-->", at)) != std::string::npos && cues < 4; at += 3)
        ++cues;
    for (size_t at = 0; cues < 4 && (at = text.find("\n{", at)) != std::string::npos; at += 2)
        ++cues;
    return cues < 4;
}

std::string OSRestQuotaText(int remaining, const std::string& resetTime) {
    if (remaining < 0)
        return "";
    std::string text =
        std::to_string(remaining) + (remaining == 1 ? " download" : " downloads") + " left";
    if (!resetTime.empty())
        text += ", reset time " + resetTime;
    return text;
}
