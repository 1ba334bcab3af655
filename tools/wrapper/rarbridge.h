#pragma once
// Serves the movie stored in a RAR volume set on 127.0.0.1 over HTTP with byte ranges, so that
// mplayer plays and seeks in it as in a loose file. The movie argument that names any volume of
// a stored set is replaced by a private playlist holding the address; a set that is not stored
// (compressed), or not a set at all, is left to mplayer unchanged after the reader has said
// what is wrong.
//
// The address carries a random secret of 128 bits and is in no command line: other local users
// may reach the port, but are closed at once and could not name the movie anyway. Only the
// bytes really in the volumes are served: a missing or unfinished volume ends the movie there.
#include "rar/rarvolumeset.h"
#include "tools/wrapper/bridgeplaylist.h"
#include "tools/wrapper/playerproxy.h"
#include "tools/wrapper/rangeserver.h"

#include <string>
#include <vector>

class RarBridge {
  public:
    RarBridge() = default;
    ~RarBridge();
    RarBridge(const RarBridge&) = delete;
    RarBridge& operator=(const RarBridge&) = delete;

    // Opens the set `volumeName` belongs to and starts serving its stored movie. Returns the
    // address to give mplayer, or "" when the name is no stored set.
    std::string Serve(const std::string& volumeName);
    void Stop();

  private:
    RarVolumeSet set_;
    RangeServer server_;
};

class RarBridgePlugin : public WrapperPlugin {
  public:
    void Prepare(std::vector<std::string>& mplayerArgs) override;
    bool OnOutput(const std::string& piece, PlayerIo& io) override;
    // True once Prepare found a stored set and serves it.
    bool serving() const { return serving_; }

  private:
    RarBridge bridge_;
    BridgePlaylist playlist_;
    bool serving_ = false;
};

// "%"-encodes a file name for the path of an http address.
std::string UrlPathEncode(const std::string& name);

// 32 hexadecimal digits from the system's random source (128 bits).
std::string RandomSecret();

// The first movie argument that is a FIFO, device, socket or folder, described for the user
// ("" when there is none): mplayer would block on a FIFO without a writer.
std::string RefusedMovieArgument(const std::vector<std::string>& mplayerArgs);
