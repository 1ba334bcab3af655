#include "online/httptransfer.h"

#include "online/cancel.h"
#include "platform/profile.h"
#include "platform/statefolder.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <strings.h>

namespace {
constexpr int kPollMs = 20;

std::mutex gOverrideMutex;
bool gOverridden = false;
HttpTimeouts gOverride;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Collector {
    const HttpTransferRequest* request;
    HttpTransferResult* result;
    bool sinkRefused = false;
    bool follow = true; // curl follows redirects itself
    long status = 0;    // of the answer whose header is being read
    bool hasLocation = false;
};

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* c = static_cast<Collector*>(user);
    size_t n = size * count;
    // The page of a redirect we follow ourselves is no part of the answer.
    if (!c->follow && c->hasLocation && IsRedirect(c->status))
        return n;
    if (c->request->sink) {
        if (!c->request->sink(data, n)) {
            c->sinkRefused = true;
            return 0;
        }
        return n;
    }
    size_t limit = c->request->maxBody;
    if (limit == 0)
        c->result->body.append(data, n);
    else {
        size_t room = limit - c->result->body.size();
        c->result->body.append(data, n < room ? n : room);
        if (n >= room) {
            c->result->truncated = true;
            return 0; // full: the rest is dropped and the transfer ends here
        }
    }
    return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* c = static_cast<Collector*>(user);
    size_t n = size * count;
    // Each answer of a redirect chain starts again with its status line; the last one counts.
    if (n >= 5 && std::string(data, 5) == "HTTP/") {
        c->result->header.clear();
        std::string line(data, n);
        size_t blank = line.find(' ');
        c->status = blank == std::string::npos ? 0 : std::atol(line.c_str() + blank + 1);
        c->hasLocation = false;
    } else if (n >= 9 && strncasecmp(data, "Location:", 9) == 0) {
        c->hasLocation = true;
    }
    c->result->header.append(data, n);
    return n;
}

// Scheme, host and port of an absolute URL (the port filled in from the scheme).
struct Origin {
    std::string scheme, host;
    long port = 0;
    bool ok = false;
};

Origin OriginOf(const std::string& url) {
    Origin o;
    CURLU* u = curl_url();
    if (u == nullptr)
        return o;
    char *scheme = nullptr, *host = nullptr, *port = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        o.scheme = scheme;
        o.host = host;
        for (char& ch : o.host)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        o.port = std::atol(port);
        o.ok = true;
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(u);
    return o;
}

// The same host and port, or the same host's http turned into https on the standard ports.
bool SameHost(const std::string& from, const std::string& to) {
    Origin a = OriginOf(from), b = OriginOf(to);
    if (!a.ok || !b.ok || a.host != b.host)
        return false;
    if (a.scheme == b.scheme)
        return a.port == b.port;
    return a.scheme == "http" && b.scheme == "https" &&
           (a.port == b.port || (a.port == 80 && b.port == 443));
}

// Loopback never goes through a proxy, whatever the environment says about others.
std::string NoProxyList() {
    std::string list = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"})
        if (const char* v = std::getenv(name); v != nullptr && *v != '\0')
            return std::string(v) + "," + list;
    return list;
}

bool HasHeader(const std::vector<std::string>& headers, const char* name) {
    size_t len = std::char_traits<char>::length(name);
    for (const std::string& h : headers)
        if (h.size() >= len && strncasecmp(h.c_str(), name, len) == 0)
            return true;
    return false;
}
} // namespace

HttpTimeouts CurrentHttpTimeouts() {
    {
        std::lock_guard<std::mutex> lock(gOverrideMutex);
        if (gOverridden)
            return gOverride;
    }
    HttpTimeouts t;
    std::string file = SettingsFilePath();
    int connect = GetPrivateProfileIntA("servers", "ConnectTimeout", 10, file.c_str());
    int total = GetPrivateProfileIntA("servers", "Timeout", 60, file.c_str());
    // A zero or negative limit would mean "wait for ever" to libcurl: keep the defaults then.
    if (connect > 0)
        t.connectMs = long(connect) * 1000;
    if (total > 0)
        t.totalMs = long(total) * 1000;
    return t;
}

