#include "online/osplacement.h"

#include "online/answerkind.h"
#include "online/onlinefiles.h"
#include "persist/i18l.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "rar/desktopfolder.h"

namespace {
constexpr size_t kMaxSubtitleFile = 16u << 20;
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
        return GunzipBytes(bytes, text, kMaxSubtitleFile);
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
    if (CopyFileReplace(subtitle, srt))
        r.srtCopy = srt;
}
