#include "tests/online/fakeservices.h"

#include "online/napiprojekttoken.h"
#include "tests/online/xmlcheck.h"
#include "tests/support/testenv.h"

#include <zlib.h>

std::string Make7z(const std::string& name, const std::string& text, const std::string& password) {
    TempDir dir;
    WriteFile(dir.file(name), text);
    std::string out;
    int status =
        RunCommand({"7zz", "a", "-bd", "-p" + password, dir.file("a.7z"), dir.file(name)}, &out);
    return status == 0 ? ReadFile(dir.file("a.7z")) : "";
}

std::string Gzip(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(text.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string SampleSubtitle(size_t size, const std::string& tag) {
    // Numbers that do not repeat keep the archive as large as a real one.
    std::string text;
    uint32_t seed = uint32_t(size) * 2654435761u;
    for (int frame = 100; text.size() < size; frame += 50) {
        seed = seed * 1103515245u + 12345u;
        text += "{" + std::to_string(frame) + "}{" + std::to_string(frame + 40) + "}" + tag +
                " \xBF\xF3\xB3w \xB9 \xEA\x9C\x9F " + std::to_string(seed) + "|line " +
                std::to_string(seed % 977) + "\r\n";
    }
    return text;
}

FakeNapiprojekt::FakeNapiprojekt() {
    server_.server().Get(
        "/unit_napisy/dl.php", [this](const httplib::Request& req, httplib::Response& res) {
            std::string md5 = req.get_param_value("f");
            std::vector<std::string> wrong;
            auto expect = [&](bool ok, const std::string& what) {
                if (!ok)
                    wrong.push_back(what);
            };
            expect(req.version == "HTTP/1.0", "version " + req.version);
            expect(req.get_header_value("User-Agent") ==
                       "Mozilla/3.0\xA0(compatible;\xA0Indy\xA0Library)",
                   "agent " + req.get_header_value("User-Agent"));
            expect(req.get_header_value("Content-Type") == "text/html", "content type");
            // "Accept:" and its value are parted by the byte 0xA0, not a blank.
            expect(req.get_header_value("Accept") == "\xA0text/html,\xA0*/*",
                   "accept [" + req.get_header_value("Accept") + "]");
            std::string l = req.get_param_value("l");
            expect(l == "PL" || l == "ENG", "language " + l);
            expect(md5.size() == 32, "fingerprint " + md5);
            expect(req.get_param_value("t") == GeneratePseudoHashNapiprojekt(md5), "token");
            std::string expected = "/unit_napisy/dl.php?l=" + l + "&f=" + md5 +
                                   "&t=" + GeneratePseudoHashNapiprojekt(md5) +
                                   "&v=1.0.6.2&kolejka=false&nick=&pass=";
            expect(req.target == expected, "target " + req.target);
            std::string answer = "NPc0";
            {
                std::lock_guard<std::mutex> lock(mutex_);
                complaints_.insert(complaints_.end(), wrong.begin(), wrong.end());
                auto it = answers_.find(md5);
                if (it != answers_.end())
                    answer = it->second;
            }
            // The service labels every answer text/html, whatever it is.
            res.set_content(answer, "text/html");
        });
    server_.Start();
}

// The answers are set by the test while the server's threads read them (a request may be on
// its way): under the lock, since a socket is no ordering the race detector can see.
void FakeNapiprojekt::Answer(const std::string& md5, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[md5] = body;
}

std::string FakeNapiprojekt::Complaints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const std::string& c : complaints_)
        all += c + "\n";
    return all;
}

namespace {
std::string Member(const std::string& name, const std::string& value) {
    return "<member><name>" + name + "</name><value><string>" + value +
           "</string></value></member>\n";
}

} // namespace

