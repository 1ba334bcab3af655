#include "tests/online/fakeosrest.h"

#include "online/osrestsettings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

using nlohmann::json;

namespace {
const std::string kBase = "/api/v1";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The query as it came, pair by pair.
std::vector<std::pair<std::string, std::string>> QueryPairs(const std::string& target) {
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t q = target.find('?');
    if (q == std::string::npos)
        return pairs;
    std::string query = target.substr(q + 1);
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        std::string part =
            query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        size_t eq = part.find('=');
        pairs.emplace_back(part.substr(0, eq), eq == std::string::npos ? "" : part.substr(eq + 1));
        if (amp == std::string::npos)
            break;
        pos = amp + 1;
    }
    return pairs;
}
} // namespace

FakeRestSubtitle Sub(const std::string& language, const std::string& fileName, long long fileId,
                     long long downloads, const std::string& marks, const std::string& text) {
    auto has = [&](const char* mark) {
        return (" " + marks + " ").find(std::string(" ") + mark + " ") != std::string::npos;
    };
    FakeRestSubtitle s;
    s.language = language;
    s.fileName = fileName;
    s.fileId = fileId;
    s.downloads = downloads;
    s.hashMatch = has("hash");
    s.aiTranslated = has("ai");
    s.machineTranslated = has("machine");
    s.hearingImpaired = has("hi");
    s.text = text;
    return s;
}

FakeOpenSubtitlesRest::FakeOpenSubtitlesRest() : agent_(DefaultOSRestUserAgent()) {
    Install(api_, "api");
    Install(vip_, "vip");
    api_.Start();
    vip_.Start();
}

void FakeOpenSubtitlesRest::Install(TestHttpServer& server, const std::string& host) {
    auto handler = [this, host](const httplib::Request& req, httplib::Response& res) {
        Handle(host, req, res);
    };
    server.server().Get(".*", handler);
    server.server().Post(".*", handler);
}

void FakeOpenSubtitlesRest::Complain(const std::string& text) {
    complaints_.push_back(text);
}

