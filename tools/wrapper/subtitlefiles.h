#pragma once
// The wrapper's side of subtitle files before mplayer reads them: reading them safely, the
// encoding mplayer is told (-subcp), UTF-8 or re-encoded copies in a private folder for files
// in another encoding, and the files mplayer will load by itself next to the movie.
#include "subtitles/encoding.h"

#include <map>
#include <string>
#include <vector>

// The whole file, or "" with `error` set: not a regular file (a folder, a FIFO), unreadable,
// empty or over the size limit of subtitle files.
std::string ReadSubtitleBytes(const std::string& path, std::string* error);

// The -subcp value for a file in `encoding` ("UTF-8", "CP1250", "ISO-8859-2", ...).
std::string SubcpFor(const DetectedEncoding& encoding);

// True when mplayer, told `subcp`, would misread the file: UTF-16, or letters in another
// encoding.
bool NeedsCopy(const DetectedEncoding& encoding, const std::string& subcp);

// The subtitle files mplayer finds by itself for `movie` at -sub-fuzziness `fuzziness`
// (0: same name, 1: names that hold the movie's name, 2: every subtitle file of the folder),
// the likeliest first.
std::vector<std::string> AutoloadCandidates(const std::string& movie, int fuzziness);

// Copies of subtitle files in a private temporary folder (mode 0700), removed with it.
class SubtitleCopies {
  public:
    SubtitleCopies() = default;
    ~SubtitleCopies();
    SubtitleCopies(const SubtitleCopies&) = delete;
    SubtitleCopies& operator=(const SubtitleCopies&) = delete;

    // Writes `bytes` under the original's file name and returns the copy's path ("" when the
    // folder cannot be made).
    std::string Make(const std::string& original, const std::string& bytes);
    // The original of a copy, or `path` itself.
    std::string OriginalOf(const std::string& path) const;

  private:
    std::string folder_;
    std::map<std::string, std::string> originals_;
    int count_ = 0;
};
