#pragma once
// One HTTP exchange over libcurl, the transport under every request of the online code.
// The request goes out as given: the agent bytes as they are (the Napiprojekt agent holds
// 0xA0 bytes), only the header lines the caller lists besides Host (curl's own Accept and
// Content-Type are suppressed unless the caller names them), HTTP/1.0 by default. "https"
// URLs go over TLS, "http" stays plain. Redirects are followed (as the system's HTTP
// stack did), at most 5; a request that carries a key, a token or a password follows them
// only to its own host (sameHostRedirects).
//
// Every exchange has limits: a connect time-out and a total time-out, read from the
// settings file's section "servers" (keys "ConnectTimeout" and "Timeout", seconds; 10 and
// 60 by default), so a dead or stalling server never hangs anything. An exchange running
// under a ScopedCancel flag stops within 20 ms of the flag being raised.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct HttpTimeouts {
    long connectMs = 10000;
    long totalMs = 60000;
};

// The limits in force: the settings file's [servers] keys, else the defaults.
HttpTimeouts CurrentHttpTimeouts();
// Makes every later exchange use `timeouts` instead of the settings (tests); nullptr
// returns to the settings.
void OverrideHttpTimeouts(const HttpTimeouts* timeouts);

struct HttpTransferRequest {
    std::string url;
    std::string method = "GET";       // "GET" or "POST"
    std::string userAgent;            // empty: no User-Agent header at all
    std::vector<std::string> headers; // whole header lines, without CR LF
    std::string body;                 // sent with POST
    bool http10 = true;
    // Bytes kept of the answer's body; the rest is dropped and the transfer ends there.
    // 0 keeps everything.
    size_t maxBody = 0;
    // When set, body bytes are handed here instead of being kept; false stops the transfer.
    std::function<bool(const char* data, size_t size)> sink;
    // Redirects are followed only to the same host and port (http may become https there,
    // https never http): a redirect elsewhere ends the exchange unanswered, so headers and
    // body never reach another host.
    bool sameHostRedirects = false;
};

struct HttpTransferResult {
    bool completed = false; // an answer came (whatever its status)
    bool cancelled = false;
    bool timedOut = false;
    bool truncated = false; // the body reached maxBody
    int error = 0;          // the libcurl code of a failed exchange, 0 when completed
    long status = 0;        // HTTP status of the last answer
    std::string header;     // status line and header lines of the last answer, each with CR LF
    std::string body;
    std::string errorText;
    bool redirectRefused = false; // a redirect to another host was not followed
};

HttpTransferResult HttpTransfer(const HttpTransferRequest& request);
