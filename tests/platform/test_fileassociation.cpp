// File associations through the desktop's own tools, in a temporary home: xdg-mime names our
// desktop entries as the defaults, gio knows the extensions of our MIME package, and launching
// an entry starts the program folder's program with the file.
#include "platform/fileassociation.h"
#include "platform/paths.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;

namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
  public:
    void Set(const char* name, const char* value) {
        if (saved_.count(name) == 0) {
            const char* old = std::getenv(name);
            saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_)
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
    }

  private:
    std::map<std::string, std::optional<std::string>> saved_;
};

std::string Output(const std::vector<std::string>& argv) {
    std::string output;
    RunCommand(argv, &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

// A stand-in program that writes its arguments, one a line, to `record`.
void RecordingProgram(const std::string& path, const std::string& record) {
    WriteFile(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".tmp'\nmv '" + record +
                        ".tmp' '" + record + "'\n");
    fs::permissions(path, fs::perms::owner_all);
}

class FileAssociations : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.Set("HOME", home_.path().c_str());
        env_.Set("XDG_DATA_HOME", nullptr);
        env_.Set("XDG_CONFIG_HOME", nullptr);
        env_.Set("XDG_CURRENT_DESKTOP", "GNOME"); // xdg-mime asks gio for file types
        // A program folder whose name needs quoting and escaping in an Exec line: blanks, a
        // field code's percent, and the characters escaped inside double quotes.
        program_ = work_.file("Programy 100% ż %f \"$x\" `id` back\\slash") + "/";
        fs::create_directories(program_ + "binary");
        RecordingProgram(program_ + "QuorvanPlayer", work_.file("player-args"));
        RecordingProgram(program_ + "binary/NFO2TXT", work_.file("nfo-args"));
        SetProgramFolder(program_);
    }
    void TearDown() override { SetProgramFolder(""); }
    std::map<std::string, std::string> WrittenFiles() {
        std::map<std::string, std::string> files;
        for (const char* name :
             {".local/share/applications/quorvan-player.desktop",
              ".local/share/applications/quorvan-nfo.desktop",
              ".local/share/mime/packages/quorvan-player.xml", ".config/mimeapps.list"})
            files[name] = ReadFile(home_.file(name));
        return files;
    }
    // Launches a desktop entry of the temporary home on `file` and returns the arguments the
    // program received.
    std::string Launch(const std::string& entry, const std::string& file,
                       const std::string& record) {
        Output({"gio", "launch", home_.file(".local/share/applications/" + entry), file});
        WaitUntil([&] { return fs::exists(record); }, 10000);
        return ReadFile(record);
    }

    TempDir home_;
    TempDir work_;
    ScopedEnv env_;
    std::string program_;
    RecorderPort port_;
    ScopedPort scoped_{&port_};
};

} // namespace

TEST_F(FileAssociations, MoviesOpenInTheProgramAndRegisteringAgainChangesNothing) {
    fs::create_directories(home_.file(".config"));
    WriteFile(home_.file(".config/mimeapps.list"), "[Default Applications]\n"
                                                   "text/plain=gedit.desktop;\n"
                                                   "\n"
                                                   "[Added Associations]\n"
                                                   "image/png=eog.desktop;\n");
    FileAssociation();
    EXPECT_TRUE(port_.Events().empty()) << port_.Events()[0];

    EXPECT_EQ(Output({"xdg-mime", "query", "default", "video/x-msvideo"}),
              "quorvan-player.desktop");
    EXPECT_EQ(Output({"xdg-mime", "query", "default", "video/x-matroska"}),
              "quorvan-player.desktop");
    std::string film = work_.file("film.r46");
    WriteFile(film, std::string("Rar!\x1a\x07\x00 not the first volume", 28));
    EXPECT_EQ(Output({"xdg-mime", "query", "filetype", film}), "video/x-quorvanvideofile");
    EXPECT_EQ(Output({"xdg-mime", "query", "default", "video/x-quorvanvideofile"}),
              "quorvan-player.desktop");
    EXPECT_EQ(Launch("quorvan-player.desktop", film, work_.file("player-args")), film + "\n");

    std::string list = ReadFile(home_.file(".config/mimeapps.list"));
    EXPECT_NE(list.find("text/plain=gedit.desktop;"), std::string::npos);
    EXPECT_NE(list.find("[Added Associations]\nimage/png=eog.desktop;"), std::string::npos);
    EXPECT_NE(list.find("video/x-msvideo=quorvan-player.desktop;"), std::string::npos);

    std::map<std::string, std::string> first = WrittenFiles();
    FileAssociation();
    EXPECT_EQ(WrittenFiles(), first);
}

TEST_F(FileAssociations, NfoFilesOpenInTheViewer) {
    // Without a percent sign the Exec line names the program itself.
    program_ = work_.file("Programy ż \"$x\" `id` back\\slash") + "/";
    fs::create_directories(program_ + "binary");
    RecordingProgram(program_ + "binary/NFO2TXT", work_.file("nfo-args"));
    SetProgramFolder(program_);
    EXPECT_EQ(FileAssociationNFO(), 1);
    RefreshDesktopDatabases();
    EXPECT_EQ(Output({"xdg-mime", "query", "default", "text/x-nfo"}), "quorvan-nfo.desktop");
    std::string nfo = work_.file("release ż.nfo");
    WriteFile(nfo, "Release notes\r\n");
    EXPECT_EQ(Output({"xdg-mime", "query", "filetype", nfo}), "text/x-nfo");
    EXPECT_EQ(Launch("quorvan-nfo.desktop", nfo, work_.file("nfo-args")), nfo + "\n");
    EXPECT_FALSE(fs::exists(home_.file(".local/share/applications/quorvan-player.desktop")));
}

TEST_F(FileAssociations, AHomeThatCannotBeWrittenSaysSoOncePerType) {
    WriteFile(work_.file("not-a-folder"), "x");
    env_.Set("HOME", work_.file("not-a-folder").c_str());
    FileAssociation();
    std::vector<std::string> events = port_.Events();
    ASSERT_EQ(events.size(), 16u) << "the .nfo type and fifteen movie extensions";
    for (const std::string& event : events)
        EXPECT_EQ(event, "message:OK:niemoge otworzyc ");
}
