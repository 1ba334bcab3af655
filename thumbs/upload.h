#pragma once
// Publishing a thumbnail sheet: the JPEG goes to the chosen image host as a multipart form,
// the link the host answers lands on the clipboard, and (only when a statistics server is
// configured) the upload is reported with the movie's fingerprints.
#include <string>
#include <vector>

// Where and how sheets are uploaded. The settings' [imagehost] Profile names a profile file
// of the program folder ("imagehosts/<name>.ini": URL, FileField, Fields=name=value&...);
// QUORVAN_IMAGEHOST_URL or [servers] imagehost move the address (the host's root path).
struct ImageHostProfile {
    std::string url; // "" when no host is chosen
    std::string fileField = "img";
    std::vector<std::pair<std::string, std::string>> fields;
};
ImageHostProfile CurrentImageHost();
// The profile file's text (pure).
ImageHostProfile ParseImageHostProfile(const std::string& content);

constexpr const char* kUploadAgent = "DOZIDA(0.9/;p)";

// Thread entry of the upload started by command 2306.
void SendFileToStooorage_T(void*);
// Uploads "<working directory>/<movie file name>.s.jpg".
void SendFileToStooorage();
void SendFileToStooorage2(const std::string& file);

// The text between the last "[url=" and the first "]" after it; "" when either is missing.
std::string findstoooragelink(const std::string& html);
// The link of an answer: the "[url=" code, else a bare http(s) address alone on the first line
// of the answer; "" when neither.
std::string AnswerLink(const std::string& body);
// The statistics address for a link and movie (every "&" of both as "%26").
std::string StatisticsAddress(const std::string& server, const std::string& link,
                              const std::string& movieFile);
void SendInfoAboutFileSend(const std::string& link);
int copyTextToClip(const std::string& text);
// "<text> failed with error: <the system's text for errno>" in a box captioned "Error".
void ErrorMessage(const char* text);