FakeOpenSubtitles::FakeOpenSubtitles() {
    server_.server().Post("/xml-rpc", [this](const httplib::Request& req, httplib::Response& res) {
        std::vector<std::string> wrong;
        if (req.version != "HTTP/1.0")
            wrong.push_back("version " + req.version);
        if (req.get_header_value("User-Agent") != "KTZ0008")
            wrong.push_back("agent " + req.get_header_value("User-Agent"));
        if (req.get_header_value("Accept") != "text/xml")
            wrong.push_back("accept " + req.get_header_value("Accept"));
        if (req.has_header("Content-Type"))
            wrong.push_back("content type " + req.get_header_value("Content-Type"));
        // A server's XML parser refuses what is not well-formed.
        std::string problem = ParseXmlRpcCall(req.body).error;
        std::string answer;
        if (!problem.empty()) {
            wrong.push_back("not well-formed XML (" + problem + "):\n" + req.body);
            res.status = 400;
        } else if (req.body.find("<methodName>LogIn</methodName>") != std::string::npos) {
            answer = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<methodResponse><params><param>"
                     "<value><struct>\n" +
                     (token_.empty() ? "" : Member("token", token_)) +
                     Member("status", token_.empty() ? "401 Unauthorized" : "200 OK") +
                     "</struct></value></param></params></methodResponse>\n";
        } else if (req.body.find("<methodName>SearchSubtitles</methodName>") != std::string::npos) {
            answer = Search(req.body);
        } else {
            wrong.push_back("unknown method");
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            complaints_.insert(complaints_.end(), wrong.begin(), wrong.end());
        }
        if (problem.empty())
            res.set_content(answer, "text/xml");
    });
    server_.server().Get(R"(/download/(\d+)/(\d+)\.gz)", [this](const httplib::Request& req,
                                                                httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t h = std::stoul(req.matches[1]), i = std::stoul(req.matches[2]);
        if (h < results_.size()) {
            auto it = std::next(results_.begin(), long(h));
            if (i < it->second.size() && !it->second[i].gone) {
                res.set_content(Gzip(it->second[i].text), "application/x-gzip");
                return;
            }
        }
        res.status = 404;
    });
    server_.Start();
}

void FakeOpenSubtitles::Results(const std::string& hash, std::vector<FakeSubtitle> results) {
    std::lock_guard<std::mutex> lock(mutex_);
    results_[hash] = std::move(results);
}

std::string FakeOpenSubtitles::LinkOf(const std::string& hash, size_t i) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = results_.find(hash);
    long index = it == results_.end() ? 999 : std::distance(results_.begin(), it);
    return server_.url() + "/download/" + std::to_string(index) + "/" + std::to_string(i) + ".gz";
}

std::string FakeOpenSubtitles::Search(const std::string& body) {
    // The request exactly as the program has always sent it, line for line.
    std::string size = Between(body, "<name>moviebytesize</name>\n<value><string>", "</string>");
    std::string language =
        Between(body, "<name>sublanguageid</name>\n<value><string>", "</string>");
    std::string hash = Between(body, "<name>moviehash</name>\n<value><string>", "</string>");
    std::string expected =
        "<?xml version='1.0'?>\n<methodCall>\n<methodName>SearchSubtitles</methodName>\n"
        "<params>\n<param>\n<value><string></string></value>\n</param>\n<param>\n"
        "<value><array><data>\n<value><struct>\n<member>\n<name>moviebytesize</name>\n"
        "<value><string>" +
        size +
        "</string></value>\n</member>\n<member>\n<name>sublanguageid</name>\n"
        "<value><string>" +
        language +
        "</string></value>\n</member>\n<member>\n<name>moviehash</name>\n"
        "<value><string>" +
        hash +
        "</string></value>\n</member>\n</struct></value>\n</data></array></value>\n"
        "</param>\n</params>\n</methodCall>\n";
    std::vector<FakeSubtitle> found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (body != expected)
            complaints_.push_back("search body:\n" + body);
        if (hash.size() != 16 || size.empty() || size == "0")
            complaints_.push_back("hash " + hash + " size " + size);
        auto it = results_.find(hash);
        if (it != results_.end())
            for (const FakeSubtitle& s : it->second)
                if (language == "all" || language == s.languageId)
                    found.push_back(s);
    }
    std::string data;
    for (size_t i = 0; i < found.size(); ++i) {
        size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto& all = results_[hash];
            for (size_t k = 0; k < all.size(); ++k)
                if (all[k].fileName == found[i].fileName)
                    index = k;
        }
        // The members in the order the service gives them: the hash before the rest.
        data += "<value><struct>\n" + Member("MatchedBy", "moviehash") +
                Member("IDSubMovieFile", std::to_string(500 + i)) + Member("MovieHash", hash) +
                Member("MovieByteSize", size) + Member("IDSubtitleFile", std::to_string(1000 + i)) +
                Member("SubFileName", found[i].fileName) + Member("IDMovieImdb", found[i].imdb) +
                Member("SubLanguageID", found[i].languageId) + Member("ISO639", found[i].language) +
                Member("SubDownloadLink", LinkOf(hash, index)) + "</struct></value>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<methodResponse>\n<params>\n<param>\n"
           "<value><struct>\n<member><name>status</name><value><string>200 OK</string></value>"
           "</member>\n<member><name>data</name><value>" +
           (found.empty() ? std::string("<boolean>0</boolean>")
                          : "<array><data>\n" + data + "</data></array>") +
           "</value></member>\n</struct></value>\n</param>\n</params>\n</methodResponse>\n";
}

std::string FakeOpenSubtitles::Complaints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const std::string& c : complaints_)
        all += c + "\n";
    return all;
}
