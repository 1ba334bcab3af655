#include "thumbs/upload.h"

#include "online/generichttpclient.h"
#include "online/moviehash.h"
#include "online/servers.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"
#include "thumbs/thumbfiles.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>

ImageHostProfile ParseImageHostProfile(const std::string& content) {
    ImageHostProfile profile;
    profile.url = ProfileLookup(content, "imagehost", "URL").value_or("");
    std::string field = ProfileLookup(content, "imagehost", "FileField").value_or("");
    if (!field.empty())
        profile.fileField = field;
    std::string fields = ProfileLookup(content, "imagehost", "Fields").value_or("");
    size_t start = 0;
    while (start < fields.size()) {
        size_t end = fields.find('&', start);
        if (end == std::string::npos)
            end = fields.size();
        std::string pair = fields.substr(start, end - start);
        size_t equals = pair.find('=');
        if (equals != std::string::npos && equals > 0)
            profile.fields.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        start = end + 1;
    }
    return profile;
}

ImageHostProfile CurrentImageHost() {
    ImageHostProfile profile;
    std::string name = GetProfileString("imagehost", "Profile", "", SettingsFilePath(), 200);
    if (!name.empty() && name.find('/') == std::string::npos) {
        std::string path = std::string(KatalogExe()) + "imagehosts/" + name + ".ini";
        if (auto content = ReadProfileFile(path))
            profile = ParseImageHostProfile(*content);
    }
    std::string moved = ServiceUrl(Service::ImageHost);
    if (!moved.empty())
        profile.url = moved + "/";
    return profile;
}

std::string findstoooragelink(const std::string& html) {
    size_t start = html.rfind("[url=");
    if (start == std::string::npos)
        return "";
    start += 5;
    size_t end = html.find(']', start);
    if (end == std::string::npos)
        return "";
    return html.substr(start, end - start);
}

std::string AnswerLink(const std::string& body) {
    std::string link = findstoooragelink(body);
    if (!link.empty())
        return link;
    size_t begin = body.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return "";
    size_t end = body.find_first_of(" \t\r\n<>\"", begin);
    std::string first =
        body.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (first.compare(0, 7, "http://") != 0 && first.compare(0, 8, "https://") != 0)
        return "";
    // A bare address stands alone: nothing but blanks may follow it on its line.
    if (end != std::string::npos) {
        size_t next = body.find_first_not_of(" \t", end);
        if (next != std::string::npos && body[next] != '\r' && body[next] != '\n')
            return "";
    }
    return first;
}

namespace {
// Every "&" as "%26"; blanks as "%20", without which the address is no address at all.
std::string Ampersands(std::string text) {
    repleaceall(text, "&", "%26");
    repleaceall(text, " ", "%20");
    return text;
}

std::string ClientError(uint32_t code) {
    if (code == 0)
        return "The image host sent no answer.";
    if (code < static_cast<uint32_t>(CURL_LAST))
        return curl_easy_strerror(static_cast<CURLcode>(code));
    return "The image host cannot be reached.";
}
} // namespace

std::string StatisticsAddress(const std::string& server, const std::string& link,
                              const std::string& movieFile) {
    MovieHash hash(movieFile);
    return server + "/saveinfothumb.php?v=9.37" + "&stooorage=" + Ampersands(link) +
           "&filename=" + Ampersands(FileNameFromPath(movieFile)) + "&np=" + hash.hashNapiprojekt +
           "&os=" + hash.hashOpenSubtitles + "&filesize=" + hash.getfilesize() +
           "&ni=" + hash.hashNapisyInfo;
}

void SendInfoAboutFileSend(const std::string& link) {
    // A user's fingerprints go to no third party unless a statistics server was set up.
    std::string server = ServiceUrl(Service::Statistics);
    if (server.empty())
        return;
    GenericHTTPClient http;
    http.Request(StatisticsAddress(server, link, Mp1.MovieFileSnapshot()).c_str(),
                 GenericHTTPClient::RequestGetMethod, kUploadAgent);
}

int copyTextToClip(const std::string& text) {
    return Port().CopyTextToClipboard(text) ? 1 : 0;
}

void ErrorMessage(const char* text) {
    int error = errno;
    Port().MessageBox(std::string(text != nullptr ? text : "") +
                          " failed with error: " + std::strerror(error),
                      "Error", MB_OK_);
}

void SendFileToStooorage2(const std::string& file) {
    ImageHostProfile host = CurrentImageHost();
    if (host.url.empty()) {
        Port().MessageBox("No image host is chosen. Name one in QuorvanPlayer.ini, section "
                          "[imagehost], key Profile (Profile=catbox is shipped).",
                          "ERROR", MB_OK_);
        return;
    }
    if (!IsFileExist(file.c_str())) {
        Port().MessageBox("Cannot read " + file, "ERROR", MB_OK_);
        return;
    }
    GenericHTTPClient http;
    http.InitilizePostArguments();
    for (const auto& field : host.fields)
        http.AddPostArguments(field.first.c_str(), field.second.c_str());
    http.AddPostArguments(host.fileField.c_str(), file.c_str(), true);
    if (!http.Request(host.url.c_str(), GenericHTTPClient::RequestPostMethodMultiPartsFormData,
                      kUploadAgent)) {
        Port().MessageBox(ClientError(http.GetLastError()), "ERROR", MB_OK_);
        return;
    }
    std::string body(http.QueryHTTPResponse(), static_cast<size_t>(http.QueryHTTPResponseLength()));
    std::string link = AnswerLink(body);
    if (link.size() <= 10) {
        Port().MessageBox("ERROR find.\nMayby in this html is link to Your screenshots.\n"
                          "The image host " +
                              host.url + " return:\n" + body,
                          "CTRL+C - copy to clippoard", MB_OK_);
        return;
    }
    SendInfoAboutFileSend(link);
    copyTextToClip(link);
    Port().MessageBox(link, "Link in clippoard", MB_OK_);
}

void SendFileToStooorage() {
    SendFileToStooorage2(SheetJpegPath(Mp1.MovieFileSnapshot()));
}

void SendFileToStooorage_T(void*) {
    SendFileToStooorage();
}
