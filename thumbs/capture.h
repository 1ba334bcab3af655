#pragma once
// Steering a player through a screenshot series over its slave pipe. The player is reached
// through a channel (send a command, read a line with a time limit), so the same series runs
// against the program's player (Mp1) and against a player of its own (`quorvan thumbs`).
//
// Each command is sent as soon as the previous screenshot is confirmed; every wait has a
// limit, after which the series ends as when the player exits.
#include "thumbs/thumbitem.h"

#include <functional>
#include <string>
#include <vector>

enum class ReadStatus { Line, Timeout, End };

class CaptureChannel {
  public:
    virtual ~CaptureChannel() = default;
    virtual bool Send(const std::string& command) = 0;
    // One line of the player's output (without its terminator) within `timeoutMs`.
    virtual ReadStatus ReadLine(std::string& line, int timeoutMs) = 0;
};

// A channel on the read end of a player's output pipe (not owned) and a send function.
class FdChannel : public CaptureChannel {
  public:
    FdChannel(int outputFd, std::function<bool(const std::string&)> send);
    bool Send(const std::string& command) override;
    ReadStatus ReadLine(std::string& line, int timeoutMs) override;

  private:
    int fd_;
    std::function<bool(const std::string&)> send_;
    std::string pending_;
    bool ended_ = false;
};

// What the player said before its playback started.
struct PlaybackStart {
    bool started = false;  // "Starting playback..." came
    float length = 0;      // ID_LENGTH= or ANS_LENGTH=, 0 when none came
    std::string videoLine; // the "VIDEO:" line, without terminator
};

constexpr int kStartLimitMs = 30000;
constexpr int kFrameLimitMs = 10000;

// Reads lines until "Starting playback..."; false when the player ended, said "Exiting" or
// stayed silent for `limitMs`.
PlaybackStart WaitForPlaybackStart(CaptureChannel& channel, int limitMs = kStartLimitMs);

// Asks the player for its length ("pausing_keep_force get_time_length"); 0 when no answer
// came within `limitMs`.
float AskMovieLength(CaptureChannel& channel, int limitMs = 5000);

struct SeriesPlan {
    std::vector<int> positions;
    int seekMode = 2;            // "pausing seek %d <mode>": 2 seconds, 1 percent
    bool pauseAfterSeek = false; // ".rmvb" movies: "pause" and 200 ms after every seek
    bool askTimePosition = true; // ask the frame's own time after each screenshot
    // Seconds series with time answers: where a seek would show a tile the previous tile's
    // frame (keyframes far apart), decode forward to the tile's own time (FramePlacer).
    bool decodeForward = true;
    double framesPerSecond = 0; // the movie's, for counting frame steps; 0 unknown
    float movieLength = 0;      // where the last tile's stretch ends; 0 unknown
    bool makeItems = true;      // one thumbitem per frame
    int frameLimitMs = kFrameLimitMs;
    std::string exitingText = "exiting!! before end";
    std::string exitingCaption = "exiting!!";
};

// The plan of a series of `count` frames of a movie whose length the player told (0: it did
// not): seconds from SeriesPositions, or, for a length still unknown, percent positions whose
// frames carry the time the player answers.
SeriesPlan PlanSeries(float length, int count, const PlaybackStart& start);

struct SeriesResult {
    std::vector<thumbitem> frames;
    int shots = 0;           // "*** screenshot" lines seen
    bool endedEarly = false; // the player exited or stopped answering
};

// The series itself: per position a seek, a screenshot and (when asked) the time question;
// the frame's video time is the last "V:" value or time answer seen.
SeriesResult TakeScreenshots(CaptureChannel& channel, const SeriesPlan& plan);
