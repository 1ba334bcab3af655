#include "persist/translate.h"

#include "persist/translationtable.h"
#include "platform/profile.h"
#include "platform/windowport.h"

#include <cstring>

namespace {

void ApplyMenuGroup(const TranslationGroup& group, MenuModel& menus) {
    I18l.SetMenu(&menus, group.menu, group.section);
    for (const TranslationItem& item : group.items) {
        if (item.key != nullptr)
            I18l.renameMenu(item.key);
        else
            I18l.opuscMenu();
    }
}

void ApplyByCommand(const TranslationGroup& group, MenuModel& menus) {
    I18l.SetSection(group.section);
    for (const TranslationItem& item : group.items)
        menus.SetItemTextByCommand(item.command, I18l.get(group.section, item.key));
}

void ApplyControls(TranslationStep step, const ControlTextSetter& setControlText) {
    for (const TranslationGroup& group : TranslationTable()) {
        if (group.step != step)
            continue;
        I18l.SetSection(group.section);
        for (const TranslationItem& item : group.items)
            setControlText(item.command, I18l.get(group.section, item.key));
    }
}

// The submenu groups whose section starts with `prefix` (for example "Menu.Movie.").
void ApplySubmenus(const char* prefix, MenuModel& menus) {
    size_t length = std::strlen(prefix);
    for (const TranslationGroup& group : TranslationTable())
        if (group.step == TranslationStep::Menu && std::strncmp(group.section, prefix, length) == 0)
            ApplyMenuGroup(group, menus);
}

bool IsSubmenuSection(const char* section) {
    return std::strncmp(section, "Menu.Movie.", 11) == 0 ||
           std::strncmp(section, "Menu.Audio.", 11) == 0 ||
           std::strncmp(section, "Menu.Subtitles.", 15) == 0;
}

} // namespace

void TranslateMenu(MenuModel& menus) {
    I18l.SetSection("DEFAULT3LETTERS");
    I18lcStrings.first = I18l.get("DEFAULT3LETTERS", "default_3letters_lang1");
    I18lcStrings.second = I18l.get("DEFAULT3LETTERS", "default_3letters_lang2");
    for (const TranslationGroup& group : TranslationTable()) {
        if (group.step == TranslationStep::ByCommand) {
            ApplyByCommand(group, menus);
            continue;
        }
        if (group.step != TranslationStep::Menu || IsSubmenuSection(group.section))
            continue;
        ApplyMenuGroup(group, menus);
        // Each menu's submenus follow the menu itself.
        if (std::strcmp(group.section, "Menu.Movie") == 0)
            TranslateSubMenuMovie(menus);
        else if (std::strcmp(group.section, "Menu.Audio") == 0)
            TranslateSubMenuAudio(menus);
        else if (std::strcmp(group.section, "Menu.Subtitle") == 0)
            TranslateSubMenuSubtitles(menus);
    }
}

void TranslateSubMenuMovie(MenuModel& menus) {
    ApplySubmenus("Menu.Movie.", menus);
}
void TranslateSubMenuAudio(MenuModel& menus) {
    ApplySubmenus("Menu.Audio.", menus);
}
void TranslateSubMenuSubtitles(MenuModel& menus) {
    ApplySubmenus("Menu.Subtitles.", menus);
}

void TranslatePopupMenu1(MenuModel& menus) {
    for (const TranslationGroup& group : TranslationTable())
        if (group.step == TranslationStep::Popup)
            ApplyMenuGroup(group, menus);
}

void TranslateButions(const ControlTextSetter& setControlText) {
    ApplyControls(TranslationStep::Buttons, setControlText);
}

void TranslateButionsEx(const ControlTextSetter& setControlText) {
    ApplyControls(TranslationStep::Equalizer, setControlText);
}

std::string LanguageChosenText(const std::string& fileName) {
    // The file names its language in its own words; a file without the name is told by its
    // file name. The sentence stays English, so that it reads the same whichever language the
    // user left.
    std::string language =
        GetProfileString("LANG", "Language.Name", "", I18l.File(), kLanguageValueLimit);
    return "Interface language: " + (language.empty() ? fileName : language);
}

void MenuSelectLang(int index, MenuModel& menus, const ControlTextSetter& setControlText) {
    if (index < 0 || static_cast<size_t>(index) >= localiztionfiles.size())
        return;
    std::string name = localiztionfiles[static_cast<size_t>(index)];
    SetLangFile(name);
    TranslateMenu(menus);
    TranslateButions(setControlText);
    MessageBoxS(0, LanguageChosenText(name).c_str(), "OK", 0);
}
