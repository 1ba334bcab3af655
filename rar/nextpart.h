#pragma once
// Finding the next part of a multi-part movie: the next CD folder of a release (CD1 -> cd2,
// "cd a" -> "cd b"), else the next file of the same type in the movie's folder.
#include <string>
#include <vector>

// The next part of `movieFile` (a full path), or "" when there is none. The other volumes of
// the RAR set `movieFile` belongs to are never its next part.
std::string findnextmovie(const std::string& movieFile);

// The first file with extension `ext` in the CD folder that follows `folderName` (a child of
// `parent`), or "" when the folder name is not a known CD folder or the next one has no such
// file. The next folder is found without regard to case; the path returned names it as the
// file system does, so that it can be opened.
std::string findnextmoviecd1(const std::string& parent, const std::string& folderName,
                             const std::string& ext);

// Appends the bare names of the files matching `pattern` (folder + "/*." + extension) to
// `names`, sorted without regard to case. Names, extension and the folder's last component
// match without regard to case; "*." alone matches names without an extension. Folders are
// never listed. True when at least one name matched.
bool Find_files(const std::string& pattern, std::vector<std::string>& names);

// From now on a movie that played to its end is followed by the next playlist entry, else by
// its next part (the launch is posted to the window thread, like every other launch).
void ListenForTheNextMovie();
