// GenericHTTPClient against local servers: the exact bytes of each request, the answer
// buffers, and what a dead, closing or stalling server gives (a bounded wait, an at-once
// Cancel).
#include "online/cancel.h"
#include "online/generichttpclient.h"
#include "online/httptransfer.h"
#include "tests/online/httpfixture.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {
const char* kAnswer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nX-Test: 1\r\n\r\nhello";

struct UrlCase {
    const char* url;
    const char* protocol;
    const char* host;
    int port;
    const char* path;
};

TEST(GenericHTTPClient, ParseURLSplitsSchemeHostPortAndPath) {
    const UrlCase cases[] = {
        {"http://www.example.org/a/b.php?x=1&y=2", "http", "www.example.org", 80,
         "/a/b.php?x=1&y=2"},
        {"example.org:8080/up/load", "http", "example.org", 8080, "/up/load"},
        {"https://secure.example.org/x", "https", "secure.example.org", 443, "/x"},
        {"http://example.org", "http", "example.org", 80, ""},
        {"https://127.0.0.1:9999/", "https", "127.0.0.1", 9999, "/"},
        {"example.org/q?t=a:b", "http", "example.org", 80, "/q?t=a:b"},
    };
    for (const UrlCase& c : cases) {
        char protocol[1024], host[1024], path[1024];
        int port = -1;
        GenericHTTPClient::ParseURL(c.url, protocol, sizeof protocol, host, sizeof host, path,
                                    sizeof path, &port);
        EXPECT_STREQ(protocol, c.protocol) << c.url;
        EXPECT_STREQ(host, c.host) << c.url;
        EXPECT_EQ(port, c.port) << c.url;
        EXPECT_STREQ(path, c.path) << c.url;
    }
    char small[8], host[4], path[1024];
    int port = 0;
    GenericHTTPClient::ParseURL("http://a-very-long-host-name/p", small, sizeof small, host,
                                sizeof host, path, sizeof path, &port);
    EXPECT_STREQ(host, "a-v"); // cut to its buffer, never past it
}

TEST(GenericHTTPClient, EveryMethodCodeButTwoAndThreeSendsAnHttp10Get) {
    SilentServer server(SilentServer::Answer, kAnswer);
    for (int method : {0, 1, 4, -5}) {
        GenericHTTPClient http;
        ASSERT_EQ(
            http.Request((server.url() + "/dl.php?l=PL&f=abc").c_str(), method, "Agent\xA0X/1.0"),
            1)
            << method;
        EXPECT_STREQ(http.QueryHTTPResponse(), "hello");
        EXPECT_NE(std::string(http.QueryHTTPResponseHeader()).find("X-Test: 1\r\n"),
                  std::string::npos);
    }
    for (const std::string& raw : server.Raw()) {
        EXPECT_EQ(raw.rfind("GET /dl.php?l=PL&f=abc HTTP/1.0\r\n", 0), 0u) << raw;
        EXPECT_NE(raw.find("\r\nUser-Agent: Agent\xA0X/1.0\r\n"), std::string::npos);
        EXPECT_NE(raw.find("\r\nAccept: */*\r\n"), std::string::npos);
        EXPECT_EQ(raw.find("Content-Type"), std::string::npos);
    }
    EXPECT_EQ(server.Raw().size(), 4u);
}

TEST(GenericHTTPClient, FormPostSendsTheArgumentsJoinedAsTheyAre) {
    SilentServer server(SilentServer::Answer, kAnswer);
    GenericHTTPClient http;
    http.InitilizePostArguments();
    http.AddPostArguments("name", "a%20b");
    http.AddPostArguments("count", 42u);
    ASSERT_EQ(http.Request((server.url() + "/form").c_str(), 2, "A"), 1);
    GenericHTTPClient empty;
    ASSERT_EQ(empty.Request((server.url() + "/form").c_str(), 2, "A"), 1);

    std::string raw = server.Raw().at(0);
    EXPECT_EQ(raw.rfind("POST /form HTTP/1.0\r\n", 0), 0u);
    EXPECT_NE(raw.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
              std::string::npos);
    EXPECT_NE(raw.find("\r\nAccept: */*\r\n"), std::string::npos);
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), "name=a%20b&count=42");
    std::string none = server.Raw().at(1);
    EXPECT_EQ(none.substr(none.find("\r\n\r\n") + 4), "");
}

