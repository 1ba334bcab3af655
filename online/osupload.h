#pragma once
// Giving subtitles back to OpenSubtitles: the XML-RPC conversation (log in, TryUploadSubtitles,
// SearchMoviesOnIMDB, DetectLanguage, UploadSubtitles) over the fields of an OShelpFunctions.
// The conversation touches no window and no global: the automatic upload runs it on its own
// thread over its own copy of the state, the user's upload on a worker over another copy that
// the window thread takes back as OS afterwards, so the two never share an object.
#include "online/onlinemessages.h"
#include "online/oshelpfunctions.h"

#include <cstddef>
#include <string>

extern const char* const TrayUploadSubs;
extern const char* const _DetectLanguage;
extern const char* const _SearchMoviesOnIMDB;
extern const char* const _UpdateSubs;

// The part after the last '/', then after the last '\\'.
std::string getFileFromPath(const std::string& path);
// Standard alphabet, '=' padding, no line breaks.
std::string Base64Encode(const unsigned char* data, size_t length);
// Base64 of zlib `compress` of `bytes` (a buffer of trunc(size * 0.02) + size + 40 bytes).
std::string CompressedBase64(const std::string& bytes);
// MD5 of `bytes` as 32 lowercase hex digits.
std::string SubtitleMd5Hex(const std::string& bytes);
// The subtitle file the player shows now (a loaded file, not a stream), or "".
std::string getSubtitle();

enum class UploadWho { Automatic, User };

struct UploadRequest {
    UploadWho who = UploadWho::User;
    std::string subtitle; // path of the subtitle file
    std::string movie;    // path of the movie (a RAR volume counts the stored movie)
    std::string login;
    std::string pass;
    int loadMethod = 1; // SubAutoUploadOS::getMetchodLoadSubs for the automatic upload
};

struct UploadResult {
    OnlineMessages messages; // what the user upload shows, in order
    bool prepared = false;   // the subtitle could be read
    bool loggedIn = false;
    bool alreadyInDb = false;
    bool needImdb = false; // the user must confirm an IMDB number (imdbTitles / imdbIds)
    bool uploaded = false; // UploadSubtitles answered with a link
    bool cancelled = false;
    std::string link;
    std::string status;
    std::string reason; // why nothing was uploaded, for the command-line tool
};

// Reads, compresses and fingerprints the subtitle and the movie into `os`. False when the
// subtitle cannot be read (the upload then ends silently).
bool PrepareUpload(OShelpFunctions& os, const UploadRequest& request);
// Preparation, login and TryUploadSubtitles; for the user, without an IMDB number, the
// search whose proposals the IMDB dialog shows (needImdb). The automatic upload does the
// whole conversation here.
UploadResult UploadFirstPart(OShelpFunctions& os, const UploadRequest& request);
// DetectLanguage and UploadSubtitles once `os.idmovieimdb` is known.
void UploadSecondPart(OShelpFunctions& os, UploadWho who, UploadResult& result);
// The automatic upload, whole (diagnostics on standard output, no window).
void sendsubtitles(const UploadRequest& request);
