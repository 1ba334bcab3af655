#pragma once
// Temporary folders and files nobody else can plant or read: a folder made by mkdtemp (0700,
// a name nobody can guess beforehand) and files created in it that never follow a symlink
// and never replace a file already there.
#include <string>

// A fresh folder "<temp>/<prefix>XXXXXX" of this user's only, without a trailing slash; ""
// when none could be made.
std::string MakePrivateFolder(const std::string& prefix);

// Creates `path` with `text` (O_CREAT | O_EXCL | O_NOFOLLOW, mode 0600). False, and nothing
// left behind, when the file was there already or could not be written whole.
bool WriteNewPrivateFile(const std::string& path, const std::string& text);

// Removes `folder` and everything in it, never following a symlink out of it.
void RemovePrivateFolder(const std::string& folder);

// mkdir -p with mode 0700 for every folder it makes (the settings, lists and desktop files of
// one user are nobody else's); folders already there are left as they are. True when `folder`
// is a folder afterwards.
bool MakePrivateFolders(const std::string& folder);
