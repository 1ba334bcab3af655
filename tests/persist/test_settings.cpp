#include "persist/i18l.h"
#include "persist/optins.h"
#include "persist/thumbsettings.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/settings.h"
#include "tests/support/testenv.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {

// The options dialog's controls, as a test can set and read them.
class FakeOptinsDialog : public OptinsDialogView {
  public:
    void SetChecked(int control, bool checked) override { checked_[control] = checked; }
    bool IsChecked(int control) const override {
        auto it = checked_.find(control);
        return it != checked_.end() && it->second;
    }
    void SetEnabled(int control, bool enabled) override { enabled_[control] = enabled; }
    bool IsEnabled(int control) const {
        auto it = enabled_.find(control);
        return it == enabled_.end() || it->second;
    }
    void SetText(int control, const std::string& text) override { texts_[control] = text; }
    std::string Text(int control) const override {
        auto it = texts_.find(control);
        return it == texts_.end() ? "" : it->second;
    }

  private:
    std::map<int, bool> checked_;
    std::map<int, bool> enabled_;
    std::map<int, std::string> texts_;
};

// Every value the settings read, as one comparable row.
std::map<std::string, std::string> CurrentValues() {
    return {
        {"localefile", FileNameFromPath(I18l.File())},
        {"fontsize", std::to_string(static_cast<int>(fontsize))},
        {"VoiceOver", std::to_string(Mp1.voiceOverMode.load())},
        {"Login", Optins1.login},
        {"Pass", Optins1.password},
        {"SoundDriverNum", std::to_string(Mp1.soundDriverNum)},
        {"FontNum", std::to_string(Mp1.fontNum)},
        {"OverwriteChanels", std::to_string(Mp1.overwriteChannels)},
        {"UserFiltres", std::to_string(Mp1.userFilterNum)},
        {"PseudoSlider", std::to_string(Mp1.pseudoSlider)},
        {"AlternativeXvidCodec", std::to_string(Mp1.alternativeXvidCodec)},
        {"ScaleTempoAudio", std::to_string(Mp1.scaleTempoAudio)},
        {"OSUploadAuto", std::to_string(Optins1.uploadAuto)},
        {"OSUploadAutoAutoloaded", std::to_string(Optins1.uploadAutoloaded)},
        {"RememberMoviesPosytion", std::to_string(Optins1.rememberPositions)},
        {"Safe_get_timer_anticrash_gui", std::to_string(Mp1.safeTimer)},
        {"volume", std::to_string(Mp1.volume)},
        {"Send_Image2NET", std::to_string(DialogThumb.sendToWeb)},
        {"ThumbColumns", std::to_string(DialogThumb.down)},
        {"ThumbRows", std::to_string(DialogThumb.across)},
        {"ThumbImageWidth", std::to_string(DialogThumb.width)},
        {"PreviewWidth", std::to_string(PreviewWidth)},
        {"osd", std::to_string(Mp1.osdLevel)},
    };
}

// The defaults of every key, written out independently of the code under test.
const std::map<std::string, std::string> kDefaults = {
    {"localefile", "lang_en_US.ini"},
    {"fontsize", "160"},
    {"VoiceOver", "0"},
    {"Login", ""},
    {"Pass", ""},
    {"SoundDriverNum", "0"},
    {"FontNum", "0"},
    {"OverwriteChanels", "0"},
    {"UserFiltres", "0"},
    {"PseudoSlider", "0"},
    {"AlternativeXvidCodec", "1"},
    {"ScaleTempoAudio", "0"},
    {"OSUploadAuto", "1"},
    {"OSUploadAutoAutoloaded", "1"},
    {"RememberMoviesPosytion", "1"},
    {"Safe_get_timer_anticrash_gui", "1"},
    {"volume", "100"},
    {"Send_Image2NET", "0"},
    {"ThumbColumns", "7"},
    {"ThumbRows", "7"},
    {"ThumbImageWidth", "800"},
    {"PreviewWidth", "160"},
    {"osd", "1"},
};

// Puts odd values everywhere so that a read that forgets a key is noticed.
void Scramble() {
    I18l.SetFile("/nowhere/locale/scrambled.ini");
    fontsize = 1;
    Mp1.voiceOverMode = 77;
    Optins1 = Optins();
    Optins1.login = "scrambled";
    Optins1.password = "scrambled";
    Optins1.uploadAuto = false;
    Optins1.uploadAutoloaded = false;
    Optins1.rememberPositions = false;
    Mp1.soundDriverNum = Mp1.fontNum = Mp1.overwriteChannels = Mp1.userFilterNum = 77;
    Mp1.pseudoSlider = Mp1.alternativeXvidCodec = Mp1.scaleTempoAudio = 77;
    Mp1.safeTimer = Mp1.volume = Mp1.osdLevel = 77;
    DialogThumb = class_dialog_thumb();
    DialogThumb.sendToWeb = DialogThumb.down = DialogThumb.across = DialogThumb.width = 77;
    PreviewWidth = 77;
}

class Settings : public ::testing::Test {
  protected:
    void SetUp() override { Scramble(); }
    TempDir dir;
    std::string file = dir.file("QuorvanPlayer.ini");
};

} // namespace

