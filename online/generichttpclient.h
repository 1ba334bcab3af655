#pragma once
// GenericHTTPClient: one HTTP/1.0 request per object (GET, URL-encoded form POST or
// multipart POST), the answer kept in two fixed buffers inside the object.
//
// How to use it:
//     GenericHTTPClient http;                       // a fresh object for each exchange
//     http.InitilizePostArguments();                // for a POST:
//     http.AddPostArguments("img", "/path/sheet.jpg", true);   // a file field
//     http.AddPostArguments("reqtype", "fileupload");          // a text field
//     if (http.Request(url, GenericHTTPClient::RequestPostMethodMultiPartsFormData, agent))
//         use(http.QueryHTTPResponse());            // body (NUL-terminated, <= 100,000 bytes)
//     else
//         log(http.GetLastError());                 // libcurl code of the failing step
// Method codes: 1 GET, 2 form POST (values already URL-encoded by the caller), 3 multipart
// POST; anything else is a GET. An empty body counts as failure, as does a dead server.
//
// The exchange runs on the calling thread and blocks it: call it from a worker (see
// online/onlinetask.h), never from the window thread. It honours the connect and total
// time-outs of [servers] and the ScopedCancel flag of the thread (online/httptransfer.h);
// "https" URLs go over TLS. Requests on different threads may overlap (no shared state).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class GenericHTTPClient {
  public:
    enum RequestMethod {
        RequestUnknown = 0,
        RequestGetMethod = 1,
        RequestPostMethod = 2,
        RequestPostMethodMultiPartsFormData = 3,
    };
    enum TypePostArgument {
        TypeUnknown = 0,
        TypeNormal = 1,
        TypeBinary = 2,
    };
    static constexpr int __SIZE_HTTP_BUFFER = 100000;
    static constexpr int __SIZE_HTTP_RESPONSE_BUFFER = 100000;
    static constexpr int __SIZE_BUFFER = 1024;
    static constexpr const char* kBoundary = "--MULTI-PARTS-FORM-DATA-BOUNDARY";

    struct __GENERIC_HTTP_ARGUMENT {
        char name[256];
        char value[1024];
        int type;
    };

    GenericHTTPClient();
    virtual ~GenericHTTPClient();
    GenericHTTPClient(const GenericHTTPClient&) = delete;
    GenericHTTPClient& operator=(const GenericHTTPClient&) = delete;

    // The whole exchange: parse, connect, send, read, close. 1 when an answer with a
    // non-empty body came.
    int Request(const char* url, int method, const char* agent);

    int Connect(const char* host, const char* agent, uint16_t port, const char* user,
                const char* password);
    int Close();
    int RequestOfURI(const char* uri, int method);
    int RequestGet(const char* uri);
    int RequestPost(const char* uri);
    int RequestPostMultiPartsFormData(const char* uri);
    // Copies the answer into the buffers; 1 only for a non-empty body.
    int Response(char* header, int headerCapacity, char* body, int bodyCapacity, int* length);
    // One read of the answer into `buffer` (zero-filled first); 0 at the end.
    int ResponseOfBytes(char* buffer, int capacity);

    void AddPostArguments(const char* name, const char* value, bool binary = false);
    void AddPostArguments(const char* name, uint32_t value);
    void InitilizePostArguments();
    // name=value pairs joined by '&', at most capacity - 1 characters; the length.
    int GetPostArguments(char* destination, int capacity);
    // Builds the multipart body in a new buffer (*buffer, released first when set).
    int AllocMultiPartsFormData(char** buffer, const char* boundary);
    int GetMultiPartsFormDataLength();
    char* FreeMultiPartsFormData(char** buffer);

    // Media type by the file name's extension, "application/octet-stream" when unknown.
    // Points to a per-thread buffer that the next call on that thread overwrites.
    static const char* GetContentType(const char* fileName);
    // Splits a URL into scheme, host, port (443 for "https", else 80, unless given) and the
    // object path with its query. Each output is cut to its capacity.
    static void ParseURL(const char* url, char* protocol, int protocolCapacity, char* host,
                         int hostCapacity, char* request, int requestCapacity, int* port);
    static int GetMethod(int method) { return method > 0 ? method : 1; }
    static int GetPostArgumentType(int type) { return type > 0 ? type : 1; }

    const char* QueryHTTPResponseHeader() const { return m_szResponseHeader; }
    const char* QueryHTTPResponse() const { return m_szResponseBody; }
    // Length of the body in the buffer (it may hold NUL bytes).
    int QueryHTTPResponseLength() const { return m_dwBodyLength; }
    uint32_t GetLastError() const { return m_dwError; }

    std::vector<__GENERIC_HTTP_ARGUMENT> m_vArguments;
    // One byte more than the answer can hold, so the buffers always read as text.
    char m_szResponseBody[__SIZE_HTTP_BUFFER + 1];
    char m_szResponseHeader[__SIZE_HTTP_RESPONSE_BUFFER + 1];
    // The "handles": session (agent), connection (host and port), request (the answer).
    struct Session;
    struct Connection;
    struct Answer;
    Session* m_hOpen;
    Connection* m_hConnection;
    Answer* m_hRequest;
    uint32_t m_dwError;

  private:
    int Send(const char* uri, const std::string& method, std::vector<std::string> headers,
             std::string body);
    int m_dwBodyLength = 0;
};

// Opens an existing file for reading; nullptr when it cannot.
FILE* createFileNOD32(const char* path);
