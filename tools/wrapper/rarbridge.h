#pragma once
// Serves the movie stored in a RAR volume set on 127.0.0.1 over HTTP with byte ranges, so that
// mplayer plays and seeks in it as in a loose file. The movie argument that names any volume of
// a stored set is replaced by the address; a set that is not stored (compressed), or not a set
// at all, is left to mplayer unchanged after the reader has said what is wrong.
#include "rar/rarvolumeset.h"
#include "tools/wrapper/playerproxy.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

class RarBridge {
  public:
    RarBridge();
    ~RarBridge();
    RarBridge(const RarBridge&) = delete;
    RarBridge& operator=(const RarBridge&) = delete;

    // Opens the set `volumeName` belongs to and starts serving its stored movie. Returns the
    // address to give mplayer, or "" when the name is no stored set.
    std::string Serve(const std::string& volumeName);
    void Stop();

  private:
    // False when a volume the stream needs is missing: the stream ends there instead of
    // handing mplayer a run of zeros.
    bool VolumeAvailable(int64_t volume);

    RarVolumeSet set_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
};

class RarBridgePlugin : public WrapperPlugin {
  public:
    void Prepare(std::vector<std::string>& mplayerArgs) override;

  private:
    RarBridge bridge_;
};

// "%"-encodes a file name for the path of an http address.
std::string UrlPathEncode(const std::string& name);
