#pragma once
// How the player ended, told in words. mplayer that dies (a signal, or Xlib ending it after an
// X error) leaves nothing the front end can show but its own last complaints; this plugin
// keeps them and, once the player has gone, the wrapper prints one crash line that names the
// signal or the exit code and the error line that explains it, in place of the one fixed
// "bad usage of CPU/FPU/RAM" text.
#include "tools/wrapper/playerproxy.h"

#include <string>

// True for a line of mplayer's that reports a failure ("X11 error: BadWindow ...", "Failed to
// recognize file format.", "FATAL: ...", "av_open_input_stream() failed"); status lines and
// the closing "Exiting..." lines are not.
bool IsPlayerErrorLine(const std::string& line);

class CrashReportPlugin : public WrapperPlugin {
  public:
    bool OnOutput(const std::string& piece, PlayerIo& io) override;
    // The line to print once mplayer ended as `result` says; empty when it ended as players do
    // (an "Exiting..." line of its own and no signal).
    std::string CrashLine(const ProxyResult& result) const;
    // The error line that best explains a failure: the first X error (later ones follow from
    // it), else the last error line; empty when mplayer reported none. Once playback has
    // started, only lines since then count.
    std::string Reason() const;

  private:
    std::string firstXError_;
    std::string lastError_;
    std::string signalLine_;    // "MPlayer interrupted by signal 11 in module: ..."
    bool ownCrashLine_ = false; // mplayer printed its own "- MPlayer crashed ..." line
    bool exitingSeen_ = false;
};

// The signal's name as strsignal gives it, with its number ("signal 11 (Segmentation fault)").
std::string DescribeSignal(int signal);
