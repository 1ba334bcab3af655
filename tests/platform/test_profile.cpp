#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "tests/support/testenv.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A file as Windows' own functions leave it: byte-order mark, CR LF, comments, odd spacing.
const std::string kWindowsFile = "\xEF\xBB\xBF; settings of the player\r\n"
                                 "[Quorvan]\r\n"
                                 "  Login  =  \"john smith\"  \r\n"
                                 "volume= 85 \r\n"
                                 "Empty=\r\n"
                                 "Quoted='single'\r\n"
                                 "OnlyOne=\"open\r\n"
                                 "no equals sign here\r\n"
                                 "\r\n"
                                 "[other]\r\n"
                                 "volume=5\r\n"
                                 "[quorvan]\r\n"
                                 "Late=second section of the same name\r\n";

} // namespace

TEST(ProfileLookup, ReadsFilesAsWindowsWritesThem) {
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"quorvan", "login", "john smith"}, // case-insensitive, blanks and quotes gone
        {"QUORVAN", "VOLUME", "85"},        // first section of that name wins
        {"other", "volume", "5"},           // same key, other section
        {"quorvan", "Empty", ""},           // present but empty
        {"quorvan", "Quoted", "single"},    // single quotes too
        {"quorvan", "OnlyOne", "\"open"},   // an unmatched quote stays
        {"quorvan", "Missing", std::nullopt},
        {"quorvan", "no equals sign here", std::nullopt},
        {"quorvan", "Late", std::nullopt}, // a repeated section is not looked at
        {"absent", "volume", std::nullopt},
        {"; settings of the player", "x", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProfileLookup(kWindowsFile, c.section, c.key), c.expected)
            << c.section << "/" << c.key;
}

TEST(ProfileParseInt, TakesTheLeadingDecimalNumber) {
    const std::pair<const char*, int> cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"-3", -3},
        {"+5", 5},
        {"  7", 7},
        {"0x10", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"", 0},
        {"2.9", 2},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ProfileParseInt(text), value) << text;
}

TEST(ProfileStore, KeepsEveryOtherLineAndFollowsTheFilesLineEnds) {
    std::string key = "volume";
    std::string value = "40";
    std::string updated = ProfileStore(kWindowsFile, "QUORVAN", &key, &value);
    // Only the value changed; the file's own spelling of the key, the BOM and CR LF stay.
    std::string expected = kWindowsFile;
    expected.replace(expected.find("volume= 85 "), 11, "volume=40");
    EXPECT_EQ(updated, expected);

    std::string newKey = "osd";
    std::string withNew = ProfileStore(kWindowsFile, "other", &newKey, &value);
    EXPECT_NE(withNew.find("[other]\r\nvolume=5\r\nosd=40\r\n[quorvan]"), std::string::npos)
        << withNew;

    std::string plain = ProfileStore("[a]\nx=1\n\n[b]\ny=2\n", "a", &newKey, &value);
    EXPECT_EQ(plain, "[a]\nx=1\nosd=40\n\n[b]\ny=2\n") << "new keys go before the blank line";

    std::string fresh = ProfileStore("", "quorvan", &key, &value);
    EXPECT_EQ(fresh, "[quorvan]\nvolume=40\n");
    std::string appended = ProfileStore("[a]\nx=1", "b", &key, &value);
    EXPECT_EQ(appended, "[a]\nx=1\n\n[b]\nvolume=40\n");
}

TEST(ProfileStore, RemovesKeysAndSectionsAndNeverAddsLinesFromAValue) {
    std::string key = "x";
    std::string injected = "1\n[evil]\nkey=2";
    EXPECT_EQ(ProfileStore("[a]\nx=0\n", "a", &key, &injected), "[a]\nx=1\n");
    EXPECT_EQ(ProfileStore("[a]\nx=0\ny=1\n", "A", &key, nullptr), "[a]\ny=1\n");
    EXPECT_EQ(ProfileStore("[a]\nx=0\n[b]\ny=1\n", "a", nullptr, nullptr), "[b]\ny=1\n");
    EXPECT_EQ(ProfileStore("[a]\nx=0\n", "zzz", &key, nullptr), "[a]\nx=0\n");
}

