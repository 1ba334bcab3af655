// Random and mangled list files never crash the readers, and what the readers return keeps
// the promises the menus and files rely on.
#include "persist/filters.h"
#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/reopen.h"
#include "platform/profile.h"
#include "tests/support/testenv.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bytes biased towards what the parsers look for, so that most rounds reach deep branches.
std::string RandomListText(std::mt19937& rng) {
    static const char* const pieces[] = {"DES:", "FIL:", "des:", "fil:", "[",  "]", "=",  "\"",
                                         "\r\n", "\n",   "/",    "-",    "12", " ", "\0", "XXX"};
    std::string text;
    size_t length = rng() % 400;
    while (text.size() < length) {
        if (rng() % 3 == 0)
            text += static_cast<char>(rng() % 256);
        else
            text += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    return text;
}

} // namespace

TEST(ListFileRobustness, RandomPresetFilesGiveWellFormedPresets) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 5000; ++round) {
        std::string text = RandomListText(rng);
        size_t limit = rng() % 5;
        std::vector<filtr_item> presets = ParsePresetFile(text, limit);
        ASSERT_LE(presets.size(), limit);
        for (const filtr_item& preset : presets) {
            // One line each: a name or options spanning lines would break the menu.
            EXPECT_EQ(preset.name.find('\n'), std::string::npos);
            EXPECT_EQ(preset.options.find('\n'), std::string::npos);
            EXPECT_GE(preset.options.size(), 2u);
        }
    }
}

TEST(ListFileRobustness, RandomHistoryFilesLoadAndWriteBackTheSame) {
    std::mt19937 rng(77);
    for (int round = 0; round < 5000; ++round) {
        std::vector<hist_posytion> entries = ParseHistory(RandomListText(rng));
        std::vector<hist_posytion> kept;
        for (const hist_posytion& entry : entries)
            if (IsRememberablePath(entry.path))
                kept.push_back(entry);
        std::vector<hist_posytion> again = ParseHistory(FormatHistory(kept));
        ASSERT_EQ(again.size(), kept.size());
        for (size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(again[i].path, kept[i].path);
            EXPECT_EQ(again[i].position, kept[i].position);
        }
    }
}

TEST(ListFileRobustness, StoredValuesAlwaysReadBackFromAnyFile) {
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string content = RandomListText(rng);
        std::string key = rng() % 2 ? "Login" : "volume";
        std::string value = RandomListText(rng).substr(0, 20);
        std::string stored = ProfileStore(content, "quorvan", &key, &value);
        // What a value can hold: one line, without the blanks and quotes the reader drops.
        std::string expected = value.substr(0, value.find_first_of("\r\n"));
        std::optional<std::string> back = ProfileLookup(stored, "QUORVAN", key);
        ASSERT_TRUE(back.has_value()) << content;
        std::string plain = ProfileLookup("[q]\nk=" + expected + "\n", "q", "k").value_or("?");
        EXPECT_EQ(*back, plain) << content;
    }
}

TEST(ListFileRobustness, RandomRecentFilesFillAtMostFiveSlots) {
    TempDir dir;
    std::string file = dir.file("reopen.p4s");
    std::mt19937 rng(9);
    for (int round = 0; round < 300; ++round) {
        WriteFile(file, RandomListText(rng));
        for (std::string& slot : reopenpozycje)
            slot = "old";
        reopen1.load(file);
        ASSERT_TRUE(reopen1.save(file));
        std::vector<std::string> lines = ReadLines(file);
        EXPECT_EQ(lines.size(), 5u);
    }
}

TEST(ListFileRobustness, FoldersAndEnormousFilesLeaveListsAndTextsAsTheyWere) {
    const std::string languageFile = I18l.File();
    const std::string languageSection = I18l.Section();
    TempDir dir;
    // A folder where the file should be, and a sparse file far larger than any list file.
    const std::string folder = dir.file("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string enormous = dir.file("enormous");
    {
        int fd = open(enormous.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kMaxProfileFileSize) * 64), 0);
        close(fd);
    }
    for (const std::string& file : {folder, enormous}) {
        SCOPED_TRACE(file);
        auto start = std::chrono::steady_clock::now();

        history h;
        h.add("/m/kept.avi", 42);
        h.deserialize(file);
        ASSERT_EQ(h.Entries().size(), 1u);
        EXPECT_EQ(h.get("/m/kept.avi"), 42);

        for (std::string& slot : reopenpozycje)
            slot = "old";
        reopen1.load(file);
        for (const std::string& slot : reopenpozycje)
            EXPECT_EQ(slot, "old");

        I18l.SetFile(file);
        I18l.SetSection("LANG");
        EXPECT_EQ(I18l.get("Menu.File"), "Menu.File ?");
        EXPECT_EQ(I18l.getString("Reopen.None"), "Reopen.None ?");

        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
            << "nothing is read whole";
    }
    // The enormous file is left alone, not truncated by a later write of the list.
    struct stat info {};
    ASSERT_EQ(stat(enormous.c_str(), &info), 0);
    EXPECT_EQ(static_cast<size_t>(info.st_size), kMaxProfileFileSize * 64);
    I18l.SetFile(languageFile);
    I18l.SetSection(languageSection);
}
