#pragma once
// Where the user stopped watching each movie: a most-recent-first list of (path, seconds),
// kept in the file m.txt of the state folder between runs.
//
// Threads: the player-output reader stores position 0 when a movie ends while the user
// interface reads and stores positions, so every operation holds the list's mutex.
#include <list>
#include <mutex>
#include <string>
#include <vector>

struct hist_posytion {
    std::string path;
    int position = 0;
};

class history {
  public:
    history() = default;

    // Position of the first entry for `path` (exact comparison), 0 when there is none.
    int get(const std::string& path);
    // Remembers `position` for `path` at the front; 0 or less forgets the movie. Only absolute
    // local paths are remembered (not addresses, discs or "-"); the list keeps `maxsize`.
    void add(const std::string& path, int position);
    // Removes the first entry for `path`.
    void ereasethis(const std::string& path);
    // Drops the oldest entries past `maxsize`.
    void fixsize();
    // Forgets every movie.
    void clear();
    // Writes the list to `file` when the user keeps positions between runs (Optins1).
    void serialize(const std::string& file);
    // Appends the entries of `file` (not trimmed); a missing file changes nothing.
    void deserialize(const std::string& file);
    // The default file, m.txt in the state folder.
    void serialize();
    void deserialize();

    std::vector<hist_posytion> Entries() const;

    int maxsize = 50;

  private:
    void EraseLocked(const std::string& path);
    void FixSizeLocked();
    mutable std::mutex mutex_;
    std::list<hist_posytion> list_;
};

extern history history1;

// The position worth remembering for a movie left at `position` of its `length` seconds (0
// while unknown): within the last 10 seconds (the credits) it is 0, so that the movie starts
// from the beginning next time instead of ending at once and going on to the next file.
int PositionToRemember(int position, float length);

// Whether `path` is one the history remembers: longer than 3 characters, absolute and local,
// and storable as one line of the file.
bool IsRememberablePath(const std::string& path);

// The entries a history file holds, read until its end or the first position that is not a
std::vector<hist_posytion> ParseHistory(const std::string& content);

// The file's text for `entries`: per entry its path line and its position line.
std::string FormatHistory(const std::vector<hist_posytion>& entries);
