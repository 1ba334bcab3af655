#pragma once
// A player of its own for taking frames, beside (not instead of) the one that plays the movie:
// the wrapper on the movie with `-vo null -nosound -benchmark` and the capture filters, in a
// private folder where its screenshots land. Stored RAR sets reach it through the wrapper's own
// bridge, as they reach the playing player through its own.
//
// When we go, its standard input closes and the wrapper quits mplayer (nothing is orphaned).
#include "platform/process.h"

#include <string>
#include <vector>

// A fresh private folder (mkdtemp, 0700) under the temporary directory, removed with its files
// at the end. path() is "" when none could be made.
class ShotFolder {
  public:
    explicit ShotFolder(const std::string& prefix = "quorvan-thumbs-");
    ~ShotFolder();
    ShotFolder(const ShotFolder&) = delete;
    ShotFolder& operator=(const ShotFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Why `path` is no movie file a capture player can be given ("" when it is one): a FIFO would
// keep the player waiting for a writer, a folder or device is no movie.
std::string NotAMovieFile(const std::string& path);

// "scale=W:-3,format=bgr24,screenshot": frames `frameWidth` wide (0: the movie's own width),
// converted so that every codec gives clean pictures at any width.
std::string CaptureFilters(int frameWidth);

struct CapturePlayerOptions {
    std::string movie;
    int frameWidth = 0;
    std::string folder;       // its working folder, where the shots land
    bool lowPriority = false; // nice 10: the playing movie goes first
    // Paused on its first frame, for players that wait for requests; a series seeks at once.
    bool startPaused = false;
    // Arguments put before the filters (decoder options of a player whose pictures are small).
    std::vector<std::string> extraArgs;
};

// The wrapper's command line for `options` (every value quoted by QuoteCommandLineArg).
std::string CapturePlayerCommandLine(const CapturePlayerOptions& options);

class CapturePlayer {
  public:
    explicit CapturePlayer(const CapturePlayerOptions& options);
    // Tells it to quit, then ends it by force if it has not gone within a few seconds.
    ~CapturePlayer();
    CapturePlayer(const CapturePlayer&) = delete;
    CapturePlayer& operator=(const CapturePlayer&) = delete;

    bool started() const { return child_.ok(); }
    pid_t pid() const { return child_.pid; }
    // One slave command line; false when the player has gone or its pipe stays full.
    bool Send(const std::string& command);
    int output() const { return child_.outputFd; }
    // Ends it at once (SIGTERM; the wrapper takes mplayer with it). Safe from another thread
    // while the owner reads its output: the output then ends.
    void Terminate();

  private:
    SpawnResult child_;
};