TEST_F(Settings, AMissingFileGivesEveryDefault) {
    ReadSettings(file);
    EXPECT_EQ(CurrentValues(), kDefaults);
}

TEST_F(Settings, BadFilesGiveEveryDefault) {
    static const char kBinary[] = "\0\x01\xff[quorvan\0]\nvolume\0=3";
    const std::vector<std::string> contents = {
        "",
        std::string(kBinary, sizeof(kBinary) - 1),
        "[quorvan]\n" + std::string(100000, '='),
        "[other]\nvolume=5\nosd=3\n",
    };
    for (const std::string& content : contents) {
        Scramble();
        WriteFile(file, content);
        ReadSettings(file);
        EXPECT_EQ(CurrentValues(), kDefaults) << content.substr(0, 40);
    }
}

TEST_F(Settings, IntegersReadTheirLeadingNumberAndTextsAreCut) {
    WriteFile(file, "[quorvan]\nvolume=abc\nosd=2 levels\nLogin=" + std::string(600, 'L') +
                        "\nPass=\nfontsize=120\n");
    ReadSettings(file);
    EXPECT_EQ(Mp1.volume, 0) << "a value that is no number reads 0";
    EXPECT_EQ(Mp1.osdLevel, 2);
    EXPECT_EQ(Optins1.login, std::string(498, 'L'));
    EXPECT_EQ(Optins1.password, "") << "an empty key and a missing one behave alike";
    EXPECT_EQ(fontsize, 120.0f);
}

TEST_F(Settings, FlagsStoredAsAnyNonZeroNumberReadTrueAndAreWrittenBackAsOne) {
    WriteFile(file, "[quorvan]\nOSUploadAuto=2\nRememberMoviesPosytion=2\nPseudoSlider=2\n"
                    "ScaleTempoAudio=-1\nSend_Image2NET=5\n");
    ReadSettings(file);
    EXPECT_TRUE(Optins1.uploadAuto);
    EXPECT_TRUE(Optins1.rememberPositions);
    EXPECT_NE(Mp1.pseudoSlider, 0);
    ASSERT_TRUE(WriteSettingsOnExit(file));
    std::string text = ReadFile(file);
    for (const char* key : {"OSUploadAuto", "RememberMoviesPosytion", "PseudoSlider",
                            "ScaleTempoAudio", "Send_Image2NET"})
        EXPECT_EQ(ProfileLookup(text, "quorvan", key), "1") << key;
}

