#pragma once
// Web pages about the open movie, opened in the desktop's browser (through the window
// port): its IMDB page (the number found through OpenSubtitles by the movie hash), the
// NapisyInfo page and the OpenSubtitles page (both through the redirect server of
// [servers] "redirect"; without one, the OpenSubtitles search by hash and size).
#include "online/onlinemessages.h"

#include <string>

struct WebLookup {
    OnlineMessages messages; // shown before the page opens
    std::string url;         // "" when there is nothing to open
    bool cancelled = false;
};

// The IMDB number through a SearchSubtitles call (a network exchange: run it on a worker).
WebLookup IMDBSiteWork(const std::string& movie);
// The two redirect pages need no exchange, only the movie's fingerprints.
WebLookup NapisyInfoLookup(const std::string& movie);
WebLookup OpensubtitlesLookup(const std::string& movie);

// The described calls on the movie of the player: messages shown, page opened. IMDBSite
// blocks for the exchange.
int IMDBSite(const std::string& movie);
void OpenWebNapisyInfoForThisMovie();
void OpenOpensubtitlesSite();
// Shows the messages and opens the page of a look-up.
void ApplyWebLookup(const WebLookup& lookup);
