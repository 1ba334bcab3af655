#pragma once
// The XML-RPC exchanges with the OpenSubtitles server: a POST of the request text to
// "<server>/xml-rpc", HTTP/1.0, agent "KTZ0008", "Accept: text/xml", no other header.
// They block the calling thread (bounded by the [servers] time-outs, cancellable): call
// them from a worker.
#include <string>

// The agent of the search and of the conversation's requests.
extern const char* const kOpenSubtitlesAgent;

// Posts `request`; the answer's text (at most `limit` bytes), "" when the server cannot be
// reached or gave no answer. `cancelled` (optional) says whether the exchange was cancelled.
std::string PostXmlRpc(const std::string& request, size_t limit, bool* cancelled = nullptr);

// The conversation's post: the answer cut at 199,800 bytes, "" on failure.
std::string SendHttpPost(const std::string& request);
std::string sendxml(const std::string& request);
