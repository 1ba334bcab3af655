#include "online/osrestclient.h"

#include "online/cancel.h"
#include "online/httptransfer.h"
#include "online/osrestsettings.h"
#include "platform/limits.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kPaceWindow = std::chrono::seconds(1);
constexpr auto kTokenLife = std::chrono::hours(12);

// The last requests of the process, shared by every client. A request counts from the
// moment its answer came back, not from when it left: the service sees a request somewhere
// in between, so only the answer's time keeps any six in a row a second apart at its end,
// however late a slow request arrived.
class Pace {
  public:
    using Ticket = std::uint64_t;
    static constexpr Ticket kCancelled = 0;

    // A ticket for the request about to leave; kCancelled when the exchange was cancelled
    // while waiting.
    Ticket Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            Clock::time_point now = Clock::now();
            std::erase_if(slots_, [&](const Slot& slot) {
                return !slot.inFlight && now - slot.at >= kPaceWindow;
            });
            if (slots_.size() < kOSRestRequestsPerSecond) {
                slots_.push_back(Slot{++lastTicket_, now, true});
                return lastTicket_;
            }
            // The first answered slot frees first; with every slot in flight, look again soon.
            Clock::time_point free = now + std::chrono::milliseconds(20);
            for (const Slot& slot : slots_)
                if (!slot.inFlight)
                    free = std::min(free, slot.at + kPaceWindow);
            lock.unlock();
            if (CurrentExchangeCancelled())
                return kCancelled;
            // Short steps, so a Cancel is seen within one of them.
            std::this_thread::sleep_for(
                std::min<Clock::duration>(free - now, std::chrono::milliseconds(20)));
            lock.lock();
        }
    }
    // The request of the ticket has its answer (or failed): its second starts now.
    void Answered(Ticket ticket) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Slot& slot : slots_)
            if (slot.ticket == ticket) {
                slot.at = Clock::now();
                slot.inFlight = false;
            }
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_.clear();
    }

  private:
    struct Slot {
        Ticket ticket;
        Clock::time_point at;
        bool inFlight;
    };
    std::mutex mutex_;
    std::vector<Slot> slots_;
    Ticket lastTicket_ = 0;
};

Pace& ThePace() {
    static Pace pace;
    return pace;
}

struct KeptSession {
    std::string key;
    std::string token;
    std::string url;
    Clock::time_point since;
};

std::mutex gSessionsMutex;
std::vector<KeptSession> gSessions;
// Held while a session is looked for and, when none is kept, made: two workers that start at
// once log in once.
std::mutex gLoginMutex;

std::string SessionKey(const OSRestConfig& c) {
    return c.apiUrl + '\n' + c.apiKey + '\n' + c.login + '\n' + c.password;
}

bool FindSession(const OSRestConfig& c, std::string* token, std::string* url) {
    std::lock_guard<std::mutex> lock(gSessionsMutex);
    std::string key = SessionKey(c);
    for (const KeptSession& s : gSessions)
        if (s.key == key && Clock::now() - s.since < kTokenLife) {
            *token = s.token;
            *url = s.url;
            return true;
        }
    return false;
}

void KeepSession(const OSRestConfig& c, const std::string& token, const std::string& url) {
    std::lock_guard<std::mutex> lock(gSessionsMutex);
    std::string key = SessionKey(c);
    std::erase_if(gSessions, [&](const KeptSession& s) { return s.key == key; });
    gSessions.push_back({key, token, url, Clock::now()});
}

void DropSession(const OSRestConfig& c) {
    std::lock_guard<std::mutex> lock(gSessionsMutex);
    std::string key = SessionKey(c);
    std::erase_if(gSessions, [&](const KeptSession& s) { return s.key == key; });
}

// A JSON string with the characters JSON requires escaped.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}
} // namespace

OSRestConfig CurrentOSRestConfig(const std::string& login, const std::string& password) {
    OSRestSettings settings = CurrentOSRestSettings();
    OSRestConfig c;
    c.apiUrl = EffectiveOSRestUrl(settings);
    c.apiKey = settings.apiKey;
    c.userAgent = EffectiveOSRestUserAgent(settings);
    c.login = login;
    c.password = password;
    return c;
}

OSRestClient::OSRestClient(OSRestConfig config)
    : config_(std::move(config)), sessionUrl_(config_.apiUrl) {}

void OSRestClient::Fail(OSRestFailure* failure, long status, const std::string& body,
                        const std::string& header) {
    failure->failed = true;
    failure->status = status;
    failure->message = DescribeOSRestError(status, body, header);
    if (status == 406) {
        failure->reason = OSRestUsedUpReason(body);
        failure->resetTime = OSRestResetTime(body);
    }
}

