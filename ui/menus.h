#pragma once
// The menus of the main window, built in code from the translation table (which fixes every
// item's position) and a few menus the table does not walk. Each item carries its command as
// QAction data; a menu is known by its name in the table ("File", "Movie.Speed", "Popup1").
#include "persist/i18l.h"

#include <QMenu>
#include <QMenuBar>
#include <map>
#include <string>
#include <vector>

class MenuSet : public MenuModel {
  public:
    // Fills `bar` with the fixed menus (without the preset menus, which start-up adds).
    void BuildMenuBar(QMenuBar* bar);
    // A fresh right-click menu (3001); the caller shows and deletes it.
    QMenu* BuildPopupMenu1(QWidget* parent);
    // Forgets a menu that is gone (the right-click menu after it was shown).
    void Forget(const std::string& name);

    QMenu* Menu(const std::string& name) const;
    QMenuBar* Bar() const { return bar_; }
    // Every action of the menu bar with `command`.
    std::vector<QAction*> Actions(int command) const;
    // Every action with a command, in menu order (the menu bar and its submenus).
    std::vector<QAction*> AllActions() const;

    // Every item bound to a key shows it (Space, F, Shift+T, ...). The keys are matched by
    // the key table, whatever has the focus; the menu only shows them, and takes them itself
    // only while it is open.
    void ShowKeys();

    void Check(int command, bool checked);
    bool IsChecked(int command) const;

    // Preset and run-time menus of the start-up sequence.
    void AddFiltresMenu();
    void AddUserFiltresMenu(const std::string& manualEditText);
    void AddDvdDrives(const std::vector<char>& letters);
    void AddLanguageMenu(const std::vector<LanguageMenuItem>& items);
    // The OpenSubtitles download languages (2307 + i), each inserted at position 3 of its
    // submenu, so they show in reverse list order.
    void AddOpenSubtitlesLanguages(const std::vector<std::string>& labels);

    // MenuModel
    void SetItemText(const std::string& menu, int position, const std::string& text) override;
    void SetItemTextByCommand(int command, const std::string& text) override;

  private:
    QMenu* Build(const std::string& name, const std::string& title, QWidget* parent);
    QMenuBar* bar_ = nullptr;
    std::map<std::string, QMenu*> menus_;
};

// The action's command, 0 for separators and submenu titles.
int CommandOf(const QAction* action);
