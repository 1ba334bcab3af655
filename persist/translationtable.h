#pragma once
// What the language files translate: for each section, the ordered positions of a menu (or
// the controls of a window, or plain values), each with its key, the command of the item at
// that position and the submenu it opens. The menu walker renames by position; a GUI that
// builds its menus in code can apply the same entries by command or submenu instead.
#include <string>
#include <vector>

// Labels of the items that name the services' web sites. They are keys of the language files
// and, in English, the items' labels themselves, so the menus and the files must agree.
inline constexpr const char* kLabelNapisyInfoPage = "Subtitles of this movie on napisy.info";
inline constexpr const char* kLabelNapiprojektPl = "Download from napiprojekt.pl";
inline constexpr const char* kLabelNapiprojektEn = "Download from napiprojekt.pl (English)";
inline constexpr const char* kLabelOpenSubtitlesLang1 = "Download from opensubtitles.org (lang 1)";
inline constexpr const char* kLabelOpenSubtitlesLang2 = "Download from opensubtitles.org (lang 2)";
inline constexpr const char* kLabelNapiprojektDescription = "Movie description on napiprojekt.pl";
inline constexpr const char* kLabelImdbDescription = "Movie description on imdb.com";
inline constexpr const char* kStringNapiprojektNoSubtitles =
    "napiprojekt.pl has no subtitles for this movie.";
// The About box's text.
inline constexpr const char* kAboutText = "Quorvan Rar Player plays movies straight from RAR sets, "
                                          "finds subtitles and reads them aloud.\n\n"
                                          "Built on MPlayer. Thanks to everyone who sent "
                                          "translations, bug reports and ideas.";

// Which translation function applies a group.
enum class TranslationStep {
    Menu,      // TranslateMenu: the menu bar and its menus, by position
    ByCommand, // TranslateMenu: single items found by command
    Popup,     // TranslatePopupMenu1: the video window's context menu
    Buttons,   // TranslateButions: main-window controls, by control id
    Equalizer, // TranslateButionsEx: the equaliser dialog's controls
    Values,    // values that are not texts of a window (languages, file names, messages)
    Texts,     // texts of the dialogs, pop-ups and messages, looked up where they are shown
               // (I18lc::text); in English each value is its key
};

struct TranslationItem {
    const char* key;     // nullptr: the position is skipped (separator or untranslated item)
    int command;         // command or control id; 0 for an item that opens a submenu
    const char* submenu; // menu name of the submenu this item opens, or nullptr
};

struct TranslationGroup {
    TranslationStep step;
    const char* section; // section of the language file
    const char* menu;    // menu name walked by position ("" when not a menu)
    std::vector<TranslationItem> items;
};

// Every group, in the order the translation applies them.
const std::vector<TranslationGroup>& TranslationTable();

// Every (section, key) pair a complete language file has, in table order, without repeats.
std::vector<std::pair<std::string, std::string>> TranslationKeys();
