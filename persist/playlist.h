#pragma once
// The playlist: an ordered list of movie files that plays on from one file to the next. The
// playlist window edits it on the user-interface thread; the player-output reader thread asks
// it for the next entry at the end of a movie, so every access goes through sp1.mutex.
#include <mutex>
#include <string>
#include <vector>

// One entry of the list.
struct item {
    int number = -1;  // shown in the window's third column; -1 for every entry the system makes
    std::string name; // the file-name part of the path
    std::string path; // the full path, unchanged
    explicit item(const std::string& fullPath);
};

// The list, in playing order. Guarded by sp1.mutex.
extern std::vector<item> playlista;

// The playlist cursor and the edits the window makes. `current` is the index of the entry
// playing now (-1 when none); `modified` tells that the user changed the list, so that the
// exit writes it back.
class sterowanieplaylista {
  public:
    std::recursive_mutex mutex;
    int current = 0;
    int modified = 0;
    // Set once the standing playlist file was read (the first opening of the window).
    int standingLoaded = 0;

    // Appends an entry for `path` (no check of the path); returns 0.
    int add(std::string path);
    int getsize();
    // Advances `current`; the path of the entry it now points at, or "" (and `current` -1)
    // after the last entry. Called on the player-output reader thread.
    std::string getnextfilename();

    // The edits of the window. Indices out of range change nothing.
    // Removes an entry: the playing one leaves no entry playing, one before it moves the
    // cursor back so that it keeps pointing at the playing entry.
    void remove(int index);
    // Exchanges two entries (one step of dragging an entry).
    void exchange(int a, int b);
    // Empties the list.
    void clear();
    // Makes `index` the playing entry; its path, or "" when there is no such entry.
    std::string play(int index);

    // A copy of the list and the cursor, taken under the lock, for painting.
    std::vector<item> snapshot(int* currentOut);
    // Grows by one with every change of the list or the cursor, so windows know to repaint.
    unsigned generation();

  private:
    unsigned generation_ = 0;
};

extern sterowanieplaylista sp1;

// --- Playlist files: plain text, one path a line ---

// The paths a playlist file's text holds. Only absolute local paths longer than 6 characters
// count; comments (also extended M3U "#EXTINF" lines), headers, relative paths and addresses
// are skipped. "file://" URLs are decoded to their paths. CR LF line ends are accepted.
std::vector<std::string> ParsePlaylistText(const std::string& text);

// Adds every accepted line of the file at the end of the list (the list is not emptied
// first). A missing or unreadable file adds nothing. Returns 0.
int LoadPlaylistfile(std::string path);
// Writes the path of every entry, one a line, in list order (replacing the file atomically).
// An unwritable file is skipped. Returns 0.
int SavePlaylistfile(std::string path);

// The name a save dialog's answer is stored under: ".p4s" is appended when the name has no '.'
// anywhere (also in its folders).
std::string PlaylistSaveName(const std::string& chosen);

// The standing playlist file of the state folder.
std::string StandingPlaylistPath();
// Loads the standing playlist, on the first call of a run only.
void LoadStandingPlaylistOnce();
// The exit's write: the standing playlist is written when the list was changed (an emptied
// list as an empty file, once the standing list had been read). Returns whether it wrote.
bool SaveStandingPlaylistIfModified();

// What a folder dropped on the playlist window adds: its movie files (by their endings, any
// case; of a RAR set only the first volume), in name order. Sub-folders are not entered.
std::vector<std::string> MovieFilesOfFolder(const std::string& folder);
