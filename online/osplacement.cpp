#include "online/osplacement.h"

#include "online/answerkind.h"
#include "online/onlinefiles.h"
#include "persist/i18l.h"
#include "platform/limits.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "rar/desktopfolder.h"

#include <cstdio>
#include <optional>
#include <sys/stat.h>

namespace {
// The file's bytes when it is a regular file within the limit; nullopt otherwise.
std::optional<std::string> Contents(const std::string& path) {
    std::string data;
    if (!ReadWholeFile(path, &data, kMaxSubtitleAnswer))
        return std::nullopt;
    return data;
}
} // namespace

bool KeepUsersSrt(const std::string& srt, const std::string& subtitle, OnlineMessages& messages) {
    struct stat st {};
    if (lstat(srt.c_str(), &st) != 0)
        return true; // nothing there
    std::optional<std::string> old = Contents(srt);
    if (old && old == Contents(subtitle))
        return true; // the same subtitle again
    std::string bak = srt + ".bak";
    if (lstat(bak.c_str(), &st) == 0) {
        // Kept already; anything else there is the user's too and stays.
        if (old && old == Contents(bak))
            return true;
    } else if (rename(srt.c_str(), bak.c_str()) == 0) {
        return true;
    }
    messages.push_back(
        {srt + " was left as it was: " + bak + " already holds another file, or it cannot be made.",
         "Subtitle"});
    return false;
}

std::string OSNoSubMessage() {
    std::string text = I18l.getString("No sub opensubtitles");
    repleaceall(text, "\\n", "\n");
    return text;
}

std::string ChooseOSWorkingFolder(const std::string& movie, OnlineMessages& messages) {
    std::string folder = movie.find('/') == std::string::npos ? "." : GetDirectoryFromPath(movie);
    if (folder.empty())
        folder = "/";
    DeleteTempFile(folder);
    if (TestCreationFile((folder + "/test.test").c_str()))
        return folder;
    std::string desktop = DesktopFolder();
    DeleteTempFile(desktop);
    messages.push_back(
        {"Error while writing to current directory.\nTray save to deskop:\n " + desktop, "Error"});
    return desktop;
}

std::string OSSrtName(const std::string& movie) {
    return (movie.size() > 4 ? movie.substr(0, movie.size() - 4) : std::string()) + ".srt";
}

bool CheckOSMovie(const std::string& movie, OnlineMessages& messages, std::string& reason) {
    if (movie.empty()) {
        messages.push_back({I18l.getString("MessageNoMoveOpen"), "Error"});
        reason = "no movie";
        return false;
    }
    if (!IsMovieFile(movie)) {
        messages.push_back({"Error opening file " + movie, "Error"});
        reason = "cannot read the movie";
        return false;
    }
    return true;
}

bool SubtitleTextFromAnswer(const std::string& bytes, std::string* text) {
    AnswerKind kind = ClassifyAnswer(bytes);
    if (kind == AnswerKind::Gzip)
        return GunzipBytes(bytes, text, kMaxSubtitleAnswer);
    if (kind == AnswerKind::Text || kind == AnswerKind::Utf8Bom || kind == AnswerKind::Utf16Le ||
        kind == AnswerKind::Utf16Be) {
        // Links of today's services serve the subtitle plain.
        if (bytes.find("<html") != std::string::npos || bytes.find("<HTML") != std::string::npos)
            return false;
        *text = bytes;
        return true;
    }
    return false;
}

void FinishOSPlacement(const std::string& movie, OSDownloadResult& r) {
    std::string subtitle = r.workingFolder + "/subtitle.txt";
    if (!IsFileExist(subtitle.c_str())) {
        r.reason = "the download did not give a subtitle";
        return;
    }
    r.downloaded = true;
    r.subtitle = subtitle;
    std::string srt = OSSrtName(movie);
    if (KeepUsersSrt(srt, subtitle, r.messages) && CopyFileReplace(subtitle, srt))
        r.srtCopy = srt;
}
