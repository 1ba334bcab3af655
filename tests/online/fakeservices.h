#pragma once
// Local stand-ins for the subtitle services, speaking their protocols on 127.0.0.1, with
// the answers they give today (services.md): Napiprojekt's dl.php (7z, gzip, plain text,
// "NPc0"), and OpenSubtitles' XML-RPC (LogIn, SearchSubtitles) with .gz download links.
// Each checks what the program must send and keeps what it got.
#include "tests/online/httpfixture.h"

#include <map>
#include <string>
#include <vector>

// A 7z archive holding `name` with `text`, made now by `7zz a -p<password>`; "" on failure.
std::string Make7z(const std::string& name, const std::string& text, const std::string& password);
// gzip of `text` (zlib, one member).
std::string Gzip(const std::string& text);
// A subtitle of at least `size` bytes in MicroDVD frames with Polish letters (CP1250).
std::string SampleSubtitle(size_t size, const std::string& tag);

class FakeNapiprojekt {
  public:
    FakeNapiprojekt();
    // The answer for fingerprint `md5` (anything else gets "NPc0").
    void Answer(const std::string& md5, const std::string& body);
    std::string url() const { return server_.url(); }
    std::vector<RecordedRequest> Requests() const { return server_.Requests(); }
    // What was wrong with the requests ("" when each was exactly as the service expects).
    std::string Complaints() const;

  private:
    TestHttpServer server_;
    std::map<std::string, std::string> answers_;
    mutable std::mutex mutex_;
    std::vector<std::string> complaints_;
};

struct FakeSubtitle {
    std::string language;   // ISO639 ("pl")
    std::string languageId; // SubLanguageID ("pol")
    std::string fileName;
    std::string text; // served gzip-compressed from the download link
    std::string imdb = "0133093";
    bool gone = false; // the link answers 404
};

class FakeOpenSubtitles {
  public:
    FakeOpenSubtitles();
    // Results of SearchSubtitles for the movie hash.
    void Results(const std::string& hash, std::vector<FakeSubtitle> results);
    // The token the LogIn answer carries ("" answers without one).
    void Token(const std::string& token) { token_ = token; }
    std::string url() const { return server_.url(); }
    std::vector<RecordedRequest> Requests() const { return server_.Requests(); }
    std::string Complaints() const;
    // The address under which result `i` of `hash` is served.
    std::string LinkOf(const std::string& hash, size_t i) const;

  private:
    std::string Search(const std::string& body);
    TestHttpServer server_;
    std::map<std::string, std::vector<FakeSubtitle>> results_;
    std::string token_ = "tok3n";
    mutable std::mutex mutex_;
    std::vector<std::string> complaints_;
};