TEST_F(Settings, TheExitWriteGivesBackEveryValueInItsOrder) {
    WriteFile(file, "; kept comment\n[quorvan]\nlocalefile=lang_pl_PL.ini\nfontsize=120\n"
                    "[servers]\nx=1\n");
    ReadSettings(file);
    Mp1.voiceOverMode = 6;
    Optins1.login = "user name";
    Optins1.password = "p@ss=word";
    Mp1.soundDriverNum = 3;
    Mp1.fontNum = 12;
    Mp1.overwriteChannels = 7;
    Mp1.userFilterNum = 4;
    Mp1.pseudoSlider = 1;
    Mp1.alternativeXvidCodec = 0;
    Mp1.scaleTempoAudio = 1;
    Optins1.uploadAuto = false;
    Optins1.uploadAutoloaded = false;
    Optins1.rememberPositions = false;
    Mp1.safeTimer = 0;
    Mp1.volume = 35;
    DialogThumb.sendToWeb = 1;
    DialogThumb.down = 5;
    DialogThumb.across = 4;
    DialogThumb.width = 1024;
    Mp1.osdLevel = 3;
    PreviewWidth = 0;
    std::map<std::string, std::string> written = CurrentValues();
    ASSERT_TRUE(WriteSettingsOnExit(file));

    Scramble();
    ReadSettings(file);
    EXPECT_EQ(CurrentValues(), written);

    std::string text = ReadFile(file);
    EXPECT_EQ(text.rfind("; kept comment\n[quorvan]\nlocalefile=lang_pl_PL.ini\nfontsize=120\n"
                         "Safe_get_timer_anticrash_gui=0\nPseudoSlider=1\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("ThumbRows=4\nThumbImageWidth=1024\nPreviewWidth=0\n[servers]\nx=1\n"),
              std::string::npos)
        << text;
    const char* order[] = {"Safe_get_timer_anticrash_gui",
                           "PseudoSlider",
                           "AlternativeXvidCodec",
                           "ScaleTempoAudio",
                           "OSUploadAuto",
                           "OSUploadAutoAutoloaded",
                           "RememberMoviesPosytion",
                           "Login",
                           "Pass",
                           "Send_Image2NET",
                           "VoiceOver",
                           "SoundDriverNum",
                           "volume",
                           "FontNum",
                           "OverwriteChanels",
                           "UserFiltres",
                           "osd",
                           "ThumbColumns",
                           "ThumbRows",
                           "ThumbImageWidth",
                           "PreviewWidth"};
    size_t last = 0;
    for (const char* key : order) {
        size_t at = text.find(std::string("\n") + key + "=");
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key << " is out of order";
        last = at;
    }
}

TEST_F(Settings, ThePreviewWidthIsZeroForNoneOrKeptWithinBounds) {
    for (const auto& [stored, read] : std::vector<std::pair<std::string, int>>{
             {"0", 0}, {"-5", 0}, {"8", 32}, {"200", 200}, {"100000", 640}, {"wide", 0}}) {
        WriteFile(file, "[quorvan]\nPreviewWidth=" + stored + "\n");
        ReadSettings(file);
        EXPECT_EQ(PreviewWidth, read) << stored;
        EXPECT_EQ(PreviewWidthWhenOn, read > 0 ? read : 160) << stored;
    }
}

TEST_F(Settings, FontSizeIsWrittenAtOnceAsAStreamPrintsIt) {
    WriteFile(file, "[quorvan]\nvolume=20\n");
    for (const auto& [value, text] : std::vector<std::pair<float, std::string>>{
             {120.0f, "120"}, {160.5f, "160.5"}, {96.0f, "96"}}) {
        fontsize = value;
        ASSERT_TRUE(WriteFontSize(file));
        EXPECT_EQ(ProfileLookup(ReadFile(file), "quorvan", "fontsize"), text);
    }
    fontsize = 120.0f;
    ASSERT_TRUE(WriteFontSize(file));
    Scramble();
    ReadSettings(file);
    EXPECT_EQ(fontsize, 120.0f);
    EXPECT_EQ(Mp1.volume, 20);
}

TEST_F(Settings, TheDialogShowsAutoloadedTickedButDisabledAndOkStoresFalseForBoth) {
    WriteFile(file, "[quorvan]\nOSUploadAuto=0\nOSUploadAutoAutoloaded=1\n"
                    "RememberMoviesPosytion=1\nLogin=me\nPass=secret\n");
    ReadSettings(file);
    FakeOptinsDialog dialog;
    Optins1.fillDialog(dialog);
    EXPECT_FALSE(dialog.IsChecked(IDC_OPT_UPLOAD_AUTO));
    EXPECT_TRUE(dialog.IsChecked(IDC_OPT_UPLOAD_AUTOLOADED));
    EXPECT_FALSE(dialog.IsEnabled(IDC_OPT_UPLOAD_AUTOLOADED));
    EXPECT_TRUE(dialog.IsChecked(IDC_OPT_REMEMBER_POSITIONS));
    EXPECT_EQ(dialog.Text(IDC_OPT_LOGIN), "me");
    EXPECT_EQ(dialog.Text(IDC_OPT_PASSWORD), "secret");

    EXPECT_EQ(OptinsAccept(dialog, Optins1), IDC_OPT_OK);
    EXPECT_FALSE(Optins1.uploadAuto);
    EXPECT_FALSE(Optins1.uploadAutoloaded);
    ASSERT_TRUE(WriteSettingsOnExit(file));
    std::string text = ReadFile(file);
    EXPECT_EQ(ProfileLookup(text, "quorvan", "OSUploadAuto"), "0");
    EXPECT_EQ(ProfileLookup(text, "quorvan", "OSUploadAutoAutoloaded"), "0");
}

TEST(OptinsDialog, TheUploadBoxEnablesTheAutoloadedBoxAndOkStoresTheControls) {
    FakeOptinsDialog dialog;
    Optins options;
    options.uploadAuto = false;
    options.fillDialog(dialog);
    EXPECT_FALSE(dialog.IsEnabled(IDC_OPT_UPLOAD_AUTOLOADED));

    dialog.SetChecked(IDC_OPT_UPLOAD_AUTO, true);
    OptinsUploadAutoClicked(dialog);
    EXPECT_TRUE(dialog.IsEnabled(IDC_OPT_UPLOAD_AUTOLOADED));
    dialog.SetChecked(IDC_OPT_UPLOAD_AUTOLOADED, true);
    dialog.SetChecked(IDC_OPT_REMEMBER_POSITIONS, true);
    dialog.SetText(IDC_OPT_LOGIN, std::string(700, 'x'));
    dialog.SetText(IDC_OPT_PASSWORD, "pw");
    EXPECT_EQ(OptinsAccept(dialog, options), IDC_OPT_OK);
    EXPECT_TRUE(options.uploadAuto);
    EXPECT_TRUE(options.uploadAutoloaded);
    EXPECT_TRUE(options.rememberPositions);
    EXPECT_EQ(options.login.size(), kOptinsTextLimit);
    EXPECT_EQ(options.password, "pw");

    dialog.SetChecked(IDC_OPT_UPLOAD_AUTO, false);
    OptinsUploadAutoClicked(dialog);
    EXPECT_FALSE(dialog.IsEnabled(IDC_OPT_UPLOAD_AUTOLOADED));

    const std::pair<int, int> endCodes[] = {
        {IDC_OPT_OK, 3}, {IDC_OPT_CLOSE, 2}, {IDC_OPT_CANCEL, 2}, {IDC_OPT_UPLOAD_AUTO, 0}};
    for (const auto& [command, code] : endCodes)
        EXPECT_EQ(OptinsEndCode(command), code) << command;
}
