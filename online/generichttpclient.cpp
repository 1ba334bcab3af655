#include "online/generichttpclient.h"

#include "online/httptransfer.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

struct GenericHTTPClient::Session {
    std::string agent;
};
struct GenericHTTPClient::Connection {
    std::string protocol;
    std::string host;
    uint16_t port = 80;
};
struct GenericHTTPClient::Answer {
    HttpTransferResult result;
    size_t readPos = 0;
};

namespace {
// The error recorded when a step is called out of order (no connection, no answer).
constexpr uint32_t kErrorInvalidHandle = 6;

void CopyCut(char* destination, size_t capacity, const char* source) {
    if (capacity == 0)
        return;
    size_t n = std::min(std::strlen(source), capacity - 1);
    std::memcpy(destination, source, n);
    destination[n] = '\0';
}

struct MediaType {
    const char* extension;
    const char* type;
};
const MediaType kMediaTypes[] = {
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".jpe", "image/jpeg"},
    {".png", "image/png"},
    {".gif", "image/gif"},
    {".bmp", "image/bmp"},
    {".tif", "image/tiff"},
    {".tiff", "image/tiff"},
    {".ico", "image/x-icon"},
    {".txt", "text/plain"},
    {".srt", "text/plain"},
    {".sub", "text/plain"},
    {".htm", "text/html"},
    {".html", "text/html"},
    {".xml", "text/xml"},
    {".css", "text/css"},
    {".zip", "application/x-zip-compressed"},
    {".gz", "application/x-gzip"},
    {".7z", "application/x-7z-compressed"},
    {".rar", "application/x-rar-compressed"},
    {".pdf", "application/pdf"},
    {".avi", "video/avi"},
    {".mpg", "video/mpeg"},
    {".mpeg", "video/mpeg"},
    {".mp4", "video/mp4"},
    {".mkv", "video/x-matroska"},
    {".wmv", "video/x-ms-wmv"},
    {".mp3", "audio/mpeg"},
    {".wav", "audio/wav"},
    {".ogg", "audio/ogg"},
};
} // namespace

FILE* createFileNOD32(const char* path) {
    return std::fopen(path, "rb");
}

GenericHTTPClient::GenericHTTPClient()
    : m_hOpen(nullptr), m_hConnection(nullptr), m_hRequest(nullptr), m_dwError(0) {
    std::memset(m_szResponseBody, 0, sizeof m_szResponseBody);
    std::memset(m_szResponseHeader, 0, sizeof m_szResponseHeader);
}

GenericHTTPClient::~GenericHTTPClient() {
    Close();
}

int GenericHTTPClient::Request(const char* url, int method, const char* agent) {
    char protocol[__SIZE_BUFFER] = {};
    char host[__SIZE_BUFFER] = {};
    char uri[__SIZE_BUFFER] = {};
    int port = 0;
    ParseURL(url, protocol, sizeof protocol, host, sizeof host, uri, sizeof uri, &port);
    if (!Connect(host, agent, uint16_t(port), "", ""))
        return 0;
    m_hConnection->protocol = protocol;
    int ok = 0;
    if (RequestOfURI(uri, method)) {
        int length = 0;
        ok = Response(m_szResponseHeader, __SIZE_HTTP_RESPONSE_BUFFER, m_szResponseBody,
                      __SIZE_HTTP_BUFFER, &length);
    }
    Close();
    return ok;
}

int GenericHTTPClient::Connect(const char* host, const char* agent, uint16_t port, const char*,
                               const char*) {
    Close();
    m_hOpen = new Session{agent != nullptr ? agent : ""};
    m_hConnection = new Connection{"http", host != nullptr ? host : "", port};
    return 1;
}

int GenericHTTPClient::Close() {
    delete m_hRequest;
    delete m_hConnection;
    delete m_hOpen;
    m_hRequest = nullptr;
    m_hConnection = nullptr;
    m_hOpen = nullptr;
    return 1;
}

int GenericHTTPClient::RequestOfURI(const char* uri, int method) {
    switch (method) {
    case RequestPostMethod:
        return RequestPost(uri);
    case RequestPostMethodMultiPartsFormData:
        return RequestPostMultiPartsFormData(uri);
    default:
        return RequestGet(uri);
    }
}

