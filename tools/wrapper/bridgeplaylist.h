#pragma once
// How the bridge's address reaches mplayer. Every local user can read a process's command line
// (/proc/PID/cmdline), so the address, secret and all, goes into a one-line playlist in a
// folder only this user can enter, and mplayer gets "-playlist <file>" instead. mplayer reads
// the list while it parses its command line; the file and its folder are removed once it
// announces the movie, and in any case when this object goes.
#include <string>

class BridgePlaylist {
  public:
    BridgePlaylist() = default;
    ~BridgePlaylist();
    BridgePlaylist(const BridgePlaylist&) = delete;
    BridgePlaylist& operator=(const BridgePlaylist&) = delete;

    // Writes `entry` (one line, no line end in it) to a new 0600 file in a fresh mkdtemp folder
    // of the temporary directory. Returns the file's path, "" when it could not be written.
    std::string Write(const std::string& entry);
    const std::string& path() const { return path_; }
    // Removes the file and its folder (nothing else); harmless when there is none.
    void Remove();

  private:
    std::string folder_;
    std::string path_;
};
