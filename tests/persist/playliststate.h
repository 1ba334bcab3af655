#pragma once
// The playlist's process-wide list and cursor, as a fresh program has them, and its paths in
// order: shared by the tests of the list and of its window.
#include "persist/playlist.h"

#include <string>
#include <vector>

inline void ResetPlaylistState() {
    playlista.clear();
    sp1.current = 0;
    sp1.modified = 0;
    sp1.standingLoaded = 0;
}

inline std::vector<std::string> PlaylistPaths() {
    std::vector<std::string> paths;
    for (const item& entry : sp1.snapshot(nullptr))
        paths.push_back(entry.path);
    return paths;
}
