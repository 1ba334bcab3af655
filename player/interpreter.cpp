#include "player/interpreter.h"

#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/playlist.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"
#include "player/slavecommand.h"
#include "player/statusline.h"
#include "player/subtitletracks.h"

#include <cstdio>
#include <cstring>

std::atomic<bool> isPaused{false};
std::atomic<int> oldTime{0};
std::atomic<float> timelenght{0};

namespace {
// "Starting playback..." seen since the running player was started.
std::atomic<bool> g_playbackStarted{false};
} // namespace

void PlayerOutputBegins() {
    g_playbackStarted = false;
}

namespace {
// The transcript is kept to a sane size over a long evening of playback; the oldest half goes.
constexpr size_t kConsoleLimit = 4 * 1024 * 1024;

void AppendToConsole(const char* line) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    if (Mp1.consoleText.size() > kConsoleLimit)
        Mp1.consoleText.erase(0, Mp1.consoleText.size() / 2);
    Mp1.consoleText += "< ";
    Mp1.consoleText += line;
    Mp1.consoleText += "\n";
}

// A window title cannot show the carriage return the player's lines end with.
std::string TitleText(const char* line) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

void ShowPlayerError(const char* line) {
    Port().SetTitle(TitleText(line));
    Port().ShowControl(IDC_ERROR_BUTTON, true);
}

// A movie that failed has no length and no position: the clock must not go on showing those
// of the movie before it.
void ForgetLength() {
    timelenght = 0;
    Mp1.movieLength = 0;
    Port().SetSliderRange(IDC_TIME_SLIDER, 0, 0);
    Port().SetSliderPos(IDC_TIME_SLIDER, 0);
}

void EndOfMovie(const char* line) {
    MovieEnded ended{Mp1.MovieFileSnapshot(), MovieEndReason::EndOfFile};
    Mp1.timePosition = 0;
    history1.add(ended.movie, 0);
    if (!g_playbackStarted.exchange(false)) {
        // The movie never played (a broken or unplayable file): the user must see it failed,
        // and nothing that follows it is started in its place.
        ShowPlayerError(line);
        ForgetLength();
        ended.reason = MovieEndReason::NeverPlayed;
    } else {
        Port().SetTitle(std::string(ProgramTitle) + TitleText(line) + ended.movie);
    }
    PlayerEvents<MovieEnded>().Publish(ended);
}

// mplayer's "*** screenshot 'shot0001.png' ***": the user's screenshot key (or its own key in
// its window) wrote a file into the player's working folder. The picture says where, for a
// few seconds, without pausing the movie.
constexpr int kScreenshotOsdMs = 4000;

void TellScreenshotWritten(const char* line) {
    const char* name = line + std::strlen("*** screenshot '");
    const char* end = std::strrchr(name, '\'');
    if (end == nullptr || end == name)
        return;
    std::string file(name, end);
    std::string path = file.front() == '/' ? file : RunningPlayerFolder() + "/" + file;
    SlaveCommand osd("pausing_keep osd_show_text");
    osd.Text(I18l.text("Messages", "Screenshot saved:") + " " + path).Int(kScreenshotOsdMs);
    SendCommand(osd);
}

