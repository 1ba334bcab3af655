// The exit writes, the language files applied to every menu and button, the options dialog and
// the start-up's command line.
#include "uifixture.h"

#include "persist/i18l.h"
#include "persist/optins.h"
#include "persist/reopen.h"
#include "persist/translationtable.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "ui/accelerators.h"
#include "ui/console.h"
#include "ui/equaliser.h"
#include "ui/imdbdialog.h"
#include "ui/inputdialog.h"
#include "ui/mainwindow.h"
#include "ui/optionsdialog.h"
#include "ui/thumbdialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <memory>
#include <set>

namespace {

class ExitSequence : public UiTest {};

TEST_F(ExitSequence, WritesEverySettingHistoryAndRecentFilesButNoEmptyPlaylist) {
    Start();
    PlayMovie();
    Optins1.rememberPositions = true;
    Mp1.timePosition = 55;
    Mp1.volume = 42;
    W().Command(2);
    EXPECT_EQ(exits_, std::vector<int>{0});
    std::string settings = ReadFile(SettingsFilePath());
    const std::vector<std::pair<const char*, std::string>> keys = {
        {"Safe_get_timer_anticrash_gui", "1"},
        {"PseudoSlider", "0"},
        {"AlternativeXvidCodec", "1"},
        {"ScaleTempoAudio", "0"},
        {"OSUploadAuto", ""},
        {"OSUploadAutoAutoloaded", ""},
        {"RememberMoviesPosytion", "1"},
        {"Login", ""},
        {"Pass", ""},
        {"Send_Image2NET", "0"},
        {"VoiceOver", "0"},
        {"SoundDriverNum", ""},
        {"volume", "42"},
        {"FontNum", ""},
        {"OverwriteChanels", ""},
        {"UserFiltres", "0"},
        {"osd", ""},
        {"ThumbColumns", ""},
        {"ThumbRows", ""},
        {"ThumbImageWidth", ""}};
    for (const auto& [key, value] : keys) {
        SCOPED_TRACE(key);
        EXPECT_NE(settings.find(std::string(key) + "="), std::string::npos);
        if (!value.empty()) {
            EXPECT_EQ(GetProfileString("quorvan", key, "?", SettingsFilePath(), 498), value);
        }
    }
    EXPECT_NE(ReadFile(StateFile("m.txt")).find("movie.avi"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(StateFile("reopen.p4s")));
    EXPECT_FALSE(std::filesystem::exists(StateFile("playlist1.p4s")));
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadFile(dir_.file("fake.log")).find("stdin: quit 0") != std::string::npos; },
        3000));
}

TEST_F(ExitSequence, EscapeAndTheCloseBoxTakeTheExitWay) {
    Start();
    QTest::keyClick(W().VolumeSlider(), Qt::Key_Escape);
    W().close();
    EXPECT_EQ(exits_, (std::vector<int>{0, 0}));
}

class Translation : public UiTest {
  protected:
    void UseLanguage(const std::string& name) {
        std::filesystem::copy_file(SourceDir() + "/resources/locale/" + name,
                                   dir_.file("locale/" + name));
        WritePrivateProfileStringA("quorvan", "localefile", name.c_str(),
                                   SettingsFilePath().c_str());
    }
    std::vector<std::string> Untranslated() {
        std::vector<std::string> bad;
        auto check = [&](const QString& text) {
            if (text.endsWith(" ?"))
                bad.push_back(text.toStdString());
        };
        for (QAction* action : W().menuBar()->actions())
            check(action->text());
        for (QAction* action : W().Menus().AllActions())
            check(action->text());
        for (QMenu* menu : W().findChildren<QMenu*>())
            check(menu->title());
        for (int id : {2018, 107, 108, 114, 2028})
            check(static_cast<QAbstractButton*>(W().Control(id))->text());
        QMenu* popup = W().BuildTranslatedPopup1();
        for (QAction* action : popup->actions())
            check(action->text());
        W().Menus().Forget("Popup1");
        delete popup;
        return bad;
    }
};

TEST_F(Translation, PolishLeavesNoItemOrButtonUntranslated) {
    if (!std::filesystem::exists(SourceDir() + "/resources/locale/lang_pl_PL.ini"))
        GTEST_SKIP() << "no Polish language file in resources/locale";
    UseLanguage("lang_pl_PL.ini");
    Start();
    EXPECT_EQ(Untranslated(), std::vector<std::string>{});
}

