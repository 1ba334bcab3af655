#include "online/osupload.h"

#include "online/md5.h"
#include "online/moviehash.h"
#include "online/onlinefiles.h"
#include "online/opensubtitles.h"
#include "online/parsexml.h"
#include "online/xmlrpc.h"
#include "platform/limits.h"
#include "platform/textutil.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"

#include <iostream>
#include <mutex>
#include <zlib.h>

// Each template is one line; a string member is written name, value, string.
#define QV_HEAD(method)                                                                            \
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><methodCall><methodName>" method                    \
    "</methodName><params>"
#define QV_TAIL "</params></methodCall>"
#define QV_STRING(content) "<param><value><string>" content "</string></value></param>"
#define QV_MEMBER(name)                                                                            \
    "<member><name>" name "</name><value><string>$" name "$</string></value></member>"
#define QV_EMPTY(name) "<member><name>" name "</name><value><string></string></value></member>"

const char* const TrayUploadSubs = QV_HEAD("TryUploadSubtitles")
    QV_STRING("$token$") "<param><value><struct><member><name>cd1</name><value><struct>" QV_MEMBER(
        "movietimems") QV_MEMBER("moviebytesize") QV_MEMBER("subfilename") QV_MEMBER("subhash")
        QV_MEMBER("movieframes") QV_MEMBER("moviefps") QV_MEMBER("moviefilename")
            QV_MEMBER("moviehash") "</struct></value></member></struct></value></param>" QV_TAIL;

// The service has always been sent the sample so: a value straight inside the struct, and
// one blank before the parameter's closing value tag.
const char* const _DetectLanguage = QV_HEAD("DetectLanguage")
    QV_STRING("$token$") "<param><value><struct><value><string>$text$</string></value></struct> "
                         "</value></param>" QV_TAIL;

const char* const _SearchMoviesOnIMDB =
    QV_HEAD("SearchMoviesOnIMDB") QV_STRING("$token$") QV_STRING("$moviefilename$") QV_TAIL;

const char* const _UpdateSubs = QV_HEAD("UploadSubtitles")
    QV_STRING("$token$") "<param><value><struct><member><name>cd1</name><value><struct>" QV_MEMBER(
        "movietimems") QV_MEMBER("moviebytesize") QV_MEMBER("subfilename") QV_MEMBER("subcontent")
        QV_MEMBER("subhash") QV_MEMBER("movieframes") QV_MEMBER("moviefps")
            QV_MEMBER("moviefilename") QV_MEMBER(
                "moviehash") "</struct></value></member><member><name>baseinfo</"
                             "name><value><struct>" QV_MEMBER("sublanguageid")
                                 QV_MEMBER("idmovieimdb") QV_MEMBER("subauthorcomment")
                                     QV_EMPTY("movieaka") QV_EMPTY(
                                         "moviereleasename") "</struct></value></member></struct></"
                                                             "value></param>" QV_TAIL;

#undef QV_HEAD
#undef QV_TAIL
#undef QV_STRING
#undef QV_MEMBER
#undef QV_EMPTY

namespace {
// A subtitle bigger than this is no subtitle; nothing of it is read.
constexpr size_t kSampleSize = 4096;
} // namespace

void OShelpFunctions::parseSerchOnIMDB(const std::string& answer) {
    parsexml scanner;
    imdbIds.clear();
    imdbTitles.clear();
    scanner.parsetolist(answer, "id", imdbIds);
    scanner.parsetolist(answer, "title", imdbTitles);
    if (imdbIds.size() != imdbTitles.size()) {
        imdbIds.clear();
        imdbTitles.clear();
    }
}

std::string getFileFromPath(const std::string& path) {
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    size_t back = name.rfind('\\');
    return back == std::string::npos ? name : name.substr(back + 1);
}

std::string Base64Encode(const unsigned char* data, size_t length) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < length; i += 3) {
        uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < length) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (i + 1 < length)
            v |= uint32_t(data[i + 1]) << 8;
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < length ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string CompressedBase64(const std::string& bytes) {
    // The formula leaves room above zlib's own bound for every size.
    std::string packed(size_t(double(bytes.size()) * 0.02) + bytes.size() + 40, '\0');
    uLongf packedSize = packed.size();
    if (compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                 reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()) != Z_OK)
        return "";
    return Base64Encode(reinterpret_cast<const unsigned char*>(packed.data()), packedSize);
}

