#pragma once
// A local OpenSubtitles XML-RPC server for the upload: it rebuilds every request from the
// templates filled with the values it expects (complaining about any difference), inflates
// the subtitle and the sample it is sent to compare them with the file's bytes, and answers
// LogIn, TryUploadSubtitles, SearchMoviesOnIMDB, DetectLanguage and UploadSubtitles.
#include "online/osupload.h"
#include "tests/online/httpfixture.h"
#include "tests/online/xmlcheck.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>
#include <zlib.h>

inline std::string StringMember(const std::string& body, const std::string& name) {
    return Between(body, "<name>" + name + "</name><value><string>", "</string>");
}

inline std::string Unbase64(const std::string& text) {
    std::string out;
    int bits = 0;
    uint32_t value = 0;
    for (char c : text) {
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = c == '=' ? nullptr : std::strchr(alphabet, c);
        if (at == nullptr || c == 0)
            break;
        value = value << 6 | uint32_t(at - alphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((value >> bits) & 0xff);
        }
    }
    return out;
}

inline std::string Inflate(const std::string& packed, size_t expected) {
    std::string out(expected + 16, '\0');
    uLongf size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK)
        return "<not zlib>";
    out.resize(size);
    return out;
}

inline std::string UpMember(const std::string& name, const std::string& value,
                            const char* type = "string") {
    return "<member><name>" + name + "</name><value><" + type + ">" + value + "</" + type +
           "></value></member>\n";
}

inline std::string UpAnswer(const std::string& members) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<methodResponse><params><param><value>"
           "<struct>\n" +
           members + "</struct></value></param></params></methodResponse>\n";
}

// What the server expects to be sent and how it answers.
struct UploadExpectation {
    OShelpFunctions values; // every placeholder's expected value but subcontent and text
    std::string subtitle;   // the subtitle's bytes
    std::string token = "T0k3n";
    std::string alreadyindb = "0";
    std::string imdbInTry = "0133093";
    std::vector<std::string> ids, titles;
    bool languageMember = true;
    bool anyAccount = false; // the LogIn may carry any user name and password
    std::string link = "http://www.opensubtitles.org/subtitles/123";
    std::string status = "200 OK";
};

class FakeUploadServer {
  public:
    FakeUploadServer() {
        server_.server().Post(
            "/xml-rpc", [this](const httplib::Request& req, httplib::Response& res) {
                std::lock_guard<std::mutex> lock(mutex_);
                // A server's XML parser refuses what is not well-formed.
                std::string problem = ParseXmlRpcCall(req.body).error;
                if (!problem.empty()) {
                    complaints_.push_back("not well-formed XML (" + problem + "):\n" + req.body);
                    res.status = 400;
                    return;
                }
                res.set_content(Handle(req), "text/xml");
            });
        server_.Start();
    }
    std::string url() const { return server_.url(); }
    void Expect(const UploadExpectation& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        e_ = e;
    }
    std::vector<std::string> Methods() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return methods_;
    }
    std::string Complaints() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string all;
        for (const std::string& c : complaints_)
            all += c + "\n";
        return all;
    }
    // The request bodies, in the order they came (kept before each answer is sent).
    std::vector<std::string> Bodies() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bodies_;
    }

  private:
    void Check(const std::string& method, const std::string& body, const char* templ,
               OShelpFunctions values) {
        std::string expected = templ;
        values.fill(expected);
        if (body != expected)
            complaints_.push_back(method + " body differs:\n" + body + "\nexpected:\n" + expected);
    }

    std::string Handle(const httplib::Request& req) {
        const std::string& body = req.body;
        std::string method = Between(body, "<methodName>", "</methodName>");
        methods_.push_back(method);
        bodies_.push_back(body);
        if (req.version != "HTTP/1.0" || req.get_header_value("User-Agent") != "KTZ0008" ||
            req.get_header_value("Accept") != "text/xml")
            complaints_.push_back(method + ": headers");
        OShelpFunctions v = e_.values;
        v.token = e_.token;
        if (method == "LogIn") {
            if (e_.anyAccount) {
                XmlRpcCall call = ParseXmlRpcCall(body);
                call.params.resize(2);
                v.login = call.params[0];
                v.pass = call.params[1];
            }
            Check(method, body, _LogIn, v);
            return UpAnswer((e_.token.empty() ? "" : UpMember("token", e_.token)) +
                            UpMember("status", "200 OK"));
        }
        if (method == "TryUploadSubtitles") {
            Check(method, body, TrayUploadSubs, v);
            return UpAnswer(UpMember("alreadyindb", e_.alreadyindb, "int") +
                            (e_.imdbInTry.empty() ? "" : UpMember("IDMovieImdb", e_.imdbInTry)));
        }
        if (method == "SearchMoviesOnIMDB") {
            Check(method, body, _SearchMoviesOnIMDB, v);
            std::string data;
            for (const std::string& id : e_.ids)
                data += UpMember("id", id);
            for (const std::string& title : e_.titles)
                data += UpMember("title", title);
            return UpAnswer(data);
        }
        if (method == "DetectLanguage") {
            std::string sample = e_.subtitle.substr(0, 4096);
            v.text = Between(body, "<struct><value><string>", "</string>");
            if (Inflate(Unbase64(v.text), sample.size()) != sample)
                complaints_.push_back("the sample is not the subtitle's first 4096 bytes");
            Check(method, body, _DetectLanguage, v);
            return UpAnswer(e_.languageMember ? UpMember(v.sampleHash, "pol")
                                              : UpMember("other", "eng"));
        }
        if (method == "UploadSubtitles") {
            v.subcontent = StringMember(body, "subcontent");
            if (Inflate(Unbase64(v.subcontent), e_.subtitle.size()) != e_.subtitle)
                complaints_.push_back("subcontent is not the subtitle");
            Check(method, body, _UpdateSubs, v);
            return UpAnswer((e_.link.empty() ? "" : UpMember("data", e_.link)) +
                            UpMember("status", e_.status));
        }
        complaints_.push_back("unknown method " + method);
        return "";
    }

    TestHttpServer server_;
    mutable std::mutex mutex_;
    UploadExpectation e_;
    std::vector<std::string> methods_;
    std::vector<std::string> bodies_;
    std::vector<std::string> complaints_;
};
