#pragma once
// Synchronising a subtitle file to the speech of its movie: the sound is decoded, its speech
// detected, the subtitle's lines aligned with it (speechalign.h), and the subtitle written
// again as "<name>.synced.<ext>" in its own format and encoding. Runs on a worker thread;
// nothing here touches a window.
#include "subtitles/movieaudio.h"
#include "subtitles/speechalign.h"
#include "subtitles/subtitleparse.h"

#include <atomic>
#include <functional>
#include <string>

struct SubtitleSyncRequest {
    std::string movie;    // a movie file or a volume of a RAR set; "-" reads movieFd
    int movieFd = -1;     // the movie as a stream (with movie "-")
    std::string subtitle; // the subtitle file
    std::string out;      // where to write; "" = SyncedSubtitleName(subtitle)
    // Written here instead ("<folder>/<file name>.synced.<ext>") when the subtitle's folder
    // cannot be written; "" = no second place.
    std::string fallbackFolder;
    // The extractor that streams compressed RAR sets ("unrar p -inul"); "" = KatalogExe()'s.
    std::string extractor;
    SyncLimits limits;
};

struct SubtitleSyncResult {
    bool written = false;
    bool cancelled = false;
    std::string error; // why nothing was written
    SyncFit fit;
    std::string outPath;
    SubFormat format = SubFormat::None;
    std::string encoding;
    int lines = 0; // cues aligned
    MovieAudioInfo audio;
    double decodeSeconds = 0; // decoding and detecting speech
    double alignSeconds = 0;
};

// Progress 0..1 over the whole job (the decoding is most of it).
SubtitleSyncResult SynchroniseSubtitle(const SubtitleSyncRequest& request,
                                       const std::function<void(double)>& progress,
                                       const std::atomic<bool>* cancel);

// "+2.35 s", "+2.35 s, 25→23.976", "+2.35 s, +6.35 s after 0:52:10" for a found fit.
std::string SyncSummary(const SyncFit& fit);

// The speech track of a movie alone (the measurements and tests use it).
struct SpeechTrackResult {
    MovieAudioResult audio;
    std::vector<float> track;
};
SpeechTrackResult MovieSpeechTrack(const MovieAudioSource& source,
                                   const std::function<void(double)>& progress,
                                   const std::atomic<bool>* cancel);
