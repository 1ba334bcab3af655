#include "online/napiprojekt.h"

#include "online/answerkind.h"
#include "online/httptransfer.h"
#include "online/moviehash.h"
#include "online/napiarchive.h"
#include "online/napiprojekttoken.h"
#include "online/onlinefiles.h"
#include "online/servers.h"
#include "persist/i18l.h"
#include "platform/cmdline.h"
#include "platform/limits.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "player/subtitletracks.h"
#include "subtitles/subtitleparse.h"

#include <cctype>
#include <cstdio>
#include <unistd.h>

const char* const kNapiprojektPassword = "Xq7TzR2wLm9KpV4s";
const char* const kNapiprojektCurrentPassword = "iBlm8NTigvru0Jr0";
const char* const kNapiprojektAgent = "Mozilla/3.0\xA0(compatible;\xA0Indy\xA0Library)";

namespace {
// Answers of this size or less never held a subtitle.
constexpr size_t kNoSubtitleSize = 899;
// The transfer's code when no session could be opened at all (libcurl's CURLE_FAILED_INIT).
constexpr int kSessionFailed = 2;
// Subtitles are small; an answer past this is not one, and must not fill the disk.

std::string Translated(const char* english) {
    return I18l.getString(english);
}

// An HTML page (a proxy's or the server's error page) is no subtitle, whatever its size.
bool LooksLikeHtml(const std::string& body) {
    size_t start = body.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || body[start] != '<')
        return false;
    std::string head = body.substr(start, 512);
    for (char& c : head)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return head.find("<html") != std::string::npos || head.find("<!doctype") != std::string::npos;
}

void Fail(NapiResult& r, const std::string& text, const std::string& reason) {
    r.messages.push_back({text, "Error"});
    r.reason = reason;
}

void NoSubtitles(NapiResult& r) {
    Fail(r, Translated("napiprojekt.pl has no subtitles for this movie."),
         "napiprojekt.pl has no subtitles for this movie");
}

// Puts the subtitle beside the movie, never over a file there; when that name is taken (or
// cannot be made) it goes into the private folder under the fingerprint's name instead.
// "" when neither can be written.
std::string Place(const std::string& movie, const std::string& md5, const std::string& text) {
    std::string target = movie.size() > 4 ? movie.substr(0, movie.size() - 4) + ".txt" : movie;
    if (WriteNewFile(target, text))
        return target;
    std::string folder = PrivateTempFolder();
    if (folder.empty())
        return "";
    std::string kept = folder + md5 + ".txt";
    return WriteFileAtomically(kept, text) ? kept : "";
}
} // namespace

std::string NapiprojektUrl(const std::string& base, const std::string& language,
                           const std::string& md5) {
    return base + "/unit_napisy/dl.php?l=" + language + "&f=" + md5 +
           "&t=" + GeneratePseudoHashNapiprojekt(md5) + "&v=1.0.6.2&kolejka=false&nick=&pass=";
}

NapiResult DownloadNapiprojekt(const std::string& movie, const std::string& language) {
    NapiResult r;
    MovieHash hash(IsMovieFile(movie) ? movie : std::string());
    const std::string& md5 = hash.hashNapiprojekt;
    // Without a fingerprint there is nothing to ask for: the service would answer for "0".
    if (md5.size() != 32) {
        Fail(r, "Error opening file " + movie, "cannot read the movie");
        return r;
    }

    HttpTransferRequest request;
    request.url = NapiprojektUrl(ServiceUrl(Service::NapiprojektWeb), language, md5);
    request.userAgent = kNapiprojektAgent;
    request.headers = {"Content-Type: text/html", "Accept:\xA0text/html,\xA0*/*"};
    request.maxBody = kMaxSubtitleAnswer;
    HttpTransferResult answer = HttpTransfer(request);
    if (answer.cancelled) {
        r.cancelled = true;
        r.reason = "cancelled";
        return r;
    }
    if (answer.error == kSessionFailed) {
        Fail(r, "Internet connection error!", "the HTTP library could not start");
        return r;
    }
    // A server's error page is no answer of the service.
    if (!answer.completed || answer.status >= 400 || answer.truncated) {
        Fail(r, Translated("I can not download subtitles. Connection error."),
             answer.completed ? "the server answered HTTP " + std::to_string(answer.status)
                              : "connection error: " + answer.errorText);
        return r;
    }

    std::string body = std::move(answer.body);
    AnswerKind kind = ClassifyAnswer(body);
    if (kind == AnswerKind::Gzip) {
        // Inflated in memory and stopped at the subtitle limit: a small answer cannot grow
        // into a large file.
        std::string unpacked;
        if (!GunzipBytes(body, &unpacked, kMaxSubtitleFile)) {
            Fail(r, Translated("Eror unpacking subtitles"),
                 "damaged gzip answer, or one unpacking past the subtitle limit");
            return r;
        }
        body = std::move(unpacked);
        kind = ClassifyAnswer(body);
    }
    if (kind == AnswerKind::NoSubtitles || kind == AnswerKind::Xml ||
        body.size() <= kNoSubtitleSize || LooksLikeHtml(body)) {
        NoSubtitles(r);
        return r;
    }

    if (kind == AnswerKind::SevenZip) {
        NapiUnpackResult unpacked = UnpackNapiprojektArchive(
            body, md5, {kNapiprojektPassword, kNapiprojektCurrentPassword}, kMaxSubtitleFile);
        switch (unpacked.outcome) {
        case NapiUnpack::Done:
            body = std::move(unpacked.text);
            break;
        case NapiUnpack::Missing:
            Fail(r, "No 7-zip32.dll", unpacked.why);
            return r;
        case NapiUnpack::Interrupted:
            r.cancelled = true;
            r.reason = "cancelled";
            return r;
        default:
            Fail(r, Translated("Eror unpacking subtitles"), unpacked.why);
            return r;
        }
    }

    r.subtitle = Place(movie, md5, body);
    if (r.subtitle.empty()) {
        Fail(r, Translated("Eror unpacking subtitles"), "cannot write the subtitle");
        return r;
    }
    r.messages.push_back({Translated("Subtitles downloaded") + " " + r.subtitle, "OK"});
    r.subComend = " -sub " + QuoteCommandLineArg(r.subtitle) + " ";
    r.downloaded = true;
    return r;
}

int PobierzNapis(const char* movie, const char* language) {
    SubComend.clear();
    NapiResult r = DownloadNapiprojekt(movie, language);
    SubComend = r.subComend;
    ShowOnlineMessages(r.messages);
    return 0;
}
