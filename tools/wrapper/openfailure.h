#pragma once
// mplayer reports a movie it cannot open with "Failed to open ..." and then ends as if the movie
// had simply finished ("Exiting... (End of file)"). The front end would take that for the end of
// a movie and go on to the next; it must show the failure instead. This plugin turns that
// closing line into the fatal-error line, carrying mplayer's own reason.
#include "tools/wrapper/playerproxy.h"

class OpenFailurePlugin : public WrapperPlugin {
  public:
    bool OnOutput(const std::string& piece, PlayerIo& io) override;

  private:
    bool started_ = false; // "Starting playback..." seen
    std::string failure_;  // the last "Failed to open ..." line, without its terminator
};