void OverrideHttpTimeouts(const HttpTimeouts* timeouts) {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    gOverridden = timeouts != nullptr;
    if (timeouts != nullptr)
        gOverride = *timeouts;
}

namespace {
// One exchange; with `follow` false a redirect's target is left in `location`.
HttpTransferResult Exchange(const HttpTransferRequest& request, bool follow,
                            const HttpTimeouts& limits, std::string* location) {
    HttpTransferResult result;
    Collector collector{&request, &result};
    collector.follow = follow;

    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (easy == nullptr || multi == nullptr) {
        result.error = CURLE_FAILED_INIT;
        result.errorText = "libcurl could not start";
        if (easy != nullptr)
            curl_easy_cleanup(easy);
        if (multi != nullptr)
            curl_multi_cleanup(multi);
        return result;
    }

    std::vector<std::string> lines = request.headers;
    // curl adds headers of its own; the caller's list is what goes out.
    if (!HasHeader(lines, "Accept:"))
        lines.push_back("Accept:");
    lines.push_back("Expect:");
    bool post = request.method == "POST";
    if (post && !HasHeader(lines, "Content-Type:"))
        lines.push_back("Content-Type:");
    curl_slist* headerList = nullptr;
    for (const std::string& line : lines)
        headerList = curl_slist_append(headerList, line.c_str());

    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::string noProxy = NoProxyList();
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    if (!request.userAgent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limits.totalMs);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &collector);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &collector);
    if (post) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    }

    curl_multi_add_handle(multi, easy);
    int running = 1;
    CURLcode code = CURLE_OK;
    while (running > 0) {
        if (CurrentExchangeCancelled()) {
            result.cancelled = true;
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        CURLMcode mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        if (running > 0)
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
    }
    if (!result.cancelled && code == CURLE_OK) {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left))
            if (msg->msg == CURLMSG_DONE)
                code = msg->data.result;
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
    char* redirect = nullptr;
    if (!follow && curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK &&
        redirect != nullptr)
        *location = redirect;
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headerList);

    if (code == CURLE_WRITE_ERROR && result.truncated)
        code = CURLE_OK;
    result.completed = code == CURLE_OK;
    result.error = int(code);
    result.timedOut = code == CURLE_OPERATION_TIMEDOUT;
    if (!result.completed)
        result.errorText = result.cancelled
                               ? "cancelled"
                               : (errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
    return result;
}
} // namespace

HttpTransferResult HttpTransfer(const HttpTransferRequest& request) {
    GlobalInit();
    HttpTimeouts limits = CurrentHttpTimeouts();
    std::string location;
    if (!request.sameHostRedirects)
        return Exchange(request, true, limits, &location);
    // Followed here, one hop at a time, so each target is checked before anything goes there.
    constexpr int kMaxRedirects = 5;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.totalMs);
    HttpTransferRequest hop = request;
    for (int redirects = 0;; ++redirects) {
        location.clear();
        HttpTransferResult result = Exchange(hop, false, limits, &location);
        if (!result.completed || !IsRedirect(result.status) || location.empty())
            return result;
        limits.totalMs = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count());
        bool elsewhere = !SameHost(hop.url, location);
        bool late = limits.totalMs <= 0; // 0 would mean no limit at all to curl
        if (elsewhere || late || redirects == kMaxRedirects) {
            result.completed = false;
            result.redirectRefused = elsewhere;
            result.timedOut = late && !elsewhere;
            result.error =
                int(result.timedOut ? CURLE_OPERATION_TIMEDOUT : CURLE_TOO_MANY_REDIRECTS);
            result.errorText = elsewhere ? "the server sent the request on to another host (" +
                                               location + "); it was not followed"
                               : late ? "timed out"
                                      : "too many redirects";
            result.body.clear();
            return result;
        }
        // As curl (and browsers) do: 303, and 301/302 after a POST, go on as a GET.
        if (result.status == 303 || (hop.method == "POST" && result.status <= 302)) {
            hop.method = "GET";
            hop.body.clear();
            std::erase_if(hop.headers, [](const std::string& h) {
                return strncasecmp(h.c_str(), "Content-Type:", 13) == 0;
            });
        }
        hop.url = location;
    }
}
