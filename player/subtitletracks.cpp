#include "player/subtitletracks.h"

#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"

#include <cstdio>
#include <cstring>

std::vector<Subtitle> SubtitleList;
int zaznaczonaPozycjaSubtitle = 0;
std::string SubComend;

namespace {
// The value of a track name or language line: after the first '=', without the last character
// (the carriage return).
std::string TrackValue(const char* line) {
    const char* eq = std::strchr(line, '=');
    if (eq == nullptr)
        return "";
    std::string value(eq + 1);
    if (!value.empty())
        value.pop_back();
    return value;
}

void AddTrack(int id, int kind, const std::string& label = "") {
    Subtitle track;
    track.id = id;
    track.kind = kind;
    track.menuLabel = label;
    SubtitleList.push_back(track);
}
} // namespace

void ClearSubtiteList() {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    zaznaczonaPozycjaSubtitle = 0;
    SubtitleList.clear();
    AddTrack(-1, -1, "None");
}

void ResetSubsLoaded() {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    SubComend.clear();
    Mp1.subtitleOptions.clear();
    Mp1.loadedSubtitleFile.clear();
    Mp1.chosenTrackCommand.clear();
    if (Mp1.extraOptions.find(" -sub ") != std::string::npos)
        Mp1.extraOptions = " ";
}

void obsluz_subtitles(char* line) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    if (std::strncmp(line, "Quorvan", 7) == 0) {
        ClearSubtiteList();
        PlayerAnnounced announced;
        PlayerEvents<PlayerAnnounced>().Publish(announced);
    }
    if (std::strncmp(line, "No bind found for key 'n'.", 26) == 0) {
        zaznaczonaPozycjaSubtitle = 0;
        SendCommand("sub_visibility");
    }

    int id = 0;
    char word[8];
    // "%s" needs a non-blank after '='; one character of it is enough to count the match.
    if (std::sscanf(line, "ID_SID_%d_NAME=%1s", &id, word) == 2) {
        if (!SubtitleList.empty()) {
            Subtitle& last = SubtitleList.back();
            last.name = TrackValue(line);
            last.menuLabel = last.name;
        }
        return;
    }
    if (std::sscanf(line, "ID_SID_%d_LANG=%1s", &id, word) == 2) {
        if (!SubtitleList.empty()) {
            Subtitle& last = SubtitleList.back();
            last.language = TrackValue(line);
            last.menuLabel = "<" + last.language + "> " + last.name;
        }
        return;
    }
    if (std::sscanf(line, "ID_FILE_SUB_ID=%d", &id) == 1) {
        AddTrack(id, 2);
        if (id == 0)
            zaznaczonaPozycjaSubtitle = static_cast<int>(SubtitleList.size()) - 1;
        return;
    }
    static const char kFileName[] = "ID_FILE_SUB_FILENAME=";
    if (std::strncmp(line, kFileName, 21) == 0 && !SubtitleList.empty()) {
        std::string file(line + 21);
        if (!file.empty())
            file.pop_back();
        Subtitle& last = SubtitleList.back();
        last.fileName = file;
        std::string label = file;
        size_t slash = label.rfind('/');
        if (slash != std::string::npos)
            label = label.substr(slash + 1);
        size_t backslash = label.rfind('\\');
        if (backslash != std::string::npos)
            label = label.substr(backslash + 1);
        last.menuLabel = label;
    }
    if (std::sscanf(line, "ID_SUBTITLE_ID=%d", &id) == 1) {
        AddTrack(id, 1);
    } else if (std::sscanf(line, "ID_VOBSUB_ID=%d", &id) == 1) {
        AddTrack(id, 0, std::string("VOBSUB") + (line + std::strlen("ID_VOBSUB_ID=")));
    }
}
