#pragma once
// mplayer reports a movie it cannot open ("Failed to open ...", "Failed to recognize file
// format.", "FATAL: Could not initialize video filters (-vf) or video output (-vo).") and then
// ends as if the movie had simply finished ("Exiting... (End of file)"). The front end would
// take that for the end of a movie and go on to the next; it must show the failure instead.
// This plugin turns that closing line into the fatal-error line, carrying mplayer's own last
// error line as the reason.
#include "tools/wrapper/playerproxy.h"

class OpenFailurePlugin : public WrapperPlugin {
  public:
    // `ownProblem`, when given, holds what the wrapper itself found wrong with the movie (a
    // damaged or compressed RAR set); it is the reason given when mplayer names none.
    explicit OpenFailurePlugin(const std::string* ownProblem = nullptr) : ownProblem_(ownProblem) {}
    bool OnOutput(const std::string& piece, PlayerIo& io) override;

  private:
    const std::string* ownProblem_;
    bool started_ = false; // "Starting playback..." seen
    std::string failure_;  // the last error line before playback, without its terminator
};
