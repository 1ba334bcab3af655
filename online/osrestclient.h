#pragma once
// The exchanges with the OpenSubtitles.com REST API. Every request carries "Api-Key" and the
// configured "User-Agent"; after a login it carries "Authorization: Bearer <token>" and goes
// to the host the login answer named. A redirect is followed only to the host it came from,
// so none of them reaches another. The token is kept for the process (12 hours at most)
// for the same address, key and account, so a session logs in once; a kept token the service
// no longer takes gets one new login and the request again.
//
// The service allows 5 requests a second from one address: all clients of the process share
// one pace, and a request that would be the sixth within a second waits (a cancelled
// exchange stops waiting at once). Runs on the calling thread: call it from a worker.
#include "online/osrestapi.h"

#include <string>
#include <vector>

struct OSRestConfig {
    std::string apiUrl; // base address, e.g. https://api.opensubtitles.com/api/v1
    std::string apiKey;
    std::string userAgent;
    std::string login; // "" = no login: the anonymous quota
    std::string password;
};

// The configuration of this run: the [opensubtitles] settings and the account given.
OSRestConfig CurrentOSRestConfig(const std::string& login, const std::string& password);

// Why an exchange did not give what was asked.
struct OSRestFailure {
    bool failed = false;
    bool cancelled = false;
    long status = 0;     // HTTP status, 0 when no answer came
    std::string message; // for the user
    std::string reason;  // in one line, where the first line of the message would say less
    std::string resetTime;
};

class OSRestClient {
  public:
    explicit OSRestClient(OSRestConfig config);

    // Logs in when an account is given and no token is kept for it; true when there is
    // nothing to do or the login worked.
    bool EnsureSession(OSRestFailure* failure);
    // A fresh login (the options' Test button), whatever is kept.
    bool LogIn(OSRestLogin* answer, OSRestFailure* failure);
    // GET /subtitles by the movie's hash; `languages` "" = every language.
    bool Search(const std::string& hash, const std::string& languages,
                std::vector<OSRestItem>* items, OSRestFailure* failure);
    // POST /download for one file: its link and the quota left.
    bool RequestDownload(long long fileId, OSRestDownloadLink* link, OSRestFailure* failure);
    // The file behind a download link (at most `limit` bytes).
    bool FetchFile(const std::string& link, size_t limit, std::string* bytes,
                   OSRestFailure* failure);
    // GET /infos/user (needs the login).
    bool UserInfo(OSRestQuota* quota, OSRestFailure* failure);
    // GET /infos/formats: a request any valid key is answered.
    bool CheckKey(OSRestFailure* failure);

  private:
    bool Exchange(const std::string& method, const std::string& pathAndQuery,
                  const std::string& body, std::string* answer, OSRestFailure* failure);
    void Fail(OSRestFailure* failure, long status, const std::string& body,
              const std::string& header);

    OSRestConfig config_;
    std::string token_;
    bool keptToken_ = false; // token_ is one an earlier client got
    std::string sessionUrl_;
};

// Forgets every kept token (tests; a changed account is a new key anyway).
void ForgetOSRestSessions();
// Forgets the requests already made, so a new test server starts with a fresh pace.
void ResetOSRestPace();
// The pace: at most this many requests within one second.
constexpr size_t kOSRestRequestsPerSecond = 5;
