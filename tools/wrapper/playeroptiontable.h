#pragma once
// Which mplayer options take a value. The wrapper needs it to tell the movie from option values
// among the front end's words: an option wrongly taken for one with a value swallows the movie.
// The installed mplayer says it best (`mplayer -list-options`); its answer is kept in a cache
// file keyed by the binary's path and modification time, and a hand-written list of flags is
// used only when the player cannot be asked.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class PlayerOptionTable {
  public:
    // The hand-written flags; every other option is taken to have a value.
    static PlayerOptionTable Fallback();
    // The table of `mplayer -list-options` output; nothing when the output holds no table.
    static std::optional<PlayerOptionTable> FromListOptions(const std::string& output);

    // `option` as written on the command line, with its '-' ("-framedrop").
    bool TakesValue(const std::string& option) const;
    // True for a table learned from the player itself.
    bool Learned() const { return learned_; }

  private:
    bool learned_ = false;
    std::map<std::string, bool> exact_;                  // name -> takes a value
    std::vector<std::pair<std::string, bool>> prefixes_; // "vf*" wildcards and cut names
    std::set<std::string> subconfigs_;                   // "input" of "input:file=..."
};

// The table the option translation uses: the fallback until SetPlayerOptionTable (the
// wrapper sets it once at start, before any thread runs).
const PlayerOptionTable& CurrentPlayerOptionTable();
void SetPlayerOptionTable(PlayerOptionTable table);

// The table of `program` (a path, or a name looked up on PATH): read from `cacheFile` when it
// was written for this very binary, else learned by running `program -list-options` (for at
// most `timeoutMs`) and stored there. The fallback when the player cannot be asked.
PlayerOptionTable LearnPlayerOptions(const std::string& program, const std::string& cacheFile,
                                     int timeoutMs);
