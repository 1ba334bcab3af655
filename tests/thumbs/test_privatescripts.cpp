// The small shell scripts of the screenshot series are written into a fresh private folder and
// run in the player's folder: a link planted under their old fixed names is never written
// through, nothing is left behind, and the program's own working folder never changes.
#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"
#include "thumbs/screenshots.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Cwd() {
    char buffer[4096];
    return getcwd(buffer, sizeof(buffer)) != nullptr ? buffer : "";
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
} // namespace

TEST(PrivateScripts, PlantedLinksAreNotWrittenThroughAndNothingIsLeft) {
    TempDir work, temp, elsewhere;
    setenv("TMPDIR", temp.path().c_str(), 1);
    RecorderPort port;
    ScopedPort scoped(&port);
    std::string victim = elsewhere.file("victim");
    WriteFile(victim, "precious");
    for (const std::string& folder : {work.path(), temp.path()})
        for (const char* name : {"DeleteScreenShoots.sh", "runjava.sh"})
            ASSERT_EQ(symlink(victim.c_str(), (folder + "/" + name).c_str()), 0);
    WriteFile(work.file("shot0001.png"), "frame");
    WriteFile(work.file("shot0002.bmp"), "frame");
    WriteFile(work.file("shot.png"), "not a frame");
    const std::string before = Cwd();

    SetPlayerFolder(work.path());
    Mp1.movieFile = work.file("film.avi");
    DeleteScreenShots(Mp1);
    RunJava(Mp1);
    SetPlayerFolder("");
    Mp1.movieFile.clear();
    unsetenv("TMPDIR");

    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_FALSE(IsFileExist(work.file("shot0001.png").c_str())) << "run in the player's folder";
    EXPECT_FALSE(IsFileExist(work.file("shot0002.bmp").c_str()));
    EXPECT_TRUE(IsFileExist(work.file("shot.png").c_str()));
    EXPECT_EQ(Cwd(), before);
    for (const std::string& folder : {work.path(), temp.path()})
        for (const char* name : {"DeleteScreenShoots.sh", "runjava.sh"})
            EXPECT_TRUE(IsLink(folder + "/" + name)) << folder << "/" << name;
    // The private folders went with their scripts.
    size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
        left += IsLink(entry.path().string()) ? 0 : 1;
    EXPECT_EQ(left, 0u);
}