int GenericHTTPClient::Send(const char* uri, const std::string& method,
                            std::vector<std::string> headers, std::string body) {
    if (m_hOpen == nullptr || m_hConnection == nullptr) {
        m_dwError = kErrorInvalidHandle;
        return 0;
    }
    HttpTransferRequest request;
    request.url = m_hConnection->protocol + "://" + m_hConnection->host + ":" +
                  std::to_string(m_hConnection->port) + (*uri != '\0' ? uri : "/");
    request.method = method;
    request.userAgent = m_hOpen->agent;
    headers.insert(headers.begin(), "Accept: */*");
    request.headers = std::move(headers);
    request.body = std::move(body);
    request.maxBody = __SIZE_HTTP_BUFFER;
    delete m_hRequest;
    m_hRequest = new Answer{HttpTransfer(request), 0};
    if (!m_hRequest->result.completed) {
        m_dwError = uint32_t(m_hRequest->result.error);
        return 0;
    }
    return 1;
}

int GenericHTTPClient::RequestGet(const char* uri) {
    return Send(uri, "GET", {}, "");
}

int GenericHTTPClient::RequestPost(const char* uri) {
    char body[__SIZE_BUFFER];
    int length = GetPostArguments(body, sizeof body);
    return Send(uri, "POST", {"Content-Type: application/x-www-form-urlencoded"},
                std::string(body, size_t(length)));
}

int GenericHTTPClient::RequestPostMultiPartsFormData(const char* uri) {
    char* buffer = nullptr;
    int length = AllocMultiPartsFormData(&buffer, kBoundary);
    std::string body(buffer, size_t(length));
    FreeMultiPartsFormData(&buffer);
    return Send(uri, "POST",
                {std::string("Content-Type: multipart/form-data; boundary=") + kBoundary,
                 "Content-Length: " + std::to_string(length)},
                std::move(body));
}

int GenericHTTPClient::ResponseOfBytes(char* buffer, int capacity) {
    if (capacity <= 0)
        return 0;
    std::memset(buffer, 0, size_t(capacity));
    if (m_hRequest == nullptr)
        return 0;
    const std::string& body = m_hRequest->result.body;
    size_t n = std::min(body.size() - m_hRequest->readPos, size_t(capacity));
    std::memcpy(buffer, body.data() + m_hRequest->readPos, n);
    m_hRequest->readPos += n;
    return int(n);
}

int GenericHTTPClient::Response(char* header, int headerCapacity, char* body, int bodyCapacity,
                                int* length) {
    if (m_hRequest == nullptr) {
        m_dwError = kErrorInvalidHandle;
        return 0;
    }
    std::memset(body, 0, size_t(bodyCapacity));
    *length = 0;
    char chunk[__SIZE_BUFFER];
    while (*length < bodyCapacity) {
        int n = ResponseOfBytes(chunk, sizeof chunk);
        if (n <= 0)
            break;
        int take = std::min(n, bodyCapacity - *length);
        std::memcpy(body + *length, chunk, size_t(take));
        *length += take;
    }
    std::memset(header, 0, size_t(headerCapacity));
    const std::string& raw = m_hRequest->result.header;
    std::memcpy(header, raw.data(), std::min(raw.size(), size_t(std::max(headerCapacity - 1, 0))));
    m_dwBodyLength = *length;
    return *length > 0 ? 1 : 0;
}

void GenericHTTPClient::AddPostArguments(const char* name, const char* value, bool binary) {
    __GENERIC_HTTP_ARGUMENT argument{};
    CopyCut(argument.name, sizeof argument.name, name);
    CopyCut(argument.value, sizeof argument.value, value);
    argument.type = binary ? TypeBinary : TypeNormal;
    m_vArguments.push_back(argument);
}

void GenericHTTPClient::AddPostArguments(const char* name, uint32_t value) {
    AddPostArguments(name, std::to_string(int(value)).c_str(), false);
}

void GenericHTTPClient::InitilizePostArguments() {
    m_vArguments.clear();
}

