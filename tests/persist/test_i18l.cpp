#include "persist/i18l.h"
#include "persist/translate.h"
#include "persist/translationtable.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace {

std::string CommandKey(int command) {
    std::string key = std::to_string(command);
    key.insert(key.begin(), '#');
    return key;
}

// Records what the translation does to the menus: "menu@position" or "#command" -> text.
class RecordingMenus : public MenuModel {
  public:
    void SetItemText(const std::string& menu, int position, const std::string& text) override {
        texts[menu + "@" + std::to_string(position)] = text;
    }
    void SetItemTextByCommand(int command, const std::string& text) override {
        texts[CommandKey(command)] = text;
    }
    std::map<std::string, std::string> texts;
};

class Language : public ::testing::Test {
  protected:
    void SetUp() override {
        SetProgramFolder(dir.path());
        mkdir(dir.file("locale").c_str(), 0755);
    }
    void TearDown() override { SetProgramFolder(""); }
    TempDir dir;
};

} // namespace

TEST_F(Language, MissingKeysSectionsAndFilesShowTheKeyWithAQuestionMark) {
    WriteFile(dir.file("locale/x.ini"), "[Menu.Subtitles.Delay]\nNone=Brak\nEmpty=\n"
                                        "[Strings]\nReopen.None=(pusto)\n");
    I18l.SetFile(dir.file("locale/x.ini"));
    I18l.SetSection("Menu.Subtitles.Delay");
    EXPECT_EQ(I18l.get("None"), "Brak");
    EXPECT_EQ(I18l.get("Empty"), "") << "a present but empty value is shown empty";
    EXPECT_EQ(I18l.get("Up"), "Up ?");
    I18l.SetSection("Menu.Subtitles.VoiceOver");
    EXPECT_EQ(I18l.get("None"), "None ?");
    EXPECT_EQ(I18l.getString("Reopen.None"), "(pusto)");
    EXPECT_EQ(I18l.Section(), "Strings") << "the last section used stays";
    I18l.SetFile(dir.file("locale/absent.ini"));
    EXPECT_EQ(I18l.getString("Reopen.None"), "Reopen.None ?");
}

TEST_F(Language, LongValuesAreCutTo998Characters) {
    WriteFile(dir.file("locale/long.ini"), "[LANG]\nMenu.File=" + std::string(5000, 'x') +
                                               "\nMenu.Movie=" + std::string(998, 'y') + "\n");
    I18l.SetFile(dir.file("locale/long.ini"));
    I18l.SetSection("LANG");
    EXPECT_EQ(I18l.get("Menu.File"), std::string(998, 'x'));
    EXPECT_EQ(I18l.get("Menu.Movie"), std::string(998, 'y'));
}

TEST_F(Language, RenamingWalksTheMenuByPositionAndSkips) {
    WriteFile(dir.file("locale/x.ini"), "[Menu.Movie.OSD]\nOSD disabled=Wyłączone\n");
    I18l.SetFile(dir.file("locale/x.ini"));
    I18l.SetSection("Menu.Movie.OSD");
    RecordingMenus menus;
    I18l.SetMenu(&menus, "Movie.OSD");
    I18l.renameMenu("OSD disabled");
    I18l.opuscMenu();
    I18l.renameMenu("OSD swich");
    EXPECT_EQ(menus.texts, (std::map<std::string, std::string>{{"Movie.OSD@0", "Wyłączone"},
                                                               {"Movie.OSD@2", "OSD swich ?"}}));
    EXPECT_EQ(I18l.Position(), 3);
}