void FakeOpenSubtitlesRest::Handle(const std::string& host, const httplib::Request& req,
                                   httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex_);
    arrivals_.push_back({host, req.method, req.target, std::chrono::steady_clock::now()});
    std::string where = host + " " + req.method + " " + req.target + ": ";
    auto answer = [&](int status, const json& body) {
        res.status = status;
        res.set_content(body.dump(), "application/json");
    };

    // The files behind the download links are the file server's: no key wanted there.
    if (StartsWith(req.path, "/files/")) {
        long long id = std::atoll(req.path.c_str() + 7);
        auto failure = failures_.find("/files");
        if (failure != failures_.end() && failure->second.times-- > 0) {
            res.status = failure->second.status;
            res.set_content(failure->second.body, "text/html");
            return;
        }
        for (const auto& [hash, list] : results_)
            for (const FakeRestSubtitle& s : list)
                if (s.fileId == id) {
                    res.set_content(s.text, "application/x-subrip");
                    return;
                }
        res.status = 410;
        return;
    }

    if (req.get_header_value("User-Agent") != agent_)
        Complain(where + "agent [" + req.get_header_value("User-Agent") + "]");
    if (!req.has_header("Api-Key")) {
        Complain(where + "no Api-Key");
        answer(401, {{"message", "You cannot consume this service"}});
        return;
    }
    if (req.get_header_value("Accept") != "application/json")
        Complain(where + "accept [" + req.get_header_value("Accept") + "]");
    if (req.method == "POST" && req.get_header_value("Content-Type") != "application/json")
        Complain(where + "content type [" + req.get_header_value("Content-Type") + "]");
    std::string path = StartsWith(req.path, kBase) ? req.path.substr(kBase.size()) : "";
    if (path.empty())
        Complain(where + "not under " + kBase);

    std::string bearer = req.get_header_value("Authorization");
    bool stale = StartsWith(bearer, "Bearer ") && bearer != "Bearer " + token_;
    if (path != "/login" && !stale) {
        if (loggedIn_ && bearer != "Bearer " + token_)
            Complain(where + "no bearer token after the login [" + bearer + "]");
        if (!loggedIn_ && !bearer.empty())
            Complain(where + "a token before any login");
        if (loggedIn_ && vipHost_ && host != "vip")
            Complain(where + "not sent to the base_url of the login");
    }

    if (path == "/subtitles") {
        // Keys in alphabetical order, values lower-case.
        auto pairs = QueryPairs(req.target);
        if (!std::is_sorted(pairs.begin(), pairs.end(),
                            [](const auto& a, const auto& b) { return a.first < b.first; }))
            Complain(where + "query keys not sorted");
        for (const auto& [key, value] : pairs)
            if (std::any_of(value.begin(), value.end(),
                            [](char c) { return std::isupper(static_cast<unsigned char>(c)); }) ||
                std::any_of(key.begin(), key.end(),
                            [](char c) { return std::isupper(static_cast<unsigned char>(c)); }))
                Complain(where + "upper case in the query");
    }

    if (req.get_header_value("Api-Key") != kKey) {
        answer(401, {{"message", "Error, invalid API key"}});
        return;
    }
    if (stale && path != "/login") {
        answer(401, {{"message", "invalid token"}});
        return;
    }
    auto failure = failures_.find(path);
    if (failure != failures_.end() && failure->second.times-- > 0) {
        res.status = failure->second.status;
        if (!failure->second.retryAfter.empty())
            res.set_header("Retry-After", failure->second.retryAfter);
        res.set_content(failure->second.body, "application/json");
        return;
    }

    if (path == "/login" && req.method == "POST") {
        json body = json::parse(req.body, nullptr, false);
        if (!body.is_object() || body.value("username", "") != user_ ||
            body.value("password", "") != password_ || user_.empty()) {
            answer(401, {{"message", "Invalid username/password"}, {"status", 401}});
            return;
        }
        loggedIn_ = true;
        std::string base = vipHost_ ? "127.0.0.1:" + std::to_string(vip_.port())
                                    : "127.0.0.1:" + std::to_string(api_.port());
        answer(200,
               {{"user", {{"allowed_downloads", 20}, {"level", "Sub leecher"}, {"vip", false}}},
                {"base_url", base},
                {"token", token_},
                {"status", 200}});
        return;
    }
    if (path == "/subtitles" && req.method == "GET") {
        std::string hash = req.get_param_value("moviehash");
        std::string languages = req.get_param_value("languages");
        if (req.get_param_value("ai_translated") != "include" ||
            req.get_param_value("machine_translated") != "include")
            Complain(where + "translated subtitles not asked for");
        json data = json::array();
        auto it = results_.find(hash);
        if (it != results_.end())
            for (const FakeRestSubtitle& s : it->second) {
                if (!languages.empty() &&
                    ("," + languages + ",").find("," + s.language + ",") == std::string::npos)
                    continue;
                data.push_back(
                    {{"id", std::to_string(s.fileId + 7000)},
                     {"type", "subtitle"},
                     {"attributes",
                      {{"language", s.language},
                       {"download_count", s.downloads},
                       {"hearing_impaired", s.hearingImpaired},
                       {"ai_translated", s.aiTranslated},
                       {"machine_translated", s.machineTranslated},
                       {"foreign_parts_only", false},
                       {"from_trusted", true},
                       {"moviehash_match", s.hashMatch},
                       {"release", s.fileName},
                       {"files", {{{"file_id", s.fileId}, {"file_name", s.fileName}}}},
                       {"feature_details",
                        {{"imdb_id", 133093}, {"title", "The Matrix"}, {"year", 1999}}}}}});
            }
        answer(200,
               {{"total_count", data.size()}, {"total_pages", 1}, {"page", 1}, {"data", data}});
        return;
    }
    if (path == "/download" && req.method == "POST") {
        json body = json::parse(req.body, nullptr, false);
        long long id = body.is_object() && body.contains("file_id") && body["file_id"].is_number()
                           ? body["file_id"].get<long long>()
                           : -1;
        if (id < 0)
            Complain(where + "no file_id [" + req.body + "]");
        if (remaining_ <= 0) {
            answer(406, {{"requests", 20},
                         {"remaining", 0},
                         {"message", "You have downloaded your allowed 20 subtitles for 24h."},
                         {"reset_time", kResetTime},
                         {"reset_time_utc", "2026-12-10T15:00:00.000Z"}});
            return;
        }
        --remaining_;
        std::string server = host == "vip" ? vip_.url() : api_.url();
        answer(200, {{"link", server + "/files/" + std::to_string(id) + ".srt"},
                     {"file_name", std::to_string(id) + ".srt"},
                     {"requests", 20 - remaining_},
                     {"remaining", remaining_},
                     {"message", "Your quota will be renewed in " + std::string(kResetTime)},
                     {"reset_time", kResetTime},
                     {"reset_time_utc", "2026-12-10T15:00:00.000Z"}});
        return;
    }
    if (path == "/infos/user" && req.method == "GET") {
        if (!loggedIn_) {
            answer(401, {{"message", "You must be logged in"}});
            return;
        }
        answer(200, {{"data",
                      {{"allowed_downloads", 20},
                       {"downloads_count", 20 - remaining_},
                       {"remaining_downloads", remaining_},
                       {"level", "Sub leecher"}}}});
        return;
    }
    if (path == "/infos/formats" && req.method == "GET") {
        answer(200, {{"data", {{"output_formats", {"srt", "ass", "vtt"}}}}});
        return;
    }
    Complain(where + "unknown request");
    res.status = 404;
}

void FakeOpenSubtitlesRest::Results(const std::string& hash,
                                    std::vector<FakeRestSubtitle> results) {
    std::lock_guard<std::mutex> lock(mutex_);
    results_[hash] = std::move(results);
}

void FakeOpenSubtitlesRest::ExpireTokens() {
    std::lock_guard<std::mutex> lock(mutex_);
    token_ += "x";
}

void FakeOpenSubtitlesRest::Account(const std::string& user, const std::string& password,
                                    bool vipHost) {
    std::lock_guard<std::mutex> lock(mutex_);
    user_ = user;
    password_ = password;
    vipHost_ = vipHost;
}

void FakeOpenSubtitlesRest::UserAgent(const std::string& agent) {
    std::lock_guard<std::mutex> lock(mutex_);
    agent_ = agent;
}

void FakeOpenSubtitlesRest::Remaining(int remaining) {
    std::lock_guard<std::mutex> lock(mutex_);
    remaining_ = remaining;
}

void FakeOpenSubtitlesRest::Fail(const std::string& path, int status, const std::string& body,
                                 int times, const std::string& retryAfter) {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_[path] = {status, body, times, retryAfter};
}

std::string FakeOpenSubtitlesRest::Complaints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const std::string& c : complaints_)
        all += c + "\n";
    return all;
}

std::vector<FakeRestArrival> FakeOpenSubtitlesRest::Arrivals() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_;
}

size_t FakeOpenSubtitlesRest::Count(const std::string& method,
                                    const std::string& pathPrefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_t(std::count_if(arrivals_.begin(), arrivals_.end(), [&](const FakeRestArrival& a) {
        return a.method == method && StartsWith(a.target, pathPrefix);
    }));
}
