#pragma once
// Applying a language file to the windows: the menu bar and its menus, the context menu of the
// video window, the main window's buttons and the equaliser dialog's captions. The entries come
// from the translation table; the windows are reached through MenuModel and a control setter.
#include "persist/i18l.h"

#include <functional>
#include <string>

// Sets the text of a control (by control id) of the window being translated.
using ControlTextSetter = std::function<void(int control, const std::string& text)>;

// The default subtitle languages into I18lcStrings, then every menu of the menu bar.
void TranslateMenu(MenuModel& menus);
// The submenus of the Movie, Audio and Subtitle menus (called by TranslateMenu).
void TranslateSubMenuMovie(MenuModel& menus);
void TranslateSubMenuAudio(MenuModel& menus);
void TranslateSubMenuSubtitles(MenuModel& menus);
// The video window's context menu, each time it is shown.
void TranslatePopupMenu1(MenuModel& menus);
// The main window's buttons.
void TranslateButions(const ControlTextSetter& setControlText);
// The equaliser dialog's captions, when it opens.
void TranslateButionsEx(const ControlTextSetter& setControlText);

// What the user is told after choosing the language file `fileName` (now in force):
// "Interface language: " and the language's name from the file ([LANG] Language.Name), or the
// file name when it names none.
std::string LanguageChosenText(const std::string& fileName);
// The language menu's command for `index`: switches to localiztionfiles[index], translates
// the menus and buttons again and tells the user which language is in force. An index without
// a file does nothing.
void MenuSelectLang(int index, MenuModel& menus, const ControlTextSetter& setControlText);