TEST_F(Language, WithoutAFileEveryTextIsItsKeyWithAQuestionMark) {
    I18l.SetFile(dir.file("locale/none.ini"));
    RecordingMenus menus;
    TranslateMenu(menus);
    EXPECT_EQ(menus.texts["MenuBar@0"], "Menu.File ?");
    EXPECT_EQ(menus.texts["MenuBar@7"], "Menu.Help ?");
    EXPECT_EQ(menus.texts[CommandKey(2036)], "Menu.File.Reopen.Clear ?");
    EXPECT_EQ(I18lcStrings.first, "default_3letters_lang1 ?");
    EXPECT_EQ(I18lcStrings.second, "default_3letters_lang2 ?");
    // The VoiceOver submenu shows its English labels followed by " ?".
    EXPECT_EQ(menus.texts["Subtitle.VoiceOver@0"], "None ?");
    EXPECT_EQ(menus.texts["Subtitle.VoiceOver@8"], "Expressivo System Codepage ?");
    // Skipped positions are left alone.
    EXPECT_EQ(menus.texts.count("Movie.PanScreen@1"), 0u);
    EXPECT_EQ(menus.texts["Movie.PanScreen@2"], "100% (DirectX) ?");
    EXPECT_EQ(menus.texts.count("Subtitle@13"), 0u);
    EXPECT_EQ(menus.texts["Subtitle@14"], std::string(kLabelOpenSubtitlesLang1) + " ?");
    EXPECT_EQ(menus.texts.count("Popup1@0"), 0u) << "the context menu has its own function";
}

namespace {
// A language file whose every value says where it belongs: "<section|key>".
std::string SelfNamingLanguageFile() {
    std::string content;
    std::string section;
    for (const auto& [sec, key] : TranslationKeys()) {
        if (sec != section)
            content += "[" + sec + "]\n";
        section = sec;
        content += key + "=<" + sec + "|" + key + ">\n";
    }
    return content + "[Worker]\nWorker.Text=<Worker|Worker.Text>\n";
}
} // namespace

TEST_F(Language, DialogTextsFallBackToEnglishAndKeepTheirLineBreaks) {
    WriteFile(dir.file("locale/pl.ini"),
              "[Dialog.Input]\nPassword=Hasło\n[Messages]\nNo upload!\\nIMDB?=Nie!\\nIMDB?\n");
    I18l.SetFile(dir.file("locale/pl.ini"));
    EXPECT_EQ(I18l.text("Dialog.Input", "Password"), "Hasło");
    EXPECT_EQ(I18l.text("Dialog.Input", "Open URL"), "Open URL") << "no \" ?\" for these texts";
    EXPECT_EQ(I18l.text("Messages", "No upload!\nIMDB?"), "Nie!\nIMDB?");
    EXPECT_EQ(I18l.text("Messages", "Two\nlines"), "Two\nlines");
    I18l.SetFile(dir.file("locale/none.ini"));
    EXPECT_EQ(I18l.text("Dialog.Input", "Password"), "Password");
}

TEST_F(Language, EveryMenuPositionOfTheTableIsRenamedOnce) {
    WriteFile(dir.file("locale/all.ini"), SelfNamingLanguageFile());
    I18l.SetFile(dir.file("locale/all.ini"));
    RecordingMenus menus;
    TranslateMenu(menus);
    TranslatePopupMenu1(menus);
    std::map<int, std::string> buttons;
    TranslateButions([&](int control, const std::string& text) { buttons[control] = text; });
    TranslateButionsEx([&](int control, const std::string& text) { buttons[control] = text; });

    size_t expected = 0;
    for (const TranslationGroup& group : TranslationTable()) {
        for (size_t position = 0; position < group.items.size(); ++position) {
            const TranslationItem& item = group.items[position];
            if (item.key == nullptr)
                continue;
            std::string text = std::string("<") + group.section + "|" + item.key + ">";
            switch (group.step) {
            case TranslationStep::Menu:
            case TranslationStep::Popup:
                ++expected;
                EXPECT_EQ(menus.texts[std::string(group.menu) + "@" + std::to_string(position)],
                          text);
                break;
            case TranslationStep::ByCommand:
                ++expected;
                EXPECT_EQ(menus.texts[CommandKey(item.command)], text);
                break;
            case TranslationStep::Buttons:
            case TranslationStep::Equalizer:
                EXPECT_EQ(buttons[item.command], text);
                break;
            case TranslationStep::Values:
            case TranslationStep::Texts:
                break;
            }
        }
    }
    EXPECT_EQ(menus.texts.size(), expected) << "nothing beyond the table is renamed";
    EXPECT_EQ(I18lcStrings.first, "<DEFAULT3LETTERS|default_3letters_lang1>");
    EXPECT_EQ(buttons.size(), 14u);
}