bool OSRestClient::Exchange(const std::string& method, const std::string& pathAndQuery,
                            const std::string& body, std::string* answer, OSRestFailure* failure) {
    Pace::Ticket ticket = ThePace().Wait();
    if (ticket == Pace::kCancelled) {
        failure->failed = failure->cancelled = true;
        return false;
    }
    HttpTransferRequest request;
    request.url = sessionUrl_ + pathAndQuery;
    request.method = method;
    request.userAgent = config_.userAgent;
    request.http10 = false;
    request.headers = {"Api-Key: " + config_.apiKey, "Accept: application/json"};
    if (method == "POST")
        request.headers.push_back("Content-Type: application/json");
    if (!token_.empty())
        request.headers.push_back("Authorization: Bearer " + token_);
    request.body = body;
    request.maxBody = kMaxOSRestAnswer;
    // The key, the token and the login body stay with the API's host.
    request.sameHostRedirects = true;
    HttpTransferResult result = HttpTransfer(request);
    ThePace().Answered(ticket);
    std::cout << "OpenSubtitles.com " << method << " " << pathAndQuery << ": "
              << (result.completed ? std::to_string(result.status) : result.errorText) << std::endl;
    if (result.cancelled) {
        failure->failed = failure->cancelled = true;
        return false;
    }
    if (!result.completed) {
        failure->failed = true;
        failure->message = "OpenSubtitles.com cannot be reached (" + result.errorText + ").";
        return false;
    }
    if (result.status == 401 && keptToken_) {
        // A token kept from an earlier command has run out: one new login, the request again.
        DropSession(config_);
        keptToken_ = false;
        OSRestLogin login;
        return LogIn(&login, failure) && Exchange(method, pathAndQuery, body, answer, failure);
    }
    if (result.status < 200 || result.status >= 300 || result.truncated) {
        Fail(failure, result.truncated ? 502 : result.status, result.body, result.header);
        return false;
    }
    *answer = std::move(result.body);
    return true;
}

bool OSRestClient::LogIn(OSRestLogin* login, OSRestFailure* failure) {
    token_.clear();
    keptToken_ = false;
    sessionUrl_ = config_.apiUrl;
    std::string answer;
    std::string body = "{\"username\":" + JsonString(config_.login) +
                       ",\"password\":" + JsonString(config_.password) + "}";
    if (!Exchange("POST", "/login", body, &answer, failure))
        return false;
    if (!ParseOSRestLogin(answer, login)) {
        failure->failed = true;
        failure->message = "OpenSubtitles.com answered the login without a token.";
        return false;
    }
    token_ = login->token;
    sessionUrl_ = OSRestSessionUrl(config_.apiUrl, login->baseUrl);
    KeepSession(config_, token_, sessionUrl_);
    return true;
}

bool OSRestClient::EnsureSession(OSRestFailure* failure) {
    if (config_.login.empty() || !token_.empty())
        return true;
    std::lock_guard<std::mutex> lock(gLoginMutex);
    if (FindSession(config_, &token_, &sessionUrl_)) {
        keptToken_ = true;
        return true;
    }
    OSRestLogin login;
    return LogIn(&login, failure);
}

bool OSRestClient::Search(const std::string& hash, const std::string& languages,
                          std::vector<OSRestItem>* items, OSRestFailure* failure) {
    // Translated subtitles are asked for too, so the list can show them for what they are.
    std::vector<std::pair<std::string, std::string>> query = {
        {"moviehash", hash}, {"ai_translated", "include"}, {"machine_translated", "include"}};
    if (!languages.empty())
        query.emplace_back("languages", languages);
    std::string answer;
    if (!Exchange("GET", "/subtitles?" + OSRestQuery(query), "", &answer, failure))
        return false;
    *items = ParseOSRestSearch(answer);
    SortOSRestItems(*items);
    return true;
}

bool OSRestClient::RequestDownload(long long fileId, OSRestDownloadLink* link,
                                   OSRestFailure* failure) {
    std::string answer;
    if (!Exchange("POST", "/download", "{\"file_id\":" + std::to_string(fileId) + "}", &answer,
                  failure))
        return false;
    if (!ParseOSRestDownload(answer, link)) {
        failure->failed = true;
        failure->message = "OpenSubtitles.com gave no download link for this subtitle.";
        return false;
    }
    return true;
}

bool OSRestClient::FetchFile(const std::string& link, size_t limit, std::string* bytes,
                             OSRestFailure* failure) {
    // The link is the file server's, outside the API and its pace; it wants no key.
    HttpTransferRequest request;
    request.url = link;
    request.userAgent = config_.userAgent;
    request.http10 = false;
    request.maxBody = limit;
    HttpTransferResult result = HttpTransfer(request);
    std::cout << "\nSubDownloadLink: " << link << std::endl;
    if (result.cancelled) {
        failure->failed = failure->cancelled = true;
        return false;
    }
    if (!result.completed) {
        failure->failed = true;
        failure->message = "The subtitle file cannot be fetched (" + result.errorText + ").";
        return false;
    }
    if (result.status < 200 || result.status >= 300) {
        Fail(failure, result.status, result.body, result.header);
        return false;
    }
    if (result.truncated) {
        failure->failed = true;
        failure->message = "The subtitle file is too large to be a subtitle.";
        return false;
    }
    *bytes = std::move(result.body);
    return true;
}

bool OSRestClient::UserInfo(OSRestQuota* quota, OSRestFailure* failure) {
    std::string answer;
    if (!Exchange("GET", "/infos/user", "", &answer, failure))
        return false;
    if (!ParseOSRestUserInfo(answer, quota)) {
        failure->failed = true;
        failure->message = "OpenSubtitles.com gave no account details.";
        return false;
    }
    return true;
}

bool OSRestClient::CheckKey(OSRestFailure* failure) {
    std::string answer;
    return Exchange("GET", "/infos/formats", "", &answer, failure);
}

void ForgetOSRestSessions() {
    std::lock_guard<std::mutex> lock(gSessionsMutex);
    gSessions.clear();
}

void ResetOSRestPace() {
    ThePace().Reset();
}