TEST(ProfileFiles, MissingFilesAndKeysGiveTheDefaults) {
    TempDir dir;
    std::string file = dir.file("settings.ini");
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "volume", 100, file.c_str()), 100);
    char buffer[16];
    EXPECT_EQ(
        GetPrivateProfileStringA("quorvan", "Login", "dflt", buffer, sizeof(buffer), file.c_str()),
        4u);
    EXPECT_STREQ(buffer, "dflt");

    WriteFile(file, "[quorvan]\nvolume=\ncount=abc\nsize= 120 pt\n");
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "volume", 100, file.c_str()), 100)
        << "an empty value gives the default";
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "count", 9, file.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "size", 9, file.c_str()), 120);
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "absent", 9, file.c_str()), 9);
}

TEST(ProfileFiles, StringsAreCutToTheCallersBuffer) {
    TempDir dir;
    std::string file = dir.file("s.ini");
    WriteFile(file, "[s]\nlong=" + std::string(5000, 'v') + "\n");
    char buffer[12];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(GetPrivateProfileStringA("s", "long", "", buffer, 8, file.c_str()), 7u);
    EXPECT_EQ(std::string(buffer), "vvvvvvv");
    EXPECT_EQ(buffer[8], '#') << "nothing is written past the given size";
    EXPECT_EQ(GetProfileString("s", "long", "", file, 498).size(), 498u);
}

TEST(ProfileFiles, WritingCreatesTheFileAndKeepsTheRest) {
    TempDir dir;
    std::string file = dir.file("new.ini");
    ASSERT_EQ(WritePrivateProfileStringA("quorvan", "volume", "50", file.c_str()), 1);
    ASSERT_EQ(WritePrivateProfileStringA("quorvan", "Login", "me", file.c_str()), 1);
    ASSERT_EQ(WritePrivateProfileStringA("servers", "url", "http://x", file.c_str()), 1);
    ASSERT_EQ(WritePrivateProfileStringA("QUORVAN", "VOLUME", "60", file.c_str()), 1);
    EXPECT_EQ(ReadFile(file), "[quorvan]\nvolume=60\nLogin=me\n\n[servers]\nurl=http://x\n");
    EXPECT_EQ(WritePrivateProfileStringA("s", "k", "v", dir.file("no/such/dir.ini").c_str()), 0);

    // A file written on Windows stays a Windows file.
    std::string windows = dir.file("win.ini");
    WriteFile(windows, kWindowsFile);
    ASSERT_EQ(WritePrivateProfileStringA("quorvan", "osd", "2", windows.c_str()), 1);
    std::string after = ReadFile(windows);
    EXPECT_EQ(after.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(after.find("volume= 85 \r\nEmpty=\r\n"), std::string::npos);
    EXPECT_NE(after.find("no equals sign here\r\nosd=2\r\n\r\n[other]"), std::string::npos);
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "osd", 0, windows.c_str()), 2);
}

TEST(ProfileFiles, AKilledWriterLeavesTheOldFileIntact) {
    TempDir dir;
    std::string file = dir.file("QuorvanPlayer.ini");
    const std::string old = "[quorvan]\nvolume=70\nLogin=kept\n";
    WriteFile(file, old);
    std::string tempName;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFileWriter writer(file);
        writer.Write("[quorvan]\nvolume=");
        // Killed between writing the temporary file and the rename.
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "volume", 0, file.c_str()), 70);
    // The next write still works and replaces the file whole.
    ASSERT_EQ(WritePrivateProfileStringA("quorvan", "volume", "20", file.c_str()), 1);
    EXPECT_EQ(ReadFile(file), "[quorvan]\nvolume=20\nLogin=kept\n");
}

