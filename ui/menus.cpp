#include "ui/menus.h"

#include "persist/filters.h"
#include "persist/reopen.h"
#include "persist/translationtable.h"
#include "player/launchtables.h"
#include "ui/accelerators.h"

#include <cstring>

namespace {

struct ExtraItem {
    const char* label; // nullptr: separator
    int command;
};

// Menus the translation table does not walk: their items keep the texts given here or by the
// Parts that fill them at run time.
struct ExtraMenu {
    const char* name;
    std::vector<ExtraItem> items;
};

const std::vector<ExtraMenu>& ExtraMenus() {
    static const std::vector<ExtraMenu> menus = {
        {"File.PlayDVD", {}},
        {"File.Reopen",
         {{"", 2031},
          {"", 2032},
          {"", 2033},
          {"", 2034},
          {"", 2035},
          {nullptr, 0},
          {"Clear", 2036}}},
        {"Debug.Language", {}},
    };
    return menus;
}

const ExtraMenu* FindExtra(const std::string& name) {
    for (const ExtraMenu& menu : ExtraMenus())
        if (name == menu.name)
            return &menu;
    return nullptr;
}

QAction* AddCommand(QMenu* menu, const std::string& label, int command) {
    QAction* action = menu->addAction(QString::fromStdString(label));
    action->setData(command);
    return action;
}

} // namespace

int CommandOf(const QAction* action) {
    bool ok = false;
    int command = action->data().toInt(&ok);
    return ok ? command : 0;
}

QMenu* MenuSet::Build(const std::string& name, const std::string& title, QWidget* parent) {
    QMenu* menu = new QMenu(QString::fromStdString(title), parent);
    menus_[name] = menu;
    bool fromTable = false;
    for (const TranslationGroup& group : TranslationTable()) {
        if (name != group.menu ||
            (group.step != TranslationStep::Menu && group.step != TranslationStep::Popup))
            continue;
        fromTable = true;
        for (const TranslationItem& item : group.items) {
            if (item.key == nullptr)
                menu->addSeparator();
            else if (item.submenu != nullptr)
                menu->addMenu(Build(item.submenu, item.key, menu));
            else
                AddCommand(menu, item.key, item.command);
        }
    }
    if (name == "Subtitle.Font") {
        for (int i = 0; i < kFontCount; ++i)
            AddCommand(menu, font_labels[i], 2050 + i);
    } else if (name == "Subtitle.OpenSubtitles") {
        // The languages of the download list go in after this separator (position 3).
        menu->addSeparator();
    } else if (!fromTable) {
        if (const ExtraMenu* extra = FindExtra(name))
            for (const ExtraItem& item : extra->items) {
                if (item.label == nullptr)
                    menu->addSeparator();
                else
                    AddCommand(menu, item.label, item.command);
            }
    }
    if (name == "Audio.SoundOutputDevice") {
        // The labels of the table are keys; the devices have names of their own.
        for (int i = 0; i < kSoundDeviceCount; ++i)
            if (sound_device_labels[i][0] != '\0')
                for (QAction* action : menu->actions())
                    if (CommandOf(action) == 2037 + i)
                        action->setText(sound_device_labels[i]);
    }
    return menu;
}

namespace {
void Collect(const QMenu* menu, std::vector<QAction*>& out) {
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr)
            Collect(action->menu(), out);
        else if (CommandOf(action) != 0)
            out.push_back(action);
    }
}

void ShowKeysIn(const std::vector<QAction*>& actions) {
    for (QAction* action : actions) {
        QKeySequence key = AcceleratorKeyOf(CommandOf(action));
        if (key.isEmpty())
            continue;
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
}
} // namespace

void MenuSet::BuildMenuBar(QMenuBar* bar) {
    bar_ = bar;
    for (const TranslationGroup& group : TranslationTable()) {
        if (std::strcmp(group.menu, "MenuBar") != 0)
            continue;
        for (const TranslationItem& item : group.items) {
            std::string name = item.submenu;
            // The preset menus are filled by start-up; their places are kept by empty menus.
            QMenu* menu = Build(name, item.key, bar);
            bar->addMenu(menu);
        }
    }
    for (int i = 0; i < kReopenSlots; ++i)
        SetItemTextByCommand(kFirstReopenCommand + i, reopenpozycje[i]);
    ShowKeys();
}

