#pragma once
// Video filter presets: named fragments of the player command line, offered in the menus
// "&Filtres" (the program's presets) and "User Filtres" (presets the user edits). Both lists
// are read from text files whose names the language file gives (section "File").
#include <string>
#include <vector>

struct filtr_item {
    std::string name;
    std::string options;
};

// Presets of the menu "User Filtres"; the chosen one is Mp1.userFilterNum.
extern std::vector<filtr_item> user_filtrs;
// Presets of the menu "&Filtres"; a preset named "XXX" stands for a separator.
extern std::vector<filtr_item> user_filtrs2;

// Command numbers the menus give the presets, and so the most presets each menu can hold.
constexpr int kFirstFiltresCommand = 1500;
constexpr size_t kMaxFiltres = 101; // 1500 to 1600
constexpr int kFirstUserFiltresCommand = 2100;
constexpr size_t kMaxUserFiltres = 199; // 2100 to 2298
constexpr int kManualEditCommand = 2300;

// The preset name that the "&Filtres" menu shows as a separator.
constexpr const char* kSeparatorPreset = "XXX";

// The presets of a preset file's text: "DES:" names the presets that follow, each "FIL:" line
// adds one with the rest of its line as options (both prefixes in any case); lines shorter
// than 6 characters and all other lines are ignored. At most `limit` presets are taken.
std::vector<filtr_item> ParsePresetFile(const std::string& content, size_t limit);

// Appends the presets of the file named by get(key) in section "File" of the language file to
// `list` (the single preset "None!" with options " " when it stays empty), then rebuilds the
// player configuration.
void loaduserfiltres2(const std::string& key, std::vector<filtr_item>& list,
                      size_t limit = kMaxUserFiltres);
void loadfiltres();
void loaduserfiltres();
// Opens the user preset file in the user's editor. Without a writable program folder the file
// is first copied to the state folder, where the user can change it.
void editfiltres();

// The user preset file to open for editing: `stateFolder` + name, copied there from
// `programFolder` first when the two differ and the user has no copy yet. "" when there is
// no file to edit.
std::string PrepareUserPresetFile(const std::string& programFolder, const std::string& stateFolder,
                                  const std::string& name);

// Where a preset file is read from: the user's copy in the state folder when there is one,
// else the file beside the program.
std::string PresetFilePath(const std::string& name);