int GenericHTTPClient::GetPostArguments(char* destination, int capacity) {
    if (capacity <= 0)
        return 0;
    std::string body;
    for (size_t i = 0; i < m_vArguments.size(); ++i) {
        if (i > 0)
            body += '&';
        body += m_vArguments[i].name;
        body += '=';
        body += m_vArguments[i].value;
    }
    std::memset(destination, 0, size_t(capacity));
    CopyCut(destination, size_t(capacity), body.c_str());
    return int(std::strlen(destination));
}

int GenericHTTPClient::GetMultiPartsFormDataLength() {
    long long total = 0;
    for (const auto& argument : m_vArguments) {
        if (argument.type == TypeBinary) {
            long long size = 0;
            if (FILE* f = createFileNOD32(argument.value)) {
                if (std::fseek(f, 0, SEEK_END) == 0)
                    size = std::max(0L, std::ftell(f));
                std::fclose(f);
            }
            total += size + 6144;
        } else {
            total += 8192;
        }
    }
    return int(std::min<long long>(total, INT32_MAX));
}

int GenericHTTPClient::AllocMultiPartsFormData(char** buffer, const char* boundary) {
    FreeMultiPartsFormData(buffer);
    std::string body;
    for (const auto& argument : m_vArguments) {
        if (argument.type == TypeBinary) {
            body += std::string("--") + boundary + "\r\nContent-Disposition: form-data; name=\"" +
                    argument.name + "\"; filename=\"" + argument.value +
                    "\"\r\nContent-Type: " + GetContentType(argument.value) + "\r\n\r\n";
            // A file that cannot be opened contributes its head and the closing CR LF only.
            if (FILE* f = createFileNOD32(argument.value)) {
                char chunk[__SIZE_BUFFER];
                size_t n;
                while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
                    body.append(chunk, n);
                std::fclose(f);
            }
            body += "\r\n";
        } else {
            body += std::string("--") + boundary + "\r\nContent-Disposition: form-data; name=\"" +
                    argument.name + "\"\r\n\r\n" + argument.value + "\r\n";
        }
    }
    body += std::string("--") + boundary + "--\r\n";
    // The buffer fits what was read, even when a file grew since its size was taken.
    size_t capacity = std::max(size_t(GetMultiPartsFormDataLength()), body.size() + 1);
    *buffer = new char[capacity]();
    std::memcpy(*buffer, body.data(), body.size());
    return int(body.size());
}

char* GenericHTTPClient::FreeMultiPartsFormData(char** buffer) {
    if (*buffer != nullptr) {
        delete[] * buffer;
        *buffer = nullptr;
    }
    return *buffer;
}

const char* GenericHTTPClient::GetContentType(const char* fileName) {
    thread_local char szReturn[1024];
    const char* dot = std::strrchr(fileName, '.');
    const char* extension = dot != nullptr ? dot : fileName;
    CopyCut(szReturn, sizeof szReturn, "application/octet-stream");
    for (const MediaType& row : kMediaTypes)
        if (strcasecmp(row.extension, extension) == 0)
            CopyCut(szReturn, sizeof szReturn, row.type);
    return szReturn;
}

void GenericHTTPClient::ParseURL(const char* url, char* protocol, int protocolCapacity, char* host,
                                 int hostCapacity, char* request, int requestCapacity, int* port) {
    std::string u = url != nullptr ? url : "";
    std::string scheme = "http";
    size_t hostStart = 0;
    size_t colon = u.find(':');
    if (colon != std::string::npos && colon + 1 < u.size() && u[colon + 1] == '/') {
        scheme = u.substr(0, colon);
        hostStart = std::min(colon + 3, u.size());
    }
    size_t slash = u.find('/', hostStart);
    std::string hostPart =
        u.substr(hostStart, slash == std::string::npos ? std::string::npos : slash - hostStart);
    std::string path = slash == std::string::npos ? "" : u.substr(slash);
    size_t portColon = hostPart.find(':');
    if (portColon != std::string::npos) {
        *port = std::atoi(hostPart.c_str() + portColon + 1);
        hostPart.resize(portColon);
    } else {
        *port = scheme == "https" ? 443 : 80;
    }
    CopyCut(protocol, size_t(std::max(protocolCapacity, 0)), scheme.c_str());
    CopyCut(host, size_t(std::max(hostCapacity, 0)), hostPart.c_str());
    CopyCut(request, size_t(std::max(requestCapacity, 0)), path.c_str());
}
