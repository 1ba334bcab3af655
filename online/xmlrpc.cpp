#include "online/xmlrpc.h"

#include "online/httptransfer.h"
#include "online/servers.h"
#include "platform/limits.h"

#include <iostream>

const char* const kOpenSubtitlesAgent = "KTZ0008";

std::string PostXmlRpc(const std::string& request, size_t limit, bool* cancelled) {
    HttpTransferRequest post;
    post.url = ServiceUrl(Service::OpenSubtitles) + "/xml-rpc";
    post.method = "POST";
    post.userAgent = kOpenSubtitlesAgent;
    post.headers = {"Accept: text/xml"};
    post.body = request;
    post.maxBody = limit;
    // The requests carry the account's name, password and token: they stay with the server.
    post.sameHostRedirects = true;
    HttpTransferResult answer = HttpTransfer(post);
    if (cancelled != nullptr)
        *cancelled = answer.cancelled;
    if (!answer.completed) {
        std::cout << "XML-RPC failed: " << answer.errorText << std::endl;
        return "";
    }
    // The answer is text: it ends at its first NUL byte, as the buffer it was read into did.
    return std::string(answer.body.c_str());
}

std::string SendHttpPost(const std::string& request) {
    return PostXmlRpc(request, kMaxXmlRpcAnswer);
}

std::string sendxml(const std::string& request) {
    return SendHttpPost(request);
}
