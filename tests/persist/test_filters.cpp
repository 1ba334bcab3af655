#include "persist/filters.h"
#include "persist/i18l.h"
#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using Presets = std::vector<std::pair<std::string, std::string>>;

Presets AsPairs(const std::vector<filtr_item>& items) {
    Presets out;
    for (const filtr_item& item : items)
        out.emplace_back(item.name, item.options);
    return out;
}

// A program folder with a language file naming the two preset files.
class PresetFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        SetProgramFolder(dir.path());
        mkdir(dir.file("locale").c_str(), 0755);
        WriteFile(dir.file("locale/lang.ini"),
                  "[File]\nfiltresfile=presets.txt\nuserfiltres=my presets.txt\n");
        I18l.SetFile(dir.file("locale/lang.ini"));
        user_filtrs.clear();
        user_filtrs2.clear();
        Mp1.userFilterNum = 0;
    }
    void TearDown() override {
        user_filtrs.clear();
        user_filtrs2.clear();
        Mp1.init();
        SetProgramFolder("");
    }
    TempDir dir;
};

} // namespace

TEST(PresetFile, NamesAndOptionsFollowTheDesAndFilLines) {
    struct Case {
        const char* what;
        std::string content;
        Presets expected;
    };
    const Case cases[] = {
        {"two option lines after one name",
         "DES:Sharp\nFIL: -vf unsharp=l3x3:0.8\nfil: -vf unsharp=l5x5:1.0\n",
         {{"Sharp", " -vf unsharp=l3x3:0.8"}, {"Sharp", " -vf unsharp=l5x5:1.0"}}},
        {"options before any name", "FIL: -vf flip\nDES:Later\n", {{"", " -vf flip"}}},
        {"a five-character option line", "DES:Short\nFIL:x\nFIL:-flip\n", {{"Short", "-flip"}}},
        {"a five-character name line keeps the old name",
         "DES:Old\nDES:X\nFIL:-vf eq\n",
         {{"Old", "-vf eq"}}},
        {"other lines", "; comment\nDESC:no\n  FIL:-vf x\nDES:AB\nFIL:-vf a\n", {{"AB", "-vf a"}}},
        {"Windows line ends", "DES:Flip\r\nFIL:-vf flip\r\n", {{"Flip", "-vf flip"}}},
        {"empty", "", {}},
        {"binary", std::string("\0\0\0\0\0\0\0\nFIL\0:\xff\xfe", 15), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AsPairs(ParsePresetFile(c.content, 100)), c.expected) << c.what;
}

TEST(PresetFile, TakesNoMorePresetsThanTheMenuHasCommands) {
    std::string content = "DES:Many\n";
    for (int i = 0; i < 500; ++i)
        content += "FIL:-vf scale=" + std::to_string(i) + "\n";
    EXPECT_EQ(ParsePresetFile(content, kMaxUserFiltres).size(), kMaxUserFiltres);
    EXPECT_EQ(kFirstUserFiltresCommand + static_cast<int>(kMaxUserFiltres) - 1, 2298);
    EXPECT_EQ(kFirstFiltresCommand + static_cast<int>(kMaxFiltres) - 1, 1600);
}

TEST_F(PresetFolder, MissingFilesOrKeysGiveTheSingleNonePreset) {
    loadfiltres();
    loaduserfiltres();
    EXPECT_EQ(AsPairs(user_filtrs2), (Presets{{"None!", " "}}));
    EXPECT_EQ(AsPairs(user_filtrs), (Presets{{"None!", " "}}));

    WriteFile(dir.file("locale/nokeys.ini"), "[File]\nopensubtitles.lang=x\n");
    WriteFile(dir.file("presets.txt"), "DES:A\nFIL:-vf flip\n");
    I18l.SetFile(dir.file("locale/nokeys.ini"));
    user_filtrs2.clear();
    loadfiltres();
    EXPECT_EQ(AsPairs(user_filtrs2), (Presets{{"None!", " "}}));
}

TEST_F(PresetFolder, ASeparatorKeepsItsCommandNumber) {
    WriteFile(dir.file("presets.txt"),
              "DES:Flip\nFIL:-vf flip\nDES:XXX\nFIL:-vf null\nDES:Mirror\nFIL:-vf mirror\n");
    loadfiltres();
    ASSERT_EQ(user_filtrs2.size(), 3u);
    EXPECT_EQ(user_filtrs2[1].name, kSeparatorPreset);
    // The menu gives entry i the command 1500 + i, so "Mirror" stays 1502.
    EXPECT_EQ(user_filtrs2[2].name, "Mirror");
}

TEST_F(PresetFolder, TheChosenUserPresetReachesThePlayerCommandLine) {
    WriteFile(dir.file("my presets.txt"),
              "DES:Denoise\nFIL:-vf hqdn3d\nDES:Sharpen\nFIL:-vf unsharp=l3x3:0.6\n");
    Mp1.userFilterNum = 1;
    loaduserfiltres();
    Mp1.init(); // as the program does at start-up
    ASSERT_EQ(user_filtrs.size(), 2u);
    EXPECT_NE(Mp1.primeExe().find(" -vf unsharp=l3x3:0.6 "), std::string::npos);
    EXPECT_EQ(Mp1.primeExe().find("hqdn3d"), std::string::npos);

    Mp1.userFilterNum = 5; // from an old settings file; no such preset
    Mp1.init();
    EXPECT_EQ(Mp1.primeExe().find("unsharp"), std::string::npos);
}

TEST_F(PresetFolder, ManualEditOpensTheUserFileInTheDefaultEditor) {
    RecorderPort port;
    ScopedPort scoped(&port);
    editfiltres();
    EXPECT_TRUE(port.Events().empty()) << "no file, nothing to open and nothing reported";

    WriteFile(dir.file("my presets.txt"), "DES:A\nFIL:-vf flip\n");
    editfiltres();
    EXPECT_TRUE(port.Has("open:" + dir.file("my presets.txt")));
}

TEST(UserPresetFile, WithoutAWritableProgramFolderTheUserEditsACopyInTheStateFolder) {
    TempDir program;
    TempDir state;
    std::string name = "my presets.txt";
    std::string programFolder = program.path() + "/";
    std::string stateFolder = state.path() + "/";
    EXPECT_EQ(PrepareUserPresetFile(programFolder, stateFolder, name), "");

    WriteFile(programFolder + name, "DES:Shipped\nFIL:-vf flip\n");
    EXPECT_EQ(PrepareUserPresetFile(programFolder, stateFolder, name), stateFolder + name);
    EXPECT_EQ(ReadFile(stateFolder + name), "DES:Shipped\nFIL:-vf flip\n");

    // The user's copy is never replaced by the shipped file again, and it is what loads.
    WriteFile(stateFolder + name, "DES:Mine\nFIL:-vf mirror\n");
    EXPECT_EQ(PrepareUserPresetFile(programFolder, stateFolder, name), stateFolder + name);
    EXPECT_EQ(ReadFile(stateFolder + name), "DES:Mine\nFIL:-vf mirror\n");

    // Beside a writable program the file is edited where it is.
    EXPECT_EQ(PrepareUserPresetFile(programFolder, programFolder, name), programFolder + name);
}