TEST_F(Translation, WithoutLanguageFilesTheTitlesShowTheirKeys) {
    Start();
    QList<QAction*> titles = W().menuBar()->actions();
    ASSERT_EQ(titles.size(), 8);
    const char* keys[] = {"Menu.File",  "Menu.Movie",   "Menu.Audio",        "Menu.Subtitle",
                          "Menu.Debug", "Menu.Filtres", "Menu.User_Filtres", "Menu.Help"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(titles[i]->text().toStdString(), std::string(keys[i]) + " ?");
    EXPECT_EQ(static_cast<QAbstractButton*>(W().Control(2018))->text().toStdString(), "Play ?");
}

TEST_F(Translation, ChoosingALanguageWritesItAtOnceAndRenamesTheMenus) {
    if (!std::filesystem::exists(SourceDir() + "/resources/locale/lang_pl_PL.ini"))
        GTEST_SKIP() << "no Polish language file in resources/locale";
    UseLanguage("lang_pl_PL.ini");
    std::filesystem::copy_file(SourceDir() + "/resources/locale/lang_en_US.ini",
                               dir_.file("locale/lang_en_US.ini"));
    WritePrivateProfileStringA("quorvan", "localefile", "nothing.ini", SettingsFilePath().c_str());
    Start();
    ASSERT_FALSE(Untranslated().empty());
    // Sorted: lang_en_US.ini is 2412, lang_pl_PL.ini 2413.
    EXPECT_TRUE(W().Command(2413));
    EXPECT_EQ(GetProfileString("quorvan", "localefile", "", SettingsFilePath(), 498),
              "lang_pl_PL.ini");
    EXPECT_EQ(Untranslated(), std::vector<std::string>{});
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), "OK|Interface language: Polski");
    EXPECT_TRUE(W().Command(2412));
    EXPECT_EQ(messages_.back(), "OK|Interface language: English");
    // A file that does not name its language is told by its file name.
    WriteFile(dir_.file("locale/lang_xx.ini"), "[LANG]\nMenu.File=X\n");
    localiztionfiles.push_back("lang_xx.ini");
    EXPECT_TRUE(W().Command(2414));
    EXPECT_EQ(messages_.back(), "OK|Interface language: lang_xx.ini");
}

// Every text a window shows, in a fixed order: its title, then each child's captions, items
// and tooltips.
void CollectTexts(QWidget* root, std::vector<std::string>& out) {
    auto add = [&out](const QString& text) { out.push_back(text.toStdString()); };
    add(root->windowTitle());
    if (!root->toolTip().isEmpty())
        add(root->toolTip());
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (!child->toolTip().isEmpty())
            add(child->toolTip());
        if (auto* label = qobject_cast<QLabel*>(child))
            add(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(child))
            add(button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(child))
            add(group->title());
        else if (auto* edit = qobject_cast<QPlainTextEdit*>(child))
            add(edit->toPlainText());
        else if (auto* combo = qobject_cast<QComboBox*>(child))
            for (int i = 0; i < combo->count(); ++i)
                add(combo->itemText(i));
        if (auto* tabs = qobject_cast<QTabWidget*>(child))
            for (int i = 0; i < tabs->count(); ++i)
                add(tabs->tabText(i));
    }
}

void CollectMenu(QMenu* menu, std::vector<std::string>& out) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        out.push_back(action->text().toStdString());
        if (action->menu() != nullptr)
            CollectMenu(action->menu(), out);
    }
}

