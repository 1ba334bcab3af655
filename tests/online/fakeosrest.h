#pragma once
// A local stand-in for the OpenSubtitles.com REST API (services.md), on 127.0.0.1 under
// "/api/v1": login, subtitles search, download links, the files behind them, the user's
// quota. It checks what every request must carry (Api-Key, User-Agent, the sorted lower-cased
// query, the bearer token once logged in, requests at the host the login named) and answers
// as the service does, errors included. A second server plays the host a login may name in
// "base_url".
#include "tests/online/httpfixture.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

struct FakeRestSubtitle {
    std::string language; // "pl", "en", "pt-br"
    std::string fileName;
    long long fileId = 0;
    long long downloads = 0;
    bool hashMatch = true;
    bool aiTranslated = false;
    bool machineTranslated = false;
    bool hearingImpaired = false;
    std::string text; // what the download link serves
};

// A result: `marks` names its kinds among "hash" (found by the movie's hash), "ai",
// "machine" and "hi".
FakeRestSubtitle Sub(const std::string& language, const std::string& fileName, long long fileId,
                     long long downloads, const std::string& marks = "hash",
                     const std::string& text = "");

struct FakeRestArrival {
    std::string host; // "api" or "vip"
    std::string method;
    std::string target;
    std::chrono::steady_clock::time_point at;
};

class FakeOpenSubtitlesRest {
  public:
    static constexpr const char* kKey = "k3y-for-tests";
    static constexpr const char* kToken = "t0ken.for.tests";

    FakeOpenSubtitlesRest();
    // The base address to configure (ApiUrl): ".../api/v1".
    std::string apiUrl() const { return api_.url() + "/api/v1"; }
    std::string vipUrl() const { return vip_.url() + "/api/v1"; }
    void Results(const std::string& hash, std::vector<FakeRestSubtitle> results);
    // The account the login accepts; with vipHost the answer's base_url names the second server.
    void Account(const std::string& user, const std::string& password, bool vipHost);
    void UserAgent(const std::string& agent);
    // Downloads left before the quota answer (406); the reset time both give.
    void Remaining(int remaining);
    // The tokens given so far are refused from now on (401), as when they run out.
    void ExpireTokens();
    // The next requests to `path` ("/subtitles", "/download", "/login", "/files") are answered
    // with `status` and `body` (and Retry-After when given), `times` times.
    void Fail(const std::string& path, int status, const std::string& body, int times = 1000,
              const std::string& retryAfter = "");
    std::string Complaints() const;
    std::vector<FakeRestArrival> Arrivals() const;
    size_t Count(const std::string& method, const std::string& pathPrefix) const;

    static constexpr const char* kResetTime = "23 hours and 59 minutes";

  private:
    void Install(TestHttpServer& server, const std::string& host);
    void Handle(const std::string& host, const httplib::Request& req, httplib::Response& res);
    void Complain(const std::string& text);

    TestHttpServer api_, vip_;
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<FakeRestSubtitle>> results_;
    std::string user_, password_;
    bool vipHost_ = false;
    bool loggedIn_ = false;
    std::string token_ = kToken;
    std::string agent_;
    int remaining_ = 20;
    struct Failure {
        int status;
        std::string body;
        int times;
        std::string retryAfter;
    };
    std::map<std::string, Failure> failures_;
    std::vector<std::string> complaints_;
    std::vector<FakeRestArrival> arrivals_;
};
