// The data files the program ships, as the build stages them into the program folder.
#include "persist/filters.h"
#include "persist/i18l.h"
#include "persist/translationtable.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <set>

namespace {

const char* const kLanguageFiles[] = {"lang_en_US.ini", "lang_pl_PL.ini"};

std::string Staged(const std::string& name) {
    return StageDir() + "/" + name;
}

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80             ? 0
                       : (c & 0xE0) == 0xC0 ? 1
                       : (c & 0xF0) == 0xE0 ? 2
                       : (c & 0xF8) == 0xF0 ? 3
                                            : 4;
        if (extra == 4 || i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

bool HasPolishLetters(const std::string& text) {
    for (const char* letter : {"ą", "ć", "ę", "ł", "ń", "ó", "ś", "ź", "ż"})
        if (text.find(letter) != std::string::npos)
            return true;
    return false;
}

std::string Value(const std::string& file, const std::string& section, const std::string& key) {
    return ProfileLookup(ReadFile(file), section, key).value_or("<missing>");
}

} // namespace

TEST(ShippedLanguageFiles, HaveEveryKeyOfTheTranslationTable) {
    std::vector<std::pair<std::string, std::string>> keys = TranslationKeys();
    ASSERT_GT(keys.size(), 190u);
    for (const char* name : kLanguageFiles) {
        std::string path = Staged(std::string("locale/") + name);
        std::string content = ReadFile(path);
        ASSERT_FALSE(content.empty()) << path;
        EXPECT_TRUE(IsValidUtf8(content)) << name;
        for (const auto& [section, key] : keys) {
            std::optional<std::string> value = ProfileLookup(content, section, key);
            ASSERT_TRUE(value.has_value()) << name << ": [" << section << "] " << key;
            EXPECT_FALSE(value->empty()) << name << ": [" << section << "] " << key;
        }
    }
}

TEST(ShippedLanguageFiles, EnglishLabelsOfTheServiceItemsAreTheirKeys) {
    std::string en = Staged("locale/lang_en_US.ini");
    const std::pair<const char*, const char*> labels[] = {
        {"Menu.Subtitle", kLabelNapisyInfoPage},     {"Menu.Subtitle", kLabelNapiprojektPl},
        {"Menu.Subtitle", kLabelNapiprojektEn},      {"Menu.Subtitle", kLabelOpenSubtitlesLang1},
        {"Menu.Subtitle", kLabelOpenSubtitlesLang2}, {"Menu.Debug", kLabelNapiprojektDescription},
        {"Menu.Debug", kLabelImdbDescription},       {"Strings", kStringNapiprojektNoSubtitles},
    };
    for (const auto& [section, label] : labels)
        EXPECT_EQ(Value(en, section, label), label);
    EXPECT_EQ(Value(en, "LANG", "Menu.File"), "File");
    EXPECT_EQ(Value(en, "Menu.Subtitles.VoiceOver", "None"), "None");
    EXPECT_EQ(Value(en, "DEFAULT3LETTERS", "default_3letters_lang1"), "eng");
}

TEST(ShippedLanguageFiles, PolishIsATranslationInUtf8) {
    std::string en = ReadFile(Staged("locale/lang_en_US.ini"));
    std::string pl = ReadFile(Staged("locale/lang_pl_PL.ini"));
    EXPECT_TRUE(HasPolishLetters(pl));
    size_t translated = 0;
    size_t texts = 0;
    for (const TranslationGroup& group : TranslationTable()) {
        if (group.step == TranslationStep::Values && std::string(group.section) != "Strings")
            continue;
        for (const TranslationItem& item : group.items) {
            if (item.key == nullptr)
                continue;
            ++texts;
            if (ProfileLookup(pl, group.section, item.key) !=
                ProfileLookup(en, group.section, item.key))
                ++translated;
        }
    }
    // Numbers, aspect ratios and product names stay as they are; the rest is Polish.
    EXPECT_GT(translated * 10, texts * 8) << translated << " of " << texts;
    EXPECT_EQ(ProfileLookup(pl, "DEFAULT3LETTERS", "default_3letters_lang1"), "pol");
}

TEST(ShippedLanguageFiles, DialogsPopUpsAndMessagesArePolishInPolish) {
    std::string en = ReadFile(Staged("locale/lang_en_US.ini"));
    std::string pl = ReadFile(Staged("locale/lang_pl_PL.ini"));
    // Names that read the same in both languages.
    const std::set<std::string> same = {"OK", "OpenSubtitles.com", "XML-RPC (opensubtitles.org)",
                                        "REST API (opensubtitles.com)", "Wszystkie znane"};
    size_t texts = 0;
    for (const TranslationGroup& group : TranslationTable()) {
        const std::string section = group.section;
        bool dialogMenu = section == "Menu.Debug.SaveMultiScreens" || section == "Menu.Debug.Test";
        if (group.step != TranslationStep::Texts && !dialogMenu)
            continue;
        for (const TranslationItem& item : group.items) {
            std::string key = LanguageFileKey(item.key);
            SCOPED_TRACE("[" + section + "] " + key);
            ++texts;
            // The English file keeps the program's own texts as they are.
            if (group.step == TranslationStep::Texts) {
                EXPECT_EQ(ProfileLookup(en, section, key), key);
            }
            if (same.count(key) == 0) {
                EXPECT_NE(ProfileLookup(pl, section, key), ProfileLookup(en, section, key));
            }
        }
    }
    EXPECT_GT(texts, 80u);
    EXPECT_EQ(Value(Staged("locale/lang_pl_PL.ini"), "Menu.Debug", "Options..."), "Opcje...");
    EXPECT_EQ(Value(Staged("locale/lang_en_US.ini"), "Menu.Debug", "Options..."), "Options...");
    EXPECT_EQ(Value(Staged("locale/lang_pl_PL.ini"), "LANG", "Language.Name"), "Polski");
    EXPECT_EQ(Value(Staged("locale/lang_en_US.ini"), "LANG", "Language.Name"), "English");
}

TEST(ShippedLanguageFiles, NameFilesThatShipBesideThem) {
    for (const char* name : kLanguageFiles) {
        std::string path = Staged(std::string("locale/") + name);
        EXPECT_EQ(
            IsFileExist(Staged("locale/" + Value(path, "File", "opensubtitles.lang")).c_str()), 1)
            << name;
        EXPECT_EQ(IsFileExist(Staged(Value(path, "File", "filtresfile")).c_str()), 1) << name;
        EXPECT_EQ(IsFileExist(Staged(Value(path, "File", "userfiltres")).c_str()), 1) << name;
    }
}

TEST(ShippedOpenSubtitlesLanguages, AreCodeAndNamePairsOfThreeLetterCodes) {
    std::string name = Value(Staged("locale/lang_en_US.ini"), "File", "opensubtitles.lang");
    std::vector<std::string> lines = ReadLines(Staged("locale/" + name));
    ASSERT_EQ(lines.size() % 2, 0u);
    ASSERT_GE(lines.size() / 2, 40u);
    std::set<std::string> codes;
    for (size_t i = 0; i < lines.size(); i += 2) {
        const std::string& code = lines[i];
        EXPECT_EQ(code.size(), 3u) << code;
        for (char c : code)
            EXPECT_TRUE(c >= 'a' && c <= 'z') << code;
        EXPECT_FALSE(lines[i + 1].empty()) << code;
        EXPECT_TRUE(codes.insert(code).second) << code << " is listed twice";
    }
    for (const char* code : {"pol", "eng", "ger", "fre", "spa", "ita", "rus", "cze"})
        EXPECT_EQ(codes.count(code), 1u) << code;
}

TEST(ShippedPresets, LoadThroughTheLanguageFile) {
    SetProgramFolder(StageDir());
    for (const char* name : kLanguageFiles) {
        I18l.SetFile(Staged(std::string("locale/") + name));
        user_filtrs.clear();
        user_filtrs2.clear();
        loadfiltres();
        loaduserfiltres();
        ASSERT_GT(user_filtrs2.size(), 10u) << name;
        ASSERT_GT(user_filtrs.size(), 2u) << name;
        EXPECT_NE(user_filtrs2.front().name, "None!");
        bool separator = false;
        for (const filtr_item& preset : user_filtrs2) {
            separator = separator || preset.name == kSeparatorPreset;
            EXPECT_FALSE(preset.name.empty());
            // The program's own "-vf screenshot" must survive every preset.
            EXPECT_EQ(preset.options.find("-vf "), std::string::npos) << preset.name;
            EXPECT_EQ(preset.options.find("-vf-clr"), std::string::npos) << preset.name;
        }
        EXPECT_TRUE(separator);
    }
    user_filtrs.clear();
    user_filtrs2.clear();
    SetProgramFolder("");
}

TEST(ShippedFaq, ExplainsTheProgramInBothLanguages) {
    struct Faq {
        const char* file;
        bool polish;
    };
    for (const Faq& faq : {Faq{"QuorvanPlayer-obsluga .txt", true}, Faq{"faq_en.txt", false}}) {
        std::string text = ReadFile(Staged(faq.file));
        ASSERT_GT(text.size(), 3000u) << faq.file;
        EXPECT_TRUE(IsValidUtf8(text)) << faq.file;
        EXPECT_EQ(HasPolishLetters(text), faq.polish) << faq.file;
        for (const char* topic : {"RAR", "quorvan-speaker", "QuorvanPlayer.ini", "mplayer",
                                  "opensubtitles.org", ".s.jpg", "~/.config/quorvan/"})
            EXPECT_NE(text.find(topic), std::string::npos) << faq.file << ": " << topic;
    }
}
