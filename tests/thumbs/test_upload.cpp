// The sheet's upload to local image hosts: the multipart body, both kinds of answer, the link
// on the clipboard, the messages, and the statistics request only when one is configured.
#include "online/generichttpclient.h"
#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "tests/online/httpfixture.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"
#include "tests/thumbs/cwd.h"
#include "thumbs/upload.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {
class Upload : public ::testing::Test {
  protected:
    void SetUp() override {
        SetProgramFolder(program_.path() + "/");
        SetWindowPort(&port_);
        WriteFile(work_.file("film & co.avi"), std::string(200000, 'm'));
        Mp1.movieFile = work_.file("film & co.avi");
        sheet_ = work_.file("film & co.avi.s.jpg");
        WriteFile(sheet_, std::string("\xff\xd8\xff\xe0 sheet bytes \0 and more", 28));
    }
    void TearDown() override {
        SetWindowPort(nullptr);
        SetProgramFolder("");
        Mp1.movieFile.clear();
        unsetenv("QUORVAN_IMAGEHOST_URL");
        unsetenv("QUORVAN_STATS_URL");
    }
    // A host that keeps the raw request and answers `answer` as the body.
    void Host(const std::string& answer) {
        host_ = std::make_unique<SilentServer>(
            SilentServer::Answer, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + answer);
        setenv("QUORVAN_IMAGEHOST_URL", host_->url().c_str(), 1);
    }
    std::string Raw() {
        WaitUntil([&] { return !host_->Raw().empty(); }, 5000);
        return host_->Raw().empty() ? "" : host_->Raw()[0];
    }
    std::string Body() {
        std::string raw = Raw();
        size_t end = raw.find("\r\n\r\n");
        return end == std::string::npos ? "" : raw.substr(end + 4);
    }
    TempDir program_, work_;
    RecorderPort port_;
    std::unique_ptr<SilentServer> host_;
    std::string sheet_;
};
} // namespace

TEST_F(Upload, TheSheetGoesAsTheImgFieldAndTheLinkOfTheLastUrlCodeLandsOnTheClipboard) {
    Host("<html>[url=http://img.example/old][img]t[/img][/url]<br>"
         "[url=http://img.example/i/abc.jpg][img]t[/img][/url]</html>");
    Cwd cwd(work_.path());
    SendFileToStooorage_T(nullptr);
    std::string raw = Raw();
    EXPECT_EQ(raw.rfind("POST / HTTP/1.0\r\n", 0), 0u) << raw;
    EXPECT_NE(raw.find("\r\nUser-Agent: DOZIDA(0.9/;p)\r\n"), std::string::npos);
    std::string boundary = GenericHTTPClient::kBoundary;
    EXPECT_EQ(Body(), "--" + boundary +
                          "\r\nContent-Disposition: form-data; name=\"img\"; filename=\"" + sheet_ +
                          "\"\r\nContent-Type: image/jpeg\r\n\r\n" + ReadFile(sheet_) + "\r\n--" +
                          boundary + "--\r\n");
    EXPECT_TRUE(port_.Has("clipboard-text:http://img.example/i/abc.jpg"));
    EXPECT_TRUE(port_.Has("message:Link in clippoard:http://img.example/i/abc.jpg"));
    EXPECT_EQ(host_->accepted(), 1); // no statistics server: nothing reported
}

TEST_F(Upload, AShippedProfileSendsItsFieldsAndABareAddressIsTheLink) {
    std::filesystem::create_directories(program_.file("imagehosts"));
    std::filesystem::copy_file(SourceDir() + "/resources/imagehosts/catbox.ini",
                               program_.file("imagehosts/catbox.ini"));
    WriteFile(program_.file("QuorvanPlayer.ini"), "[imagehost]\nProfile=catbox\n");
    ImageHostProfile shipped = CurrentImageHost();
    EXPECT_EQ(shipped.url, "https://catbox.moe/user/api.php");

    TestHttpServer stats;
    stats.server().Get("/saveinfothumb.php", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("ok", "text/plain");
    });
    stats.Start();
    setenv("QUORVAN_STATS_URL", stats.url().c_str(), 1);
    Host("https://files.example/a&b.jpg\n");
    SendFileToStooorage2(sheet_);
    std::string body = Body();
    EXPECT_NE(body.find("name=\"reqtype\"\r\n\r\nfileupload\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("name=\"fileToUpload\"; filename=\""), std::string::npos);
    EXPECT_TRUE(port_.Has("clipboard-text:https://files.example/a&b.jpg"));

    ASSERT_TRUE(stats.WaitForRequests(1, 5000));
    std::string target = stats.Requests()[0].target;
    EXPECT_EQ(target.rfind("/saveinfothumb.php?v=9.37&stooorage=https://files.example/a%26b.jpg"
                           "&filename=film%20%26%20co.avi&np=",
                           0),
              0u)
        << target;
    EXPECT_NE(target.find("&filesize=200000&ni="), std::string::npos);
    EXPECT_EQ(stats.Requests()[0].Header("User-Agent"), "DOZIDA(0.9/;p)");
}

TEST_F(Upload, AnAnswerWithoutALinkOrADeadHostIsReported) {
    Host("<p>[url=http://x] and [url=broken</p>");
    SendFileToStooorage2(sheet_);
    std::string box = port_.WaitForPrefix("message:CTRL+C - copy to clippoard:", 5000);
    EXPECT_EQ(box.find("ERROR find.\nMayby in this html is link to Your screenshots.\n"),
              std::string("message:CTRL+C - copy to clippoard:").size());
    EXPECT_NE(box.find("[url=broken</p>"), std::string::npos);
    EXPECT_EQ(box.find("clipboard-text"), std::string::npos);

    // Ten characters are not a link; eleven are.
    port_.Clear();
    EXPECT_EQ(findstoooragelink("[url=0123456789]"), "0123456789");
    host_.reset();
    setenv("QUORVAN_IMAGEHOST_URL", "http://127.0.0.1:9", 1);
    SendFileToStooorage2(sheet_);
    EXPECT_EQ(port_.Events().size(), 1u);
    EXPECT_EQ(port_.Events()[0].rfind("message:ERROR:", 0), 0u);

    port_.Clear();
    unsetenv("QUORVAN_IMAGEHOST_URL");
    SendFileToStooorage2(sheet_);
    EXPECT_EQ(port_.WaitForPrefix("message:ERROR:No image host is chosen", 100).empty(), false);
}

TEST_F(Upload, TenCharactersAreNoLinkElevenAre) {
    Host("[url=0123456789]");
    SendFileToStooorage2(sheet_);
    EXPECT_FALSE(port_.WaitForPrefix("message:CTRL+C - copy to clippoard:", 5000).empty());
    EXPECT_FALSE(port_.Has("clipboard-text:0123456789"));
}

TEST_F(Upload, ElevenCharactersAreALink) {
    Host("[url=0123456789a]");
    SendFileToStooorage2(sheet_);
    EXPECT_TRUE(port_.Has("clipboard-text:0123456789a"));
}