std::string SubtitleMd5Hex(const std::string& bytes) {
    md5_context context;
    md5_starts(&context);
    md5_update(&context, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    unsigned char digest[16];
    md5_finish(&context, digest);
    char hex[33];
    tohexdigs(digest, hex);
    return hex;
}

std::string getSubtitle() {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    if (zaznaczonaPozycjaSubtitle == 0 || zaznaczonaPozycjaSubtitle < 0 ||
        size_t(zaznaczonaPozycjaSubtitle) >= SubtitleList.size())
        return "";
    const Subtitle& entry = SubtitleList[size_t(zaznaczonaPozycjaSubtitle)];
    return entry.kind == 2 ? entry.fileName : "";
}

bool PrepareUpload(OShelpFunctions& os, const UploadRequest& request) {
    if (request.who == UploadWho::User) {
        os.subauthorcomment = "USERUPLOAD";
        std::cout << "userupload" << std::endl;
    } else {
        os.subauthorcomment =
            request.loadMethod == 0 ? "AUTOLOAD AUTOUPLOAD" : "USERLOAD AUTOUPLOAD";
    }
    os.login = request.login;
    os.pass = request.pass;
    std::string bytes;
    if (request.subtitle.empty() || !ReadWholeFile(request.subtitle, &bytes, kMaxUploadedSubtitle))
        return false;
    os.subcontent = CompressedBase64(bytes);
    os.subtitleHash = os.subhash = SubtitleMd5Hex(bytes);
    std::string sample = bytes.substr(0, kSampleSize);
    os.text = CompressedBase64(sample);
    os.sampleHash = SubtitleMd5Hex(sample);
    os.subfilename = getFileFromPath(request.subtitle);
    os.moviefilename = getFileFromPath(request.movie);
    // Sizes past 2 GiB are sent whole: a 32-bit format would send a negative size.
    bool movie = IsMovieFile(request.movie);
    os.moviebytesize = std::to_string(movie ? MovieByteSize(request.movie) : 0);
    os.moviehash = movie ? GenerateHashOpenSubtitles(request.movie) : "";
    std::cout << "OS.moviefilename " << os.moviefilename << "\nOS.moviebytesize "
              << os.moviebytesize << "\nOS.moviehash " << os.moviehash << "\nHH3HHHHHHHHHHHHHHHHH "
              << os.subtitleHash << std::endl;
    return true;
}

namespace {
// One call of the conversation: the filled template posted, its answer ("" on failure).
std::string Exchange(OShelpFunctions& os, const char* templ, UploadResult& r) {
    std::string request = templ;
    os.fill(request);
    bool cancelled = false;
    std::string answer = PostXmlRpc(request, kMaxXmlRpcAnswer, &cancelled);
    if (cancelled)
        r.cancelled = true;
    return answer;
}
} // namespace

UploadResult UploadFirstPart(OShelpFunctions& os, const UploadRequest& request) {
    UploadResult r;
    bool user = request.who == UploadWho::User;
    if (!PrepareUpload(os, request)) {
        r.reason = "The subtitle file cannot be read: " + request.subtitle;
        return r;
    }
    r.prepared = true;
    parsexml scanner;
    std::string login = os.getLogin();
    bool cancelled = false;
    os.token = scanner.parse(PostXmlRpc(login, kMaxXmlRpcAnswer, &cancelled), "token");
    if (cancelled) {
        r.cancelled = true;
        return r;
    }
    if (os.token.empty()) {
        std::cout << "!!!Error logowania" << std::endl;
        if (user)
            r.messages.push_back({"Login Error!", ""});
        r.reason = "Login Error!";
        return r;
    }
    r.loggedIn = true;
    std::cout << os.token << std::endl;

    std::string tried = Exchange(os, TrayUploadSubs, r);
    if (r.cancelled)
        return r;
    os.idmovieimdb = scanner.parse(tried, "IDMovieImdb");
    std::string already = scanner.parseint(tried, "alreadyindb");
    std::cout << "!alreadyindb" << already << "\n!IDMovieImdb" << os.idmovieimdb << std::endl;
    if (already == "1") {
        r.alreadyInDb = true;
        if (user)
            r.messages.push_back({"Subtitle already in database!", ""});
        r.reason = "Subtitle already in database!";
        return r;
    }
    if (os.idmovieimdb.empty()) {
        if (!user) {
            std::cout << "NO IMDB NUMBER" << already << std::endl;
            r.reason = "NO IMDB NUMBER";
            return r;
        }
        std::string found = Exchange(os, _SearchMoviesOnIMDB, r);
        if (r.cancelled)
            return r;
        os.parseSerchOnIMDB(found);
        r.needImdb = true;
        return r;
    }
    if (!user)
        UploadSecondPart(os, request.who, r);
    return r;
}

void UploadSecondPart(OShelpFunctions& os, UploadWho who, UploadResult& r) {
    parsexml scanner;
    r.needImdb = false;
    std::string language = Exchange(os, _DetectLanguage, r);
    if (r.cancelled)
        return;
    os.sublanguageid = scanner.parse(language, os.sampleHash);
    std::string answer = Exchange(os, _UpdateSubs, r);
    if (r.cancelled)
        return;
    r.link = scanner.parse(answer, "data");
    r.status = scanner.parse(answer, "status");
    r.uploaded = !r.link.empty();
    if (who == UploadWho::Automatic) {
        std::cout << "!LINK: " << r.link << std::endl;
        return;
    }
    if (r.uploaded)
        r.messages.push_back({"Successful uploaded!\nLink:" + r.link + "\n" + r.status, ""});
    else
        r.messages.push_back({"ERROR uploaded!\n" + r.status, ""});
    if (!r.uploaded)
        r.reason = "ERROR uploaded! " + r.status;
}

void sendsubtitles(const UploadRequest& request) {
    OShelpFunctions own;
    UploadRequest automatic = request;
    automatic.who = UploadWho::Automatic;
    UploadFirstPart(own, automatic);
}
