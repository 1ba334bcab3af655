// The state files under faults: a full disk, a folder that cannot be written and a writer
// killed mid-write. The old files stay whole, the user hears once of what was not saved, and
// an interrupted write leaves nothing behind after the next start.
#include "persist/history.h"
#include "persist/optins.h"
#include "persist/playlist.h"
#include "persist/reopen.h"
#include "persist/statefiles.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/statefolder.h"
#include "player/settings.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const char* const kNames[] = {"QuorvanPlayer.ini", "m.txt", "playlist1.p4s", "reopen.p4s"};

// A small tmpfs on `dir` for the test's lifetime, where the machine lets the test mount one.
class SmallTmpfs {
  public:
    SmallTmpfs(std::string dir, int kib) : dir_(std::move(dir)) {
        std::string size = "size=" + std::to_string(kib) + "k";
        mounted_ = mount("tmpfs", dir_.c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~SmallTmpfs() {
        if (mounted_)
            umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool MakeReadOnly() {
        return mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

  private:
    std::string dir_;
    bool mounted_ = false;
};

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class StateFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = root_.file("program");
        mkdir(program_.c_str(), 0755);
        const char* xdg = std::getenv("XDG_CONFIG_HOME");
        savedXdg_ = xdg != nullptr ? xdg : "";
        setenv("XDG_CONFIG_HOME", root_.file("config").c_str(), 1);
        IgnoreSigPipe(); // with SIGXFSZ: a file-size limit fails the write
    }
    void TearDown() override {
        SetProgramFolder("");
        if (savedXdg_.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", savedXdg_.c_str(), 1);
        sp1.clear();
        history1.clear();
    }
    void WriteOldFiles(const std::string& folder) {
        for (const char* name : kNames)
            WriteFile(folder + name, std::string("old ") + name + "\n");
    }
    // The exit's writes, as the exit runs them, with something new to write in each file.
    std::vector<std::string> SaveAsTheExitDoes() {
        Optins1.rememberPositions = true;
        history1.add("/movies/Żółw.avi", 600);
        reopen1.pushtofront("/movies/Żółw.avi");
        sp1.add("/movies/Żółw.avi");
        WriteFailureLog failures;
        history1.serialize();
        WriteSettingsOnExit(SettingsFilePath());
        SavePlaylistfile(StandingPlaylistPath());
        reopen1.save();
        ReportSaveFailures(failures);
        std::vector<std::string> messages;
        for (const auto& event : port_.Events())
            if (event.rfind("message:", 0) == 0)
                messages.push_back(event);
        return messages;
    }
    void ExpectOneMessageNamingEveryFile(const std::vector<std::string>& messages,
                                         const std::string& folder, const std::string& reason) {
        ASSERT_EQ(messages.size(), 1u);
        for (const char* name : kNames)
            EXPECT_NE(messages[0].find(folder + name + ": " + reason), std::string::npos)
                << messages[0];
    }
    TempDir root_;
    std::string program_;
    std::string savedXdg_;
    RecorderPort port_;
    ScopedPort scoped_{&port_};
};
} // namespace

TEST_F(StateFiles, AFullDiskKeepsTheOldFilesAndSaysSoOnce) {
    SmallTmpfs disk(program_, 64);
    SetProgramFolder(program_ + "/");
    const std::string folder = StateFolder();
    ASSERT_EQ(folder, program_ + "/");
    WriteOldFiles(folder);
    std::string reason;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (disk.mounted()) {
        // Fill every block that is left.
        std::string block(4096, 'f');
        int fd = open((folder + "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        while (write(fd, block.data(), block.size()) > 0) {
        }
        close(fd);
        reason = std::strerror(ENOSPC);
    } else {
        rlimit tiny = saved;
        tiny.rlim_cur = 4;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        reason = std::strerror(EFBIG);
    }
    std::vector<std::string> messages = SaveAsTheExitDoes();
    setrlimit(RLIMIT_FSIZE, &saved);

    ExpectOneMessageNamingEveryFile(messages, folder, reason);
    for (const char* name : kNames)
        EXPECT_EQ(ReadFile(folder + name), std::string("old ") + name + "\n");
    std::vector<std::string> left = FolderEntries(folder);
    left.erase(std::remove(left.begin(), left.end(), "filler"), left.end());
    EXPECT_EQ(left, std::vector<std::string>(std::begin(kNames), std::end(kNames)))
        << "a failed write left its temporary file";
}

TEST_F(StateFiles, NoWritableStateFolderIsToldOnce) {
    SmallTmpfs disk(program_, 64);
    std::string folder;
    std::string reason;
    if (disk.mounted() && (WriteOldFiles(program_ + "/"), disk.MakeReadOnly())) {
        // Neither the program folder nor a configuration folder inside it can be written.
        setenv("XDG_CONFIG_HOME", (program_ + "/config").c_str(), 1);
        SetProgramFolder(program_ + "/");
        folder = StateFolder();
        EXPECT_EQ(folder, program_ + "/config/quorvan/");
        reason = std::strerror(ENOENT);
    } else {
        // Without mounting (and as root, whom permissions do not stop): a file where the
        // folders would be.
        WriteFile(root_.file("file"), "");
        setenv("XDG_CONFIG_HOME", root_.file("file").c_str(), 1);
        SetProgramFolder(root_.file("file") + "/");
        folder = StateFolder();
        reason = std::strerror(ENOTDIR);
    }
    ExpectOneMessageNamingEveryFile(SaveAsTheExitDoes(), folder, reason);
    if (disk.mounted()) {
        for (const char* name : kNames)
            EXPECT_EQ(ReadFile(program_ + "/" + name), std::string("old ") + name + "\n");
    }
}

TEST_F(StateFiles, AWriterKilledMidWriteLeavesOldOrNewAndTheNextStartTidiesUp) {
    const std::string folder = program_ + "/";
    const std::string file = folder + "QuorvanPlayer.ini";
    const std::string a(256 * 1024, 'a');
    const std::string b(256 * 1024, 'b');
    ASSERT_TRUE(WriteFileAtomically(file, a));
    for (int round = 0; round < 20; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                WriteFileAtomically(file, i % 2 == 0 ? b : a);
        }
        usleep(static_cast<useconds_t>(1000 + 1700 * round));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string now = ReadFile(file);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
    WriteFile(folder + "QuorvanPlayer.ini.bak", "kept");
    WriteFile(folder + "movie.avi.Ab12Cd", "kept: no state file of ours");
    WriteFile(folder + "m.txt.Xy9Z00", "left by an interrupted write");
    size_t temporaries = FolderEntries(folder).size() - 3; // all but the three kept
    EXPECT_EQ(RemoveInterruptedWrites(folder), static_cast<int>(temporaries));
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"QuorvanPlayer.ini", "QuorvanPlayer.ini.bak",
                                        "movie.avi.Ab12Cd"}));
}
