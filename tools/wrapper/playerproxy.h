#pragma once
// Runs mplayer as a child: copies slave commands from our stdin to it, its merged output back
// to our stdout line by line (carriage returns kept), and reports a crash. Features such as
// serving RAR sets or printing subtitle lines plug in as WrapperPlugin objects.
#include <memory>
#include <string>
#include <vector>

class PlayerIo {
  public:
    virtual ~PlayerIo() = default;
    // Writes one slave command line (a "\n" is added) to mplayer.
    virtual void SendToPlayer(const std::string& command) = 0;
    // Writes text to the front end, as if mplayer had printed it.
    virtual void Print(const std::string& text) = 0;
};

class WrapperPlugin {
  public:
    virtual ~WrapperPlugin() = default;
    // Before mplayer starts; may change its arguments (for example, the movie argument).
    virtual void Prepare(std::vector<std::string>& /*mplayerArgs*/) {}
    // A slave command from the front end (without "\n") before any plugin sees it: a plugin
    // may rewrite it into what mplayer needs (an absolute seek into a byte position, say).
    virtual void Translate(std::string& /*command*/) {}
    // A slave command from the front end (without "\n"); false keeps it from mplayer.
    virtual bool OnCommand(const std::string& /*command*/, PlayerIo& /*io*/) { return true; }
    // One piece of mplayer's output ending in its '\r' or '\n' (the last piece may have
    // none); false swallows it.
    virtual bool OnOutput(const std::string& /*piece*/, PlayerIo& /*io*/) { return true; }
    // A piece every plugin kept, as the front end is about to be told it: a plugin may correct
    // what mplayer got wrong (a length, a clock). The plugins have seen mplayer's own words.
    virtual void Retell(std::string& /*piece*/) {}
    // About fifty times a second while mplayer runs.
    virtual void OnTick(PlayerIo& /*io*/) {}
};

struct ProxyResult {
    int exitCode = 0;
    bool crashed = false;       // ended by a signal we did not send
    bool endedBySignal = false; // by any signal, ours included
    bool ran = false;           // mplayer was started at all
};

// Splits `data` into pieces that each end with '\r' or '\n', or are 64 KiB long without one;
// the unterminated rest stays in `pending` for the next call. Pure; the pieces joined give the
// input back.
std::vector<std::string> SplitOutputPieces(std::string& pending, const char* data, size_t size);

// Starts `program` with `args` in a process group of its own, proxies until it ends, and returns
// how it ended. At the end of our stdin it is told to quit and its group is killed 1.5 s later
// if it has not; when it ends, whatever it left in its group is killed too. The crash line is
// printed by the caller; a program that cannot start is reported as a fatal error.
ProxyResult RunPlayerProxy(const std::string& program, std::vector<std::string> args,
                           std::vector<std::unique_ptr<WrapperPlugin>>& plugins);
