#pragma once
// Where a subtitle from OpenSubtitles goes, whichever engine fetched it: "subtitle.txt" in
// the working folder (the movie's folder, else the desktop), copied beside the movie with
// ".srt" in place of the name's last four characters. The player loads it afterwards by the
// relative name " -sub subtitle.txt ", so the window makes the working folder current.
#include "online/opensubtitles.h"

#include <string>

// The language file's "No sub opensubtitles" text with its "\n" pairs as line breaks.
std::string OSNoSubMessage();
// The movie's folder when a file can be created there, else the desktop (with the message
// that says so); the temporary files of an earlier download are removed from it.
std::string ChooseOSWorkingFolder(const std::string& movie, OnlineMessages& messages);
// The movie's name with ".srt" in place of its last four characters.
std::string OSSrtName(const std::string& movie);
// False (with the message and the reason) when there is no movie or it cannot be
// fingerprinted (nothing, a FIFO, a folder).
bool CheckOSMovie(const std::string& movie, OnlineMessages& messages, std::string& reason);
// The subtitle an answer holds: gzip unpacked, text (with or without a byte-order mark) as
// it is. False for anything else, an HTML page included.
bool SubtitleTextFromAnswer(const std::string& bytes, std::string* text);
// Makes room for `subtitle` at `srt`: true when nothing is there, the same bytes are, or
// what is there has been kept as `srt`.bak (or already is kept there). False (with the
// message) when the file there could not be kept: it must not be replaced then.
bool KeepUsersSrt(const std::string& srt, const std::string& subtitle, OnlineMessages& messages);
// When r.workingFolder holds "subtitle.txt": marks the result downloaded and makes the
// ".srt" copy beside the movie, never replacing a different file there without keeping it as
// ".srt.bak".
void FinishOSPlacement(const std::string& movie, OSDownloadResult& r);