TEST_F(Language, AWorkersLookupsNeverChangeTheMenuTranslation) {
    WriteFile(dir.file("locale/all.ini"), SelfNamingLanguageFile());
    I18l.SetFile(dir.file("locale/all.ini"));
    RecordingMenus alone;
    TranslateMenu(alone);

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    // What a worker asks: its own section by name, and the "Strings" lookups.
    std::thread worker([&] {
        while (!stop) {
            wrong += I18l.get("Worker", "Worker.Text") != "<Worker|Worker.Text>";
            I18l.getString("Worker.Text");
        }
    });
    for (int round = 0; round < 10; ++round) {
        RecordingMenus menus;
        TranslateMenu(menus);
        ASSERT_EQ(menus.texts, alone.texts) << "round " << round;
    }
    stop = true;
    worker.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(Language, FilesAreListedSortedAndTheMenuShowsThemReversed) {
    for (const char* name : {"C.ini", "A.ini", "B.ini", "notes.txt", "x.ini.bak"})
        WriteFile(dir.file(std::string("locale/") + name), "[LANG]\n");
    mkdir(dir.file("locale/folder.ini").c_str(), 0755);
    std::vector<std::string> files = FindLanguageFiles(dir.file("locale"));
    EXPECT_EQ(files, (std::vector<std::string>{"A.ini", "B.ini", "C.ini"}));
    std::vector<LanguageMenuItem> items = LanguageMenuItems(files);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, "C.ini");
    EXPECT_EQ(items[0].command, 2414);
    EXPECT_EQ(items[1].command, 2413);
    EXPECT_EQ(items[2].name, "A.ini");
    EXPECT_EQ(items[2].command, 2412);
    EXPECT_TRUE(FindLanguageFiles(dir.file("missing")).empty());
}

TEST_F(Language, FilesPastTheThirtyNinthAreShownButCannotTakeOtherCommands) {
    std::vector<std::string> files;
    for (int i = 0; i < 45; ++i)
        files.push_back("lang" + std::to_string(100 + i) + ".ini");
    std::vector<LanguageMenuItem> items = LanguageMenuItems(files);
    ASSERT_EQ(items.size(), 45u);
    for (const LanguageMenuItem& item : items) {
        int index = std::stoi(item.name.substr(4, 3)) - 100;
        EXPECT_EQ(item.command, index < 39 ? 2412 + index : 0) << item.name;
    }
}

TEST_F(Language, ChoosingALanguageStoresItAtOnceAndSaysWhichFile) {
    WriteFile(dir.file("locale/A.ini"), "[LANG]\nMenu.File=Plik A\n");
    WriteFile(dir.file("locale/B.ini"),
              "[LANG]\nMenu.File=Plik B\nLanguage.Name=Polski\n[Butions]\nPlay=Graj\n");
    WriteFile(dir.file("QuorvanPlayer.ini"), "[quorvan]\nvolume=40\n");
    localiztionfiles = FindLanguageFiles(dir.file("locale"));
    RecorderPort port;
    ScopedPort scoped(&port);
    RecordingMenus menus;
    std::map<int, std::string> buttons;
    auto setButton = [&](int control, const std::string& text) { buttons[control] = text; };

    MenuSelectLang(1, menus, setButton);
    EXPECT_EQ(menus.texts["MenuBar@0"], "Plik B");
    EXPECT_EQ(buttons[2018], "Graj");
    EXPECT_TRUE(port.Has("message:OK:Interface language: Polski"));
    std::string settings = ReadFile(dir.file("QuorvanPlayer.ini"));
    EXPECT_EQ(ProfileLookup(settings, "quorvan", "localefile"), "B.ini");
    EXPECT_EQ(ProfileLookup(settings, "quorvan", "volume"), "40");
    EXPECT_EQ(I18l.File(), dir.path() + "/locale/B.ini");

    port.Clear();
    MenuSelectLang(0, menus, setButton); // a file that does not name its language
    EXPECT_TRUE(port.Has("message:OK:Interface language: A.ini"));

    port.Clear();
    MenuSelectLang(7, menus, setButton);
    MenuSelectLang(-1, menus, setButton);
    EXPECT_TRUE(port.Events().empty()) << "an index without a file does nothing";
    localiztionfiles.clear();
}