TEST_F(Translation, EveryVisibleTextOfTheDialogsAndPopUpsDiffersBetweenPolishAndEnglish) {
    if (!std::filesystem::exists(SourceDir() + "/resources/locale/lang_pl_PL.ini"))
        GTEST_SKIP() << "no Polish language file in resources/locale";
    UseLanguage("lang_pl_PL.ini");
    UseLanguage("lang_en_US.ini");
    Start();
    auto collect = [this] {
        std::vector<std::string> texts;
        {
            OptionsDialog options;
            CollectTexts(&options, texts);
        }
        {
            ConsoleWndProc console(&W());
            CollectTexts(&console, texts);
        }
        for (const char* caption : {"Password", "Open URL"}) {
            InitProc2 input(caption, "");
            CollectTexts(&input, texts);
        }
        {
            IMDBnumberWinProc imdb(&W());
            CollectTexts(&imdb, texts);
        }
        {
            InitProcThumbnails thumbnails(&W());
            CollectTexts(&thumbnails, texts);
        }
        ButionPokretla(); // the equaliser, shown
        CollectTexts(EqualiserDialog(), texts);
        ButionPokretla();
        ClearSubtiteList();
        std::unique_ptr<QMenu> sub(W().BuildSubtitlePopup());
        CollectMenu(sub.get(), texts);
        std::unique_ptr<QMenu> popup(W().BuildTranslatedPopup1());
        CollectMenu(popup.get(), texts);
        W().Menus().Forget("Popup1");
        CollectMenu(W().Menus().Menu("Debug"), texts);
        CollectTexts(W().Control(2018), texts);
        return texts;
    };
    std::vector<std::string> english = collect();
    ASSERT_TRUE(W().Command(2413)); // lang_pl_PL.ini
    std::vector<std::string> polish = collect();
    ASSERT_EQ(english.size(), polish.size());
    ASSERT_GT(english.size(), 80u);
    // Names that read the same in both languages; everything else must be Polish.
    const std::set<std::string> same = {"OK",
                                        "OpenSubtitles.com",
                                        "XML-RPC (opensubtitles.org)",
                                        "REST API (opensubtitles.com)",
                                        "gamma",
                                        "4:3",
                                        "16:9",
                                        "> ||",
                                        "lang_en_US.ini",
                                        "lang_pl_PL.ini",
                                        ""};
    for (size_t i = 0; i < english.size(); ++i) {
        if (same.count(english[i]) != 0 && english[i] == polish[i])
            continue;
        EXPECT_NE(english[i], polish[i]) << "text " << i << " stays English in Polish";
        EXPECT_FALSE(QString::fromStdString(polish[i]).endsWith(" ?")) << polish[i];
    }
    const std::vector<std::string> fixed = {"Dialog",
                                            "Opensubtitles",
                                            "Save last movie position",
                                            "also upload automatic loaded subtitles",
                                            "CONSOLA",
                                            "Video equalizer",
                                            "Options..."};
    for (const std::string& text : fixed)
        EXPECT_NE(std::find(english.begin(), english.end(), text), english.end()) << text;
}

TEST_F(Translation, EveryShippedLanguageFitsItsButtonsEvenInTheNarrowestWindow) {
    std::vector<std::string> languages;
    for (const auto& entry : std::filesystem::directory_iterator(SourceDir() + "/resources/locale"))
        if (entry.path().extension() == ".ini") {
            languages.push_back(entry.path().filename().string());
            std::filesystem::copy_file(entry.path(), dir_.file("locale/" + languages.back()));
        }
    std::sort(languages.begin(), languages.end());
    ASSERT_GE(languages.size(), 2u);
    Start();
    W().show();
    for (size_t i = 0; i < languages.size(); ++i) {
        SCOPED_TRACE(languages[i]);
        ASSERT_TRUE(W().Command(2412 + static_cast<int>(i)));
        W().resize(1, W().height()); // as narrow as the window lets itself be
        ProcessEvents();
        std::vector<QRect> row;
        for (int id : {2018, 107, 108, 114, 2028}) {
            auto* button = static_cast<QAbstractButton*>(W().Control(id));
            QString shown = button->text().remove(QRegularExpression("&(?=.)"));
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(shown))
                << shown.toStdString() << " is cut";
            row.push_back(button->geometry());
        }
        row.push_back(W().Control(1011)->geometry());
        row.push_back(W().Control(105)->geometry());
        for (size_t a = 0; a < row.size(); ++a)
            for (size_t b = a + 1; b < row.size(); ++b)
                EXPECT_FALSE(row[a].intersects(row[b])) << "controls " << a << " and " << b;
        EXPECT_LE(row.back().right(), W().VideoParent()->width());
    }
}

TEST_F(Translation, MoreThan39LanguageFilesAreListedButOnlyTheFirst39Selectable) {
    for (int i = 0; i < 41; ++i)
        WriteFile(dir_.file("locale/lang_" + std::to_string(100 + i) + ".ini"), "[LANG]\n");
    Start();
    QMenu* menu = W().Menus().Menu("Debug.Language");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 41);
    int selectable = 0;
    for (QAction* action : menu->actions())
        selectable += action->isEnabled() && CommandOf(action) != 0;
    EXPECT_EQ(selectable, 39);
    EXPECT_EQ(CommandOf(menu->actions().back()), 2412);
}

class StartUp : public UiTest {};

TEST_F(StartUp, SetLangFileStoresTheLanguageAndEndsWithCodeOne) {
    Start("-setlangfile lang_pl_PL.ini");
    EXPECT_TRUE(program_.exitAtOnce);
    EXPECT_EQ(program_.exitCode, 1);
    EXPECT_EQ(GetProfileString("quorvan", "localefile", "", SettingsFilePath(), 498),
              "lang_pl_PL.ini");
    EXPECT_EQ(Launches(), 0);
}

