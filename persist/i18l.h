#pragma once
// Language files: the texts of the menus, buttons and a few messages, looked up by key in the
// chosen ini file of the "locale" folder. A key missing from the file (or a missing file)
// shows as the key followed by " ?", so an untranslated item still says what it is.
#include <mutex>
#include <string>
#include <vector>

// Longest value taken from a language file.
constexpr size_t kLanguageValueLimit = 998;

// Menus whose items are renamed by position. The GUI builds its menus in code and implements
// this; `menu` is a menu name of the translation table ("MenuBar", "File", "Movie.Speed" ...).
class MenuModel {
  public:
    virtual ~MenuModel() = default;
    // Sets the text of the item at `position` of `menu`; a position the menu lacks is ignored.
    virtual void SetItemText(const std::string& menu, int position, const std::string& text) = 0;
    // Sets the text of the item with command `command`, wherever it is.
    virtual void SetItemTextByCommand(int command, const std::string& text) = 0;
};

class I18lc {
  public:
    // Points the reader at a language file (full path).
    void SetFile(const std::string& path);
    std::string File() const;
    void SetSection(const std::string& section);
    std::string Section() const;

    // The value of `key` in the current section, at most kLanguageValueLimit characters, or
    // the key followed by " ?".
    std::string get(const std::string& key);
    // The same lookup in the section named, leaving the current section alone: what threads
    // other than the window thread use, and the menu translation itself, so that neither
    // changes the section under the other.
    std::string get(const std::string& section, const std::string& key) const;
    // get() in section "Strings"; the section stays "Strings" afterwards. Safe from any thread:
    // the lookup names its section.
    std::string getString(const std::string& key);
    // The texts of the dialogs, pop-ups and messages past the menus: `key` is the English text
    // itself, so a language file from before these sections (or none at all) shows English
    // rather than "key ?". Safe from any thread.
    std::string text(const std::string& section, const std::string& key) const;

    // Starts renaming the items of `menu` from position 0, with the texts of the current
    // section.
    void SetMenu(MenuModel* model, const std::string& menu);
    // The same with the texts of `section` (which also becomes the current section).
    void SetMenu(MenuModel* model, const std::string& menu, const std::string& section);
    // Renames the item at the current position to the text of `key` (in the section current
    // at SetMenu) and moves to the next one.
    void renameMenu(const std::string& key);
    // Moves to the next position without renaming (a separator or an item keeping its text).
    void opuscMenu();
    int Position() const;

  private:
    mutable std::mutex mutex_;
    std::string file_;
    std::string section_ = "LANG";
    int position_ = 0;
    MenuModel* model_ = nullptr;
    std::string menu_;
    std::string menuSection_;
};

extern I18lc I18l;

// A text as a key of a language file: an ini line holds no line break, so a text of several
// lines is written with "\n" for each (and its value likewise).
std::string LanguageFileKey(const std::string& text);

// The two default subtitle languages (three-letter codes) a language file proposes.
class I18lc_str_class {
  public:
    std::string first = "eng";
    std::string second = "pol";
};

extern I18lc_str_class I18lcStrings;

// Names of the language files found at start-up, in the order the menu numbers them.
extern std::vector<std::string> localiztionfiles;

// First command of the language menu; at most kMaxLanguageCommands files can be chosen.
constexpr int kFirstLanguageCommand = 2412;
constexpr int kMaxLanguageCommands = 39;

// The names of the regular "*.ini" files of `folder`, sorted, so that the menu's order does
// not depend on the file system.
std::vector<std::string> FindLanguageFiles(const std::string& folder);

struct LanguageMenuItem {
    std::string name;
    int command; // 0: shown but not selectable (past the commands the menu owns)
};

// The language menu as it shows: each file is inserted at the top with command 2412 + its
// index, so the list appears reversed. Files past the 39th keep their place in the menu but no
// command, instead of taking the commands of other menus.
std::vector<LanguageMenuItem> LanguageMenuItems(const std::vector<std::string>& files);

// Stores `name` as the language choice in the settings at once and points I18l at it.
void SetLangFile(const std::string& name);
