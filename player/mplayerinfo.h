#pragma once
// The current movie, the launch settings, the player command line built from them, and the
// operations that (re)launch the player. One instance, Mp1.
//
// Threads: the user-interface thread and the player-output reader share this object. Scalars
// the reader writes are atomics; the strings are guarded by `mutex` (recursive, so a launch
// may be started while the interpreter holds it). Take Mp1.mutex around any read of a string
// field from another thread, or use the snapshot accessors.
#include <atomic>
#include <mutex>
#include <string>

using WindowHandle = unsigned long; // X11 window id; 0 = none

class MplayerInfo {
  public:
    MplayerInfo();
    MplayerInfo(const MplayerInfo&) = delete;
    MplayerInfo& operator=(const MplayerInfo&) = delete;

    std::string movieFile;
    std::string programFilesDir;
    int osdLevel = 1;
    std::atomic<float> movieLength{0};
    std::atomic<bool> fullScreen{false};
    std::string primeExeRar;
    std::string movieInfo;
    std::string videoInfoLine;
    std::string consoleText;
    std::string extraLaunchOptions;
    std::string subtitleOptions;
    // The subtitle file loaded by hand (Subtitles > Open..., a dropped file) into the running
    // player and the track command the user chose last: every relaunch of the same movie (a
    // thumbnail sheet, an aspect or font change) gives them again; a new movie forgets them.
    std::string loadedSubtitleFile;
    std::string chosenTrackCommand;
    std::string externalAudioFile;
    std::string thumbnailFile;
    std::atomic<int> timePosition{0};
    std::atomic<int> videoWidth{0};
    std::atomic<int> videoHeight{0};
    std::atomic<int> displayWidth{0};
    std::atomic<int> displayHeight{0};
    int panScanZoom = 100;
    int volume = 100;
    std::atomic<int> voiceOverMode{0};
    std::atomic<WindowHandle> videoWindow{0};
    WindowHandle embeddedVideoWindow = 0;
    WindowHandle mainDialog = 0;
    std::string extraOptions;
    int pseudoSlider = 0;
    int alternativeXvidCodec = 1;
    int scaleTempoAudio = 0;
    int muted = 0;
    int safeTimer = 1;
    int stretchVideo = 0;
    int soundDriverNum = 0;
    int fontNum = 0;
    int overwriteChannels = 0;
    int userFilterNum = 0;
    std::atomic<bool> screenshotSeries{false};
    std::string primeCommand;
    std::string builtOptions;

    // Rebuilds primeCommand, primeExeRar and builtOptions from the settings.
    int init();
    std::string primeExe();
    std::string Font();
    bool IsUseGLDriver();
    int SetDefoultOsd();
    // Starts the current movie from its remembered position.
    int LanchMovie();
    // Relaunches the current movie with extra options (normally a start position).
    int LanchMovie(std::string extra);
    int LanchRefresh();
    // Plays another movie in place of the current one from its beginning (the next part, the
    // next playlist entry or file of the folder): the subtitles of the one before are
    // forgotten and the title names the new movie. A relaunch of the same movie (a sheet, an
    // aspect or font change) leaves the title alone.
    int LanchNextMovie(const std::string& next);
    int LanchPanScrenRefresh();
    int LanchAspect(std::string aspect);
    int LanchDVD(char drive);
    int AfterLanchSends();
    // Loading a subtitle file (LoadSUB), streaming a RAR set (RunRar) and the screenshot
    // series' helpers (DeleteScreenShots, RunJava) belong to their features: they are the
    // functions of those names in subtitles/, rar/ and thumbs/ that take the player.

    // Copies of shared strings, safe from any thread.
    std::string ConsoleTextSnapshot();
    std::string MovieFileSnapshot();
    std::string MovieInfoSnapshot();

    std::recursive_mutex mutex;
};

extern MplayerInfo Mp1;

// The pan-scan filter option for a picture of width x height at `zoom` percent.
std::string getpanscren(int width, int height, int zoom);

// Names the DirectSound entries of the sound-output menu (commands 2040..2046) after the
// local audio devices.
void dxsenumerate();
// Per-device callback of dxsenumerate; `context` points at the device counter.
bool DirectSoundEnum(void* guid, const char* description, const char* module, void* context);
extern int device_index;

// Path of the player wrapper the command line names ("<program folder>binary/QUORVAN").
std::string PlayerWrapperPath();