void ApplyRows(char* line) {
    int a = 0;
    int b = 0;
    if (StartsWithNoCase(line, "  =====  PAUSE  =====")) {
        isPaused = true;
        return;
    }
    int dw = 0;
    int dh = 0;
    if (std::sscanf(line, "VO: %*s %dx%d => %dx%d", &dw, &dh, &dw, &dh) >= 2) {
        Mp1.displayWidth = dw;
        Mp1.displayHeight = dh;
        if (Mp1.videoWindow != 0)
            Port().ResizeMainWindow(dw + 2, dh + 100);
        return;
    }
    if (std::sscanf(line, "VIDEO: %*s %dx%d", &a, &b) == 2) {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.videoInfoLine = line;
        Mp1.movieInfo = line;
        return;
    }
    if (std::strncmp(line, "*** screenshot '", 16) == 0) {
        TellScreenshotWritten(line);
        return;
    }
    if (StartsWithNoCase(line, "Generating Index")) {
        Port().SetTitle(std::string(ProgramTitle) + TitleText(line) + " Please wait!" +
                        Mp1.MovieFileSnapshot());
        return;
    }
    if (StartsWithNoCase(line, "Error parsing option on the command line:")) {
        ShowPlayerError(line);
        return;
    }
    if (StartsWithNoCase(line, "Exiting... (Fatal error)")) {
        ShowPlayerError(line);
        MovieEnded ended{Mp1.MovieFileSnapshot(), MovieEndReason::FatalError};
        history1.add(ended.movie, 0);
        Mp1.timePosition = 0;
        ForgetLength();
        PlayerEvents<MovieEnded>().Publish(ended);
        return;
    }
    if (StartsWithNoCase(line, "- MPlayer crashed by bad usage of CPU") ||
        StartsWithNoCase(line, "- Pelnix crashed") ||
        StartsWithNoCase(line, "<vo_directx><FATAL ERROR>can't set co")) {
        ShowPlayerError(line);
        return;
    }
    if (StartsWithNoCase(line, "AVI: Generated index tabl")) {
        Port().SetTitle(std::string(ProgramTitle) + TitleText(line) + Mp1.MovieFileSnapshot());
        return;
    }
    if (StartsWithNoCase(line, "AUDIO: ")) {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieInfo += "\n";
        Mp1.movieInfo += line;
        return;
    }
    if (StartsWithNoCase(line, "ID_")) {
        if (std::sscanf(line, "ID_VIDEO_WIDTH=%d", &a) == 1)
            Mp1.videoWidth = a;
        if (std::sscanf(line, "ID_VIDEO_HEIGHT=%d", &a) == 1)
            Mp1.videoHeight = a;
        if (!StartsWithNoCase(line, "ID_FILE")) {
            std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
            Mp1.movieInfo += line + 3;
            Mp1.movieInfo += "\n";
        }
        return;
    }
    if (std::sscanf(line, "ANS_TIME_POSITION=%d.%d ", &a, &b) == 2) {
        if (a <= 1313199) {
            Mp1.timePosition = a;
            Port().SetSliderPos(IDC_TIME_SLIDER, a);
        }
        return;
    }
    if (StartsWithNoCase(line, "Exiting... (End of file")) {
        EndOfMovie(line);
        return;
    }
    if (StartsWithNoCase(line, "Starting playback..")) {
        isPaused = false;
        g_playbackStarted = true;
        return;
    }
}

void ApplyFinalChecks(const char* line) {
    int value = 0;
    if (std::sscanf(line, "VO_FULLSCREEN=%d ", &value) == 1) {
        Mp1.fullScreen = value != 0;
        Port().FullScreenAnswered(value != 0);
    }
    float volume = 0;
    if (std::sscanf(line, "ANS_volume=%f", &volume) == 1 && volume >= 0 && volume <= 100) {
        // The window asks after every relative volume step; the sliders show the answer.
        Port().SetSliderPos(IDC_VOLUME_SLIDER, static_cast<int>(volume + 0.5f));
        return;
    }
    float length = 0;
    if (std::sscanf(line, "ANS_LENGTH=%f", &length) == 1) {
        timelenght = length;
        bool noExternalAudio;
        {
            std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
            noExternalAudio = Mp1.externalAudioFile.empty();
        }
        if (noExternalAudio) {
            // The slider takes the whole seconds; a wrapped 16-bit range would be wrong for
            // movies past 18 hours, so the full value is kept.
            int whole = length > 0 && length < 2.0e9f ? static_cast<int>(length) : 0;
            Mp1.movieLength = length;
            Port().SetSliderRange(IDC_TIME_SLIDER, 0, whole);
            Port().SetSliderPageSize(IDC_TIME_SLIDER, 201);
        }
    }
}
} // namespace

void obsluzto_co_mplayer_podeslal(char* line) {
    int seconds = 0;
    if (ParseStatusLine(line, &seconds)) {
        // Several times a second: no strings, and the slider only when the second changes.
        isPaused = false;
        Mp1.timePosition = seconds;
        if (seconds != oldTime) {
            oldTime = seconds;
            if (seconds > 1 && timelenght > static_cast<float>(seconds))
                Port().SetSliderPos(IDC_TIME_SLIDER, seconds);
        }
        return;
    }
    // Answers to the window's own position polls stay out of the transcript, like the polls.
    bool quietAnswer =
        std::strncmp(line, "ANS_TIME_POSITION=", 18) == 0 && TakeQuietPositionAnswer();
    if (std::strcmp(line, "\r") != 0 && !quietAnswer)
        AppendToConsole(line);
    obsluz_subtitles(line);

    if (StartsWithNoCase(line, "XX :") && !StartsWithNoCase(line, "XX :  movie inf")) {
        SubtitleLineShown shown{line + 4};
        PlayerEvents<SubtitleLineShown>().Publish(shown);
        if (shown.taken)
            return;
    }
    ApplyRows(line);
    ApplyFinalChecks(line);
}
