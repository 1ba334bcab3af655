#pragma once
// Puts the engine's process-wide state back to what a fresh program has before its settings are
// read, so that each test starts from the same place whatever ran before it in the process.
#include "persist/filters.h"
#include "persist/history.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"

#include <mutex>
#include <string>
#include <vector>

inline void ResetPlayerState() {
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile.clear();
        Mp1.movieInfo.clear();
        Mp1.videoInfoLine.clear();
        Mp1.consoleText.clear();
        Mp1.extraLaunchOptions.clear();
        Mp1.subtitleOptions.clear();
        Mp1.externalAudioFile.clear();
        Mp1.extraOptions.clear();
    }
    Mp1.osdLevel = 1;
    Mp1.movieLength = 0;
    Mp1.fullScreen = false;
    Mp1.timePosition = 0;
    Mp1.videoWidth = Mp1.videoHeight = 0;
    Mp1.displayWidth = Mp1.displayHeight = 0;
    Mp1.panScanZoom = 100;
    Mp1.volume = 100;
    Mp1.voiceOverMode = 0;
    Mp1.videoWindow = 0;
    Mp1.pseudoSlider = 0;
    Mp1.alternativeXvidCodec = 1;
    Mp1.scaleTempoAudio = 0;
    Mp1.muted = 0;
    Mp1.safeTimer = 1;
    Mp1.stretchVideo = 0;
    Mp1.soundDriverNum = Mp1.fontNum = Mp1.overwriteChannels = Mp1.userFilterNum = 0;
    fontsize = 160;
    isPaused = false;
    oldTime = 0;
    timelenght = 0;
    SubComend.clear();
    user_filtrs.clear();
    history1.clear();
}

// Hands one player line to the interpreter the way the reader thread does (a writable copy).
inline void FeedPlayerLine(const std::string& line) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    obsluzto_co_mplayer_podeslal(buffer.data());
}