TEST_F(StartUp, AQuotedMovieWithBlanksIsOpened) {
    WriteFile(dir_.file("my movie.avi"), "x");
    Start("\"" + dir_.file("my movie.avi") + "\"");
    EXPECT_TRUE(WaitLaunchWith("my movie.avi"));
    EXPECT_FALSE(program_.exitAtOnce);
}

TEST_F(StartUp, AQuoteNeverClosedTakesTheRestOfTheLineAsTheMovie) {
    WriteFile(dir_.file("my  movie.avi"), "x");
    Start("\"" + dir_.file("my  movie.avi"));
    EXPECT_FALSE(program_.exitAtOnce);
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("my  movie.avi"));
    EXPECT_TRUE(WaitLaunchWith("my  movie.avi"));
}

TEST_F(StartUp, MenusCarryCommandsAndControlsCarryIds) {
    Start();
    for (const char* id : {"2018", "105", "106", "107", "108", "1011", "114", "2028", "2302"})
        EXPECT_NE(W().findChild<QWidget*>(id), nullptr) << id;
    for (int command : {107, 1002, 2, 115, 1038, 2303, 2077, 2062, 2468, 2632, 123, 2036})
        EXPECT_FALSE(W().Menus().Actions(command).empty()) << command;
    EXPECT_TRUE(W().Menus().IsChecked(2017));
    EXPECT_TRUE(W().Menus().IsChecked(1049));
    EXPECT_NE(Mp1.videoWindow.load(), 0u);
}

TEST_F(StartUp, MenusShowTheirKeysAndAKeyStillRunsItsCommandOnce) {
    Start();
    auto shown = [this](int command) {
        std::vector<QAction*> actions = W().Menus().Actions(command);
        return actions.empty() ? std::string("<no item>")
                               : actions.front()->shortcut().toString().toStdString();
    };
    EXPECT_EQ(shown(115), "F");
    EXPECT_EQ(shown(116), "Shift+T");
    EXPECT_EQ(shown(112), "S");
    EXPECT_EQ(shown(1030), "Right");
    EXPECT_EQ(shown(1011), "M");
    EXPECT_EQ(shown(1013), "]");
    EXPECT_EQ(shown(1020), "Shift+X");
    EXPECT_EQ(shown(111), "F1");
    EXPECT_EQ(shown(1025), "Num+*");
    EXPECT_EQ(shown(1053), "") << "compact mode has no key";
    // Every item whose command has a key shows one.
    for (QAction* action : W().Menus().AllActions()) {
        if (!AcceleratorKeyOf(CommandOf(action)).isEmpty()) {
            EXPECT_FALSE(action->shortcut().isEmpty()) << action->text().toStdString();
        }
    }
    std::unique_ptr<QMenu> popup(W().BuildTranslatedPopup1());
    W().Menus().Forget("Popup1");
    EXPECT_EQ(popup->actions().front()->shortcut().toString().toStdString(), "Shift+T");

    // The key table still takes the key, once: the menu item does not fire it a second time.
    PlayMovie();
    NewLines();
    QTest::keyClick(W().VolumeSlider(), Qt::Key_M);
    EXPECT_EQ(WaitLines(1), std::vector<std::string>{"mute"});
    ProcessEvents();
    EXPECT_EQ(NewLines(), std::vector<std::string>{});
}

class Options : public UiTest {};

TEST_F(Options, OkStoresTheBoxesAndAutoloadedFollowsAutomaticUpload) {
    Start();
    Optins1.uploadAuto = false;
    Optins1.uploadAutoloaded = true;
    SetOptionsDialogObserver([](OptionsDialog& dialog) {
        EXPECT_TRUE(dialog.IsChecked(IDC_OPT_UPLOAD_AUTOLOADED));
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("1006")->isEnabled());
        dialog.SetText(IDC_OPT_LOGIN, "user");
        dialog.Press(IDC_OPT_OK);
    });
    W().Command(2632);
    SetOptionsDialogObserver(nullptr);
    EXPECT_FALSE(Optins1.uploadAuto);
    EXPECT_FALSE(Optins1.uploadAutoloaded);
    EXPECT_EQ(Optins1.login, "user");
}

TEST_F(Options, CancelChangesNothing) {
    Start();
    Optins1.login = "kept";
    SetOptionsDialogObserver([](OptionsDialog& dialog) {
        dialog.SetText(IDC_OPT_LOGIN, "changed");
        dialog.Press(IDC_OPT_CANCEL);
    });
    W().Command(2632);
    SetOptionsDialogObserver(nullptr);
    EXPECT_EQ(Optins1.login, "kept");
}

} // namespace
