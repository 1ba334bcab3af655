#pragma once
// The front end learns the full-screen state from "VO_FULLSCREEN=" lines, which stock mplayer
// does not print when it draws into our window. After every full-screen command this plugin
// asks mplayer for the state and answers with that line in its place.
#include "tools/wrapper/playerproxy.h"

class FullscreenPlugin : public WrapperPlugin {
  public:
    bool OnCommand(const std::string& command, PlayerIo& io) override;
    bool OnOutput(const std::string& piece, PlayerIo& io) override;

  private:
    int pending_ = 0; // questions asked whose answers have not come yet
};

// True for "vo_fullscreen" with any of the slave command prefixes and arguments.
bool IsFullscreenCommand(const std::string& command);