TEST(GenericHTTPClient, MultipartPostSendsTheFormByteForByteWithItsLength) {
    TempDir dir;
    std::string image = dir.file("sheet.jpg");
    const char raw[] = "\xFF\xD8\xFF\x00 binary\r\n--not a boundary";
    std::string bytes(raw, sizeof raw - 1);
    WriteFile(image, bytes);
    SilentServer server(SilentServer::Answer, kAnswer);
    GenericHTTPClient http;
    http.AddPostArguments("img", image.c_str(), true);
    http.AddPostArguments("note", "x");
    http.AddPostArguments("gone", dir.file("missing.png").c_str(), true);
    ASSERT_EQ(http.Request((server.url() + "/up").c_str(), 3, "A"), 1);

    std::string expected = "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"
                           "Content-Disposition: form-data; name=\"img\"; filename=\"" +
                           image + "\"\r\nContent-Type: image/jpeg\r\n\r\n" + bytes +
                           "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"
                           "Content-Disposition: form-data; name=\"note\"\r\n\r\nx\r\n"
                           "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"
                           "Content-Disposition: form-data; name=\"gone\"; filename=\"" +
                           dir.file("missing.png") +
                           "\"\r\nContent-Type: image/png\r\n\r\n\r\n"
                           "----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";
    std::string sent = server.Raw().at(0);
    EXPECT_EQ(sent.rfind("POST /up HTTP/1.0\r\n", 0), 0u);
    EXPECT_NE(sent.find("\r\nContent-Type: multipart/form-data; "
                        "boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"),
              std::string::npos);
    EXPECT_NE(sent.find("\r\nContent-Length: " + std::to_string(expected.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), expected);
}

TEST(GenericHTTPClient, AnswerBodiesAreCutAtTheBufferAndAnEmptyOneFails) {
    TestHttpServer server;
    std::string big(150000, 'b');
    big[99999] = 'E';
    server.server().Get("/big", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(big, "text/plain");
    });
    server.server().Get("/empty", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Empty", "yes");
    });
    server.Start();
    GenericHTTPClient http;
    ASSERT_EQ(http.Request((server.url() + "/big").c_str(), 1, "A"), 1);
    EXPECT_EQ(http.QueryHTTPResponseLength(), 100000);
    EXPECT_EQ(std::strlen(http.QueryHTTPResponse()), 100000u);
    EXPECT_EQ(http.QueryHTTPResponse()[99999], 'E');
    GenericHTTPClient empty;
    EXPECT_EQ(empty.Request((server.url() + "/empty").c_str(), 1, "A"), 0);
    EXPECT_NE(std::string(empty.QueryHTTPResponseHeader()).find("X-Empty: yes"), std::string::npos);
}

TEST(GenericHTTPClient, MediaTypesComeFromTheExtension) {
    EXPECT_STREQ(GenericHTTPClient::GetContentType("/a/b/Sheet.JPG"), "image/jpeg");
    EXPECT_STREQ(GenericHTTPClient::GetContentType("x.png"), "image/png");
    EXPECT_STREQ(GenericHTTPClient::GetContentType("README"), "application/octet-stream");
    EXPECT_STREQ(GenericHTTPClient::GetContentType("a.unknownext"), "application/octet-stream");
}

TEST(HttpTransfer, DeadClosingAndStallingServersEndInABoundedTime) {
    int deadPort;
    {
        SilentServer gone(SilentServer::Close);
        deadPort = gone.port();
    }
    GenericHTTPClient dead;
    EXPECT_EQ(dead.Request(("http://127.0.0.1:" + std::to_string(deadPort) + "/").c_str(), 1, "A"),
              0);
    EXPECT_NE(dead.GetLastError(), 0u);

    SilentServer closing(SilentServer::Close);
    GenericHTTPClient closed;
    EXPECT_EQ(closed.Request((closing.url() + "/x").c_str(), 1, "A"), 0);

    HttpTimeouts quick{1000, 1000};
    OverrideHttpTimeouts(&quick);
    SilentServer stall(SilentServer::Stall);
    auto start = std::chrono::steady_clock::now();
    GenericHTTPClient stalled;
    EXPECT_EQ(stalled.Request((stall.url() + "/x").c_str(), 1, "A"), 0);
    auto took = std::chrono::steady_clock::now() - start;
    OverrideHttpTimeouts(nullptr);
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(stalled.GetLastError(), 28u); // the time-out code
}

TEST(HttpTransfer, CancelEndsAStalledExchangeAtOnce) {
    SilentServer stall(SilentServer::Stall);
    // A loaded machine may hold a thread back once; the best of three attempts counts.
    auto best = std::chrono::steady_clock::duration::max();
    for (int attempt = 0; attempt < 3 && best >= std::chrono::milliseconds(100); ++attempt) {
        std::atomic<bool> cancel{false};
        auto done = std::async(std::launch::async, [&] {
            ScopedCancel scope(&cancel);
            HttpTransferRequest request;
            request.url = stall.url() + "/slow";
            return HttpTransfer(request);
        });
        ASSERT_TRUE(WaitUntil([&] { return stall.accepted() > attempt; }, 10000));
        auto start = std::chrono::steady_clock::now();
        cancel = true;
        ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        best = std::min(best, std::chrono::steady_clock::now() - start);
        HttpTransferResult result = done.get();
        EXPECT_TRUE(result.cancelled);
        EXPECT_FALSE(result.completed);
    }
    EXPECT_LT(best, std::chrono::milliseconds(100));
}
} // namespace
