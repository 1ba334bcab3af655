#pragma once
// Prints each subtitle line as "XX : <text>" (UTF-8) at the moment mplayer shows it, and once
// per movie the "XX :  movie info: " line. Knows the subtitle files mplayer was given or found
// (-sub, sub_load, ID_FILE_SUB_FILENAME), tells mplayer their encoding before it starts
// (-subcp), follows the playback time from status lines or its own position questions (whose
// answers it keeps from the front end), and follows the subtitle commands, seeks and pause.
#include "subtitles/subtitleparse.h"
#include "tools/wrapper/playbackclock.h"
#include "tools/wrapper/playerproxy.h"
#include "tools/wrapper/subtitlefiles.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class SubtitleTrackerPlugin : public WrapperPlugin {
  public:
    // `movieName` is the movie as the front end named it (before a RAR set became an address).
    // `clockMs` is a monotonic clock in milliseconds (tests give their own).
    explicit SubtitleTrackerPlugin(std::string movieName,
                                   std::function<long long()> clockMs = nullptr);

    void Prepare(std::vector<std::string>& mplayerArgs) override;
    bool OnCommand(const std::string& command, PlayerIo& io) override;
    bool OnOutput(const std::string& piece, PlayerIo& io) override;
    void OnTick(PlayerIo& io) override;

    // The -subcp value chosen for mplayer (for the log and tests).
    const std::string& Subcp() const { return subcp_; }

  private:
    enum class Ask { Time, Pause, SubFile, Visibility, Delay };
    struct File {
        std::string path; // as mplayer knows it (a copy, perhaps)
        bool read = false;
        ParsedSubtitles parsed;
        std::vector<SubtitleCue> cues; // in milliseconds at cuesFps
        double cuesFps = -1;
    };

    long long Now() const;
    void Question(Ask what, PlayerIo& io);
    // True when the answer was to our question; `current` tells whether it was asked after
    // the last seek or pause command (an older one describes the movie before it).
    bool TakeAnswer(Ask what, bool* current = nullptr);
    void AskSubtitleState(PlayerIo& io);
    void PollPosition(PlayerIo& io);
    void Forget(); // the lines shown so far no longer count
    void LoadCommand(const std::string& argument, PlayerIo& io);
    File* SelectedFile();
    void ShowLines(PlayerIo& io);
    void Message(const std::string& text, PlayerIo& io);
    std::string PrepareFile(const std::string& path, std::vector<std::string>& log);

    std::string movieName_;
    std::function<long long()> clockMs_;
    std::string subcp_;
    double forcedFps_ = 0;
    SubtitleCopies copies_;

    std::vector<File> files_;
    int pendingFileId_ = -1; // an ID_FILE_SUB_ID whose file name comes next
    int selected_ = 0;       // index in files_, -1 none
    bool visible_ = true;
    double delay_ = 0; // seconds; positive shows the lines later
    double movieFps_ = 0;
    std::string movieLength_;
    int width_ = 0;
    int height_ = 0;

    bool playing_ = false;
    bool infoDue_ = false;
    PlaybackClock clock_;
    long long lastStatusMs_ = -100000;
    long long nextPollMs_ = 0;
    struct Asked {
        Ask what;
        long long at;
        int generation;
    };
    std::deque<Asked> asked_;
    int generation_ = 0;        // counts the seek and pause commands
    std::vector<size_t> shown_; // cues of the selected file now on screen
};
