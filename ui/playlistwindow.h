#pragma once
// The playlist window. Until the playlist itself is built this is an empty window with the
// playlist's caption, so the button and the menu item already open something.

// Opens (or raises) the playlist window.
void StartPlaylist();
// The exit command's playlist write: a playlist without entries writes no file.
void SavePlaylistOnExit();
