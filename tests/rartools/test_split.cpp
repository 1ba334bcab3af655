// Splitting the current movie into stored volumes on the desktop, and finding the tool.
#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "rar/desktopfolder.h"
#include "rar/split.h"
#include "tests/rartools/toolrun.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kPage[] = "How to play this movie without unpacking.html";

// A program folder with binary/rar (optional) and the page, a HOME with a Desktop, a
// recording window port, and the environment put back afterwards.
class SplitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"HOME", "PATH", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                       : std::nullopt);
        }
        fs::create_directories(prog_.file("binary"));
        fs::copy_file(StageDir() + "/binary/" + kPage, prog_.file(std::string("binary/") + kPage));
        SetProgramFolder(prog_.path() + "/");
        setenv("HOME", home_.path().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        fs::create_directories(home_.file("Desktop"));
        SetMovie("");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        SetProgramFolder("");
        SetMovie("");
    }
    void InstallOwnRar() {
        fs::create_symlink(StageDir() + "/binary/rar", prog_.file("binary/rar"));
    }
    static void SetMovie(const std::string& path) {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = path;
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    TempDir prog_, home_;
    RecorderPort port_{true};
    ScopedPort scoped_{&port_};
};

// A sparse movie a little over one 99 MB volume, with a few marked places.
std::string MakeMovie(const std::string& path, char mark) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, 99500000), 0);
    std::string block(8192, mark);
    for (off_t at : {0L, 98999990L, 99500000L - 8192L})
        EXPECT_EQ(pwrite(fd, block.data(), block.size(), at), 8192);
    close(fd);
    return ReadFile(path);
}

std::string Extract(const std::string& volume, const std::string& mask, int* exitCode) {
    std::string out;
    ToolRun run = RunTool({UnrarTool(), "p", "-inul", volume, mask}, 60000, nullptr, &out);
    *exitCode = run.exitCode;
    return out;
}

} // namespace

TEST_F(SplitTest, MovieGoesToTheDesktopAsPlayableVolumesAndASecondRunReplacesThem) {
    InstallOwnRar();
    std::string movie = prog_.file("my.movie.avi");
    std::string content = MakeMovie(movie, 'a');
    SetMovie(movie);
    SplitFile2RS();
    EXPECT_TRUE(port_.Has("message:OK:File spited and save to desktop.")) << port_.Events().size();
    std::string first = home_.file("Desktop/my_movie_avi(KTZ).rar");
    ASSERT_TRUE(fs::exists(first));
    EXPECT_EQ(fs::file_size(first), 99000000u);
    EXPECT_TRUE(fs::exists(home_.file("Desktop/my_movie_avi(KTZ).r00")));
    EXPECT_FALSE(fs::exists(home_.file("Desktop/my_movie_avi(KTZ).r01")));
    int rc = -1;
    EXPECT_TRUE(Extract(first, "my.movie.avi", &rc) == content);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Extract(first, kPage, &rc), ReadFile(StageDir() + "/binary/" + kPage));

    port_.Clear();
    content = MakeMovie(movie, 'b');
    SplitFile2RS();
    EXPECT_TRUE(port_.Has("message:OK:File spited and save to desktop."));
    EXPECT_TRUE(Extract(first, "my.movie.avi", &rc) == content);
}

TEST_F(SplitTest, HostileMovieNamesStayOneArgument) {
    InstallOwnRar();
    std::string movie = prog_.file("a\"b $(touch pwned) ;c 'd.avi");
    WriteFile(movie, "tiny movie");
    SetMovie(movie);
    SplitFile2RS();
    EXPECT_TRUE(port_.Has("message:OK:File spited and save to desktop."));
    int rc = -1;
    EXPECT_EQ(Extract(home_.file("Desktop/a\"b $(touch pwned) ;c 'd_avi(KTZ).rar"), "*.avi", &rc),
              "tiny movie");
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(prog_.file("pwned")));
}

TEST_F(SplitTest, WithoutAMovieOrATool) {
    SplitFile2RS();
    EXPECT_EQ(port_.Events(), (std::vector<std::string>{"message:Error:Please first open movie!"}));

    port_.Clear();
    TempDir emptyPath;
    setenv("PATH", emptyPath.path().c_str(), 1);
    WriteFile(prog_.file("m.avi"), "m");
    SetMovie(prog_.file("m.avi"));
    SplitFile2RS();
    std::string install = "message:ERROR:Please install WinRAR first or copy Rar.exe to\n" +
                          prog_.path() + "/binary/rar\nor\n" + ProgramFilesFolder() + "/rar";
    EXPECT_TRUE(port_.Has(install));
    EXPECT_FALSE(port_.Has("message:OK:File spited and save to desktop."));
    EXPECT_FALSE(fs::exists(home_.file("Desktop/m_avi(KTZ).rar")));
}

TEST_F(SplitTest, ToolIsTheProgramsOwnThenOneOnPath) {
    TempDir bin;
    std::string onPath = bin.file("rar");
    WriteFile(onPath, "#!/bin/sh\n");
    fs::permissions(onPath, fs::perms::owner_all);
    setenv("PATH", ("/nonexistent:" + bin.path()).c_str(), 1);
    EXPECT_EQ(GetRarEXE(), onPath);
    InstallOwnRar();
    EXPECT_EQ(GetRarEXE(), prog_.path() + "/binary/rar");
    EXPECT_TRUE(port_.Events().empty());
}

TEST_F(SplitTest, DesktopIsTheXdgFolderThenDesktopThenHome) {
    EXPECT_EQ(DesktopFolder(), home_.file("Desktop"));
    fs::create_directories(home_.file(".config"));
    fs::create_directories(home_.file("Bureau"));
    WriteFile(home_.file(".config/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
              "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    EXPECT_EQ(DesktopFolder(), home_.file("Bureau"));
    fs::remove(home_.file("Bureau"));
    EXPECT_EQ(DesktopFolder(), home_.file("Desktop"));
    fs::remove(home_.file("Desktop"));
    EXPECT_EQ(DesktopFolder(), home_.path());
}
