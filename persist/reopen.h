#pragma once
// The five movies opened last, most recent first, shown in the File menu's "Reopen" submenu
// (commands 2031 to 2035, "Clear" 2036) and kept in reopen.p4s of the state folder.
#include <string>

constexpr int kReopenSlots = 5;
constexpr int kFirstReopenCommand = 2031;
constexpr int kReopenClearCommand = 2036;

// Slot 0 is the most recent; an empty slot holds "" or, after "Clear", the text of
// "Reopen.None".
extern std::string reopenpozycje[kReopenSlots];

class reopen {
  public:
    // Loads the file, so the list is filled as soon as the program starts.
    reopen();

    // Reads up to five lines into the slots; a slot without a line keeps its value.
    void load(const std::string& file);
    // Writes the five slots, one per line.
    bool save(const std::string& file);
    void load();
    bool save();
    // Puts `path` first; the list never holds it twice, the fifth slot drops off.
    void pushtofront(const std::string& path);
    // Every slot becomes the language file's "Reopen.None".
    void clear();
    // Shows the slots as the texts of the menu items 2031 to 2035.
    void refresh();
};

extern reopen reopen1;

// The state folder's recent-files file.
std::string ReopenFilePath();
