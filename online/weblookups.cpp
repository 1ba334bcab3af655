#include "online/weblookups.h"

#include "online/moviehash.h"
#include "online/onlinefiles.h"
#include "online/opensubtitles.h"
#include "online/servers.h"
#include "platform/paths.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"

#include <iostream>
#include <unistd.h>

WebLookup IMDBSiteWork(const std::string& movie) {
    WebLookup r;
    std::string hash = IsMovieFile(movie) ? GenerateHashOpenSubtitles(movie) : "";
    std::string number =
        hash.empty() ? "" : GetOpenSubtitleInfo(1, MovieByteSize(movie), "all", hash, &r.cancelled);
    if (r.cancelled)
        return r;
    if (number.empty()) {
        r.messages.push_back({"No file open or no move file hash link to IMDB", "IMDBNumber"});
        return r;
    }
    std::cout << "\nGetIMDBNumber: " << number << std::endl;
    r.messages.push_back({number, "IMDBNumber"});
    r.url = ServiceUrl(Service::ImdbWeb) + "/title/tt" + number;
    return r;
}

WebLookup NapisyInfoLookup(const std::string& movie) {
    WebLookup r;
    std::string redirect = ServiceUrl(Service::Redirect);
    if (redirect.empty()) {
        r.messages.push_back({"The NapisyInfo page is reached through a redirect server: set "
                              "\"redirect\" in the section [servers] of QuorvanPlayer.ini.",
                              "Error"});
        return r;
    }
    MovieHash hash(IsMovieFile(movie) ? movie : std::string());
    std::string fingerprint = hash.hashNapisyInfo == "0" ? "" : hash.hashNapisyInfo;
    std::cout << fingerprint << std::endl;
    r.url = redirect + "/redirectnapisyinfo.php?hash=" + fingerprint;
    return r;
}

WebLookup OpensubtitlesLookup(const std::string& movie) {
    WebLookup r;
    bool readable = IsMovieFile(movie);
    std::string hash = readable ? GenerateHashOpenSubtitles(movie) : "";
    std::string size = std::to_string(readable ? MovieByteSize(movie) : 0);
    std::string redirect = ServiceUrl(Service::Redirect);
    // The name goes in as it is: the redirect server has always been sent it unencoded.
    if (!redirect.empty())
        r.url = redirect + "/redirect/redirect.php?hash=" + hash + "&size=" + size +
                "&name=" + FileNameFromPath(movie);
    else
        r.url = ServiceUrl(Service::OpenSubtitlesWeb) + "/search/sublanguageid-all/moviebytesize-" +
                size + "/moviehash-" + hash;
    return r;
}

void ApplyWebLookup(const WebLookup& lookup) {
    ShowOnlineMessages(lookup.messages);
    if (!lookup.url.empty())
        Port().OpenWithDefaultApplication(lookup.url);
}

int IMDBSite(const std::string& movie) {
    ApplyWebLookup(IMDBSiteWork(movie));
    return 0;
}

void OpenWebNapisyInfoForThisMovie() {
    ApplyWebLookup(NapisyInfoLookup(Mp1.MovieFileSnapshot()));
}

void OpenOpensubtitlesSite() {
    ApplyWebLookup(OpensubtitlesLookup(Mp1.MovieFileSnapshot()));
}