QMenu* MenuSet::BuildPopupMenu1(QWidget* parent) {
    QMenu* menu = Build("Popup1", "", parent);
    std::vector<QAction*> actions;
    Collect(menu, actions);
    ShowKeysIn(actions);
    return menu;
}

void MenuSet::Forget(const std::string& name) {
    for (auto it = menus_.begin(); it != menus_.end();) {
        if (it->first == name || it->first.rfind(name + ".", 0) == 0)
            it = menus_.erase(it);
        else
            ++it;
    }
}

QMenu* MenuSet::Menu(const std::string& name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

std::vector<QAction*> MenuSet::AllActions() const {
    std::vector<QAction*> out;
    if (bar_ != nullptr)
        for (QAction* action : bar_->actions())
            if (action->menu() != nullptr)
                Collect(action->menu(), out);
    return out;
}

std::vector<QAction*> MenuSet::Actions(int command) const {
    std::vector<QAction*> out;
    for (QAction* action : AllActions())
        if (CommandOf(action) == command)
            out.push_back(action);
    return out;
}

void MenuSet::ShowKeys() {
    ShowKeysIn(AllActions());
}

void MenuSet::Check(int command, bool checked) {
    for (QAction* action : Actions(command)) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
}

bool MenuSet::IsChecked(int command) const {
    for (QAction* action : Actions(command))
        if (action->isChecked())
            return true;
    return false;
}

void MenuSet::AddFiltresMenu() {
    QMenu* menu = Menu("Filtres");
    menu->clear();
    for (size_t i = 0; i < user_filtrs2.size() && i < kMaxFiltres; ++i) {
        // A separator still uses up its command number.
        if (user_filtrs2[i].name == kSeparatorPreset)
            menu->addSeparator();
        else
            AddCommand(menu, user_filtrs2[i].name, kFirstFiltresCommand + static_cast<int>(i));
    }
}

void MenuSet::AddUserFiltresMenu(const std::string& manualEditText) {
    QMenu* menu = Menu("UserFiltres");
    menu->clear();
    AddCommand(menu, manualEditText, kManualEditCommand);
    menu->addSeparator();
    for (size_t i = 0; i < user_filtrs.size() && i < kMaxUserFiltres; ++i)
        AddCommand(menu, user_filtrs[i].name, kFirstUserFiltresCommand + static_cast<int>(i));
}

void MenuSet::AddDvdDrives(const std::vector<char>& letters) {
    QMenu* menu = Menu("File.PlayDVD");
    for (char letter : letters)
        AddCommand(menu, std::string(1, letter) + ":\\", 3000 + letter);
}

void MenuSet::AddLanguageMenu(const std::vector<LanguageMenuItem>& items) {
    QMenu* menu = Menu("Debug.Language");
    menu->clear();
    for (const LanguageMenuItem& item : items) {
        QAction* action = menu->addAction(QString::fromStdString(item.name));
        if (item.command != 0)
            action->setData(item.command);
        else
            action->setEnabled(false); // past the commands the menu owns
    }
}

void MenuSet::AddOpenSubtitlesLanguages(const std::vector<std::string>& labels) {
    QMenu* menu = Menu("Subtitle.OpenSubtitles");
    for (size_t i = 0; i < labels.size(); ++i) {
        QList<QAction*> actions = menu->actions();
        QAction* action = new QAction(QString::fromStdString(labels[i]), menu);
        action->setData(2307 + static_cast<int>(i));
        menu->insertAction(actions.size() > 3 ? actions[3] : nullptr, action);
    }
}

void MenuSet::SetItemText(const std::string& menu, int position, const std::string& text) {
    QMenu* target = Menu(menu);
    if (menu == "MenuBar" && bar_ != nullptr) {
        QList<QAction*> actions = bar_->actions();
        if (position >= 0 && position < actions.size())
            actions[position]->setText(QString::fromStdString(text));
        return;
    }
    if (target == nullptr)
        return;
    QList<QAction*> actions = target->actions();
    if (position >= 0 && position < actions.size())
        actions[position]->setText(QString::fromStdString(text));
}

void MenuSet::SetItemTextByCommand(int command, const std::string& text) {
    for (QAction* action : Actions(command))
        action->setText(QString::fromStdString(text));
}
