#pragma once
// The subtitle tracks the player announces, and the one selected.
#include <string>
#include <vector>

class Subtitle {
  public:
    int id = 0;
    int kind = 0; // 0 VOBSUB, 1 stream of the movie, 2 file loaded by the player, -1 "None"
    std::string fileName;
    std::string language;
    std::string name;
    std::string menuLabel;
};

// Guarded by Mp1.mutex.
extern std::vector<Subtitle> SubtitleList;
extern int zaznaczonaPozycjaSubtitle;
// Player option that loads a downloaded subtitle.
extern std::string SubComend;

// The subtitle-track part of the interpreter, for every line except status lines.
void obsluz_subtitles(char* line);
// Selection 0; the list holds only the "None" entry.
void ClearSubtiteList();
// Forgets loaded subtitles: SubComend and subtitleOptions emptied; extra options that load a
// subtitle are replaced by a single blank.
void ResetSubsLoaded();
