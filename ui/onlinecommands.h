#pragma once
// The commands that fetch subtitles or look a movie up on the web. Each exchange runs on a
// worker while the window shows the wait texts (ui/onlinewait.h); the results are applied
// on the window thread afterwards, in the order the command gives: messages, then the
// relaunch with the subtitle, then the title.
#include <string>

// 2002 ("PL") and 2477 ("ENG").
void NapiprojektCommand(const char* language);
// 2478, 2479, 2006, 2007 and the language list 2307 + i: the direct OpenSubtitles download.
void OpenSubtitlesCommand(const std::string& language, bool waitNotice);
void OpenSubtitlesLanguageCommand(int index);
// 2582: log in, search in every language, show the results as a pop-up menu (2583 + i).
void MenuRefreshOSList();
// 2583 + i: fetch result i of the list.
void getOpenSubtitleNumber(int index);
// Fetches a result's link for the movie of the player and relaunches it with the subtitle.
void DownoladOSSubtitlesAndUnpack(const std::string& link);
// 2005: the movie's IMDB page.
void IMDBSiteCommand();