TEST(ProfileFiles, AnAbandonedWriteRemovesItsTemporaryFile) {
    TempDir dir;
    std::string file = dir.file("a.ini");
    WriteFile(file, "old");
    std::string temp;
    {
        AtomicFileWriter writer(file);
        ASSERT_TRUE(writer.Write("new"));
        temp = writer.TempPath();
        EXPECT_EQ(IsFileExist(temp.c_str()), 1);
    }
    EXPECT_EQ(IsFileExist(temp.c_str()), 0);
    EXPECT_EQ(ReadFile(file), "old");
    EXPECT_TRUE(WriteFileAtomically(file, "new"));
    EXPECT_EQ(ReadFile(file), "new");
}

TEST(ProfileFiles, BadFilesGiveDefaultsAndAreNotOverwritten) {
    TempDir dir;
    // A folder where the file should be.
    EXPECT_EQ(GetPrivateProfileIntA("s", "k", 3, dir.path().c_str()), 3);
    EXPECT_EQ(WritePrivateProfileStringA("s", "k", "v", dir.path().c_str()), 0);

    // Binary garbage, NULs included.
    std::string binary = dir.file("binary.ini");
    std::string junk;
    for (int i = 0; i < 70000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    WriteFile(binary, junk);
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "volume", 100, binary.c_str()), 100);

    // An enormous (sparse) file is not read at all, and a write leaves it alone.
    std::string huge = dir.file("huge.ini");
    int fd = open(huge.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kMaxProfileFileSize) + 1), 0);
    close(fd);
    EXPECT_EQ(GetPrivateProfileIntA("quorvan", "volume", 100, huge.c_str()), 100);
    EXPECT_EQ(WritePrivateProfileStringA("quorvan", "volume", "1", huge.c_str()), 0);
    struct stat st {};
    ASSERT_EQ(stat(huge.c_str(), &st), 0);
    EXPECT_EQ(static_cast<size_t>(st.st_size), kMaxProfileFileSize + 1);
}

TEST(StateFolder, BesideTheProgramWhenWritableElseTheConfigurationFolder) {
    struct Case {
        bool writable;
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {true, "/x/cfg", "/home/u", "/opt/qp/"},
        {false, "/x/cfg", "/home/u", "/x/cfg/quorvan/"},
        {false, "/x/cfg/", "/home/u", "/x/cfg/quorvan/"},
        {false, "", "/home/u", "/home/u/.config/quorvan/"},
        {false, "relative/cfg", "/home/u", "/home/u/.config/quorvan/"},
        {false, "", "", "/opt/qp/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseStateFolder("/opt/qp/", c.writable, c.xdg, c.home), c.expected)
            << c.writable << " " << c.xdg << " " << c.home;
    // The Debian package's folder takes no state, even for root who may write there.
    EXPECT_EQ(ChooseStateFolder("/usr/lib/quorvan-player/", true, "", "/root"),
              "/root/.config/quorvan/");
    EXPECT_EQ(ChooseStateFolder("/usr/lib/quorvan-player/", true, "/x/cfg", "/root"),
              "/x/cfg/quorvan/");
    EXPECT_EQ(ChooseStateFolder("/usr/lib/quorvan-player/", true, "", ""),
              "/usr/lib/quorvan-player/");

    TempDir dir;
    SetProgramFolder(dir.path());
    EXPECT_EQ(StateFolder(), dir.path() + "/");
    EXPECT_EQ(SettingsFilePath(), dir.path() + "/QuorvanPlayer.ini");

    // A program folder nobody can write to (it does not even exist) sends the state to
    // $XDG_CONFIG_HOME/quorvan, which is created.
    TempDir config;
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg != nullptr ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    SetProgramFolder(dir.path() + "/missing/program");
    EXPECT_EQ(StateFolder(), config.path() + "/quorvan/");
    struct stat st {};
    EXPECT_EQ(stat((config.path() + "/quorvan").c_str(), &st), 0);
    if (oldXdg != nullptr)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    SetProgramFolder("");
}
