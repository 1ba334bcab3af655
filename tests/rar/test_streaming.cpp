// Streaming a set through the extractor, the DVD warning and the description look-up.
#include "online/moviedescription.h"
#include "online/moviehash.h"
#include "platform/paths.h"
#include "player/mplayerinfo.h"
#include "rar/streaming.h"
#include "tests/support/encryptedrar.h"
#include "tests/support/otheruser.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// A program folder whose binary/unrar and binary/QUORVAN only record their arguments, one per
// NUL-terminated entry, into <name>.args, and the password in their environment into
// <name>.password.
void StageRecordingTools(const TempDir& dir) {
    fs::create_directories(dir.file("binary"));
    for (const char* tool : {"unrar", "QUORVAN"}) {
        std::string path = dir.file(std::string("binary/") + tool);
        const std::string record = dir.path() + "/" + tool;
        WriteFile(path, "#!/bin/sh\nprintf '%s' \"$QUORVAN_RAR_PASSWORD\" > '" + record +
                            ".password'\nprintf '%s\\0' \"$@\" > '" + record +
                            ".args'\ncat >/dev/null\n");
        chmod(path.c_str(), 0755);
    }
}

std::vector<std::string> RecordedArgs(const TempDir& dir, const std::string& tool) {
    std::string data = ReadFile(dir.file(tool + ".args"));
    std::vector<std::string> args;
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i] == 0) {
            args.push_back(data.substr(start, i - start));
            start = i + 1;
        }
    return args;
}
} // namespace

TEST(StreamingScript, PasswordOnlyWhenGiven) {
    std::string with = StreamingScript("/q/binary/", "/m/a.rar", "PASS", false);
    EXPECT_NE(with.find("QUORVAN_RAR_PASSWORD='PASS' '/q/binary/unrar' p -inul '/m/a.rar' | "
                        "'/q/binary/QUORVAN' -\n"),
              std::string::npos)
        << with;
    EXPECT_NE(StreamingScript("/q/", "/m", "", false, "/p/run2.sh.started")
                  .find("{\n: > '/p/run2.sh.started'\n'/q/unrar'"),
              std::string::npos)
        << "the marker is made first, once the shell has read the whole group";
    std::string without = StreamingScript("/q/binary/", "/m/a.rar", "", false);
    EXPECT_EQ(without.find("-p"), std::string::npos);
    EXPECT_EQ(without.find("read "), std::string::npos);
    EXPECT_NE(StreamingScript("/q/", "/m", "", true).find("read quorvan_key"), std::string::npos);
}

TEST(StreamingScript, HostileNamesAndPasswordsRunNothing) {
    TempDir dir;
    StageRecordingTools(dir);
    const std::string marker = dir.file("pwned");
    const std::vector<std::string> hostile = {
        "a'b\"c",    "$(touch " + marker + ")", "`touch " + marker + "`",    "x; touch " + marker,
        "two words", "line\ntouch " + marker,   "'; touch " + marker + "; '"};
    for (const auto& text : hostile) {
        std::string script = dir.file("run2.sh");
        std::string rar = dir.file(text + ".rar");
        WriteFile(script, StreamingScript(dir.path() + "/binary/", rar, text, false));
        std::string out;
        EXPECT_EQ(RunCommand({"/bin/sh", script}, &out), 0) << out;
        EXPECT_FALSE(fs::exists(marker)) << text;
        EXPECT_EQ(RecordedArgs(dir, "unrar"), (std::vector<std::string>{"p", "-inul", rar}))
            << text;
        EXPECT_EQ(ReadFile(dir.file("unrar.password")), text);
        EXPECT_EQ(RecordedArgs(dir, "QUORVAN"), std::vector<std::string>{"-"});
        EXPECT_EQ(ReadFile(dir.file("QUORVAN.password")), "") << "only the extractor gets it";
    }
}

TEST(StreamingScript, WipePassesFollowTheSignedBytePattern) {
    std::string first = WipePattern(1);
    EXPECT_EQ(first.rfind("0123456789101112", 0), 0u);
    EXPECT_NE(first.find("126127-128-127"), std::string::npos);
    EXPECT_NE(WipePattern(7).find("882889-896-889"), std::string::npos)
        << "7 x 126, 127, -128, -127";
    TempDir dir;
    std::string file = dir.file("secret.sh");
    WriteFile(file, "unrar -pSECRET");
    EXPECT_TRUE(WipeFile(file));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(WipeFile(dir.file("missing/x")));
}

TEST(StreamingScript, RunRarStartsThePipelineAndWipesTheScript) {
    TempDir dir;
    StageRecordingTools(dir);
    SetProgramFolder(dir.path());
    unsetenv("DISPLAY");
    std::snprintf(buf6, sizeof(buf6), "%s", "se cret");
    std::string rar = dir.file("my movie.rar");
    ASSERT_TRUE(ButionUnRarChosen(rar));
    EXPECT_EQ(Mp1.MovieFileSnapshot(), rar);
    const std::string folder = GetDirectoryFromPath(StreamingScriptPath());
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::others_all, fs::perms::none);
    // Both ends of the pipeline run at the same time; each records its arguments when it can.
    const std::vector<std::string> expected = {"p", "-inul", rar};
    EXPECT_TRUE(WaitUntil([&] { return RecordedArgs(dir, "unrar") == expected; }, 10000))
        << RecordedArgs(dir, "unrar").size();
    EXPECT_EQ(ReadFile(dir.file("unrar.password")), "se cret");
    EXPECT_TRUE(WaitUntil([&] { return RecordedArgs(dir, "QUORVAN").size() == 1; }, 10000));
    ASSERT_TRUE(WaitUntil([] { return !fs::exists(StreamingScriptPath()); }, 35000))
        << "the script holding the password must be wiped";
    EXPECT_FALSE(fs::exists(StreamingScriptPath() + ".started"));
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(folder); }, 5000));
    buf6[0] = 0;
    SetProgramFolder("");
}

TEST(StreamingScript, APlantedScriptIsNeverWrittenThrough) {
    TempDir dir;
    StageRecordingTools(dir);
    SetProgramFolder(dir.path());
    unsetenv("DISPLAY");
    // A temporary directory where another user planted the folder an earlier version used,
    // with run2.sh a symlink to a file of ours.
    TempDir tmp;
    const char* oldTmp = std::getenv("TMPDIR");
    std::string keptTmp = oldTmp != nullptr ? oldTmp : "";
    setenv("TMPDIR", tmp.path().c_str(), 1);
    const std::string planted = tmp.file("quorvan-" + std::to_string(getuid()));
    fs::create_directories(planted);
    WriteFile(dir.file("precious.txt"), "precious");
    fs::create_symlink(dir.file("precious.txt"), planted + "/run2.sh");
    std::snprintf(buf6, sizeof(buf6), "%s", "pw");

    ASSERT_TRUE(ButionUnRarChosen(dir.file("film.rar")));
    const std::string script = StreamingScriptPath();
    const std::string folder = GetDirectoryFromPath(script);
    EXPECT_EQ(folder.rfind(tmp.file("quorvan-stream-"), 0), 0u) << folder;
    EXPECT_TRUE(WaitUntil([&] { return RecordedArgs(dir, "QUORVAN").size() == 1; }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(folder); }, 35000))
        << "the run's own folder goes with its script";
    EXPECT_EQ(ReadFile(dir.file("precious.txt")), "precious");
    EXPECT_TRUE(fs::is_symlink(planted + "/run2.sh"));
    // The wipe itself never follows a symlink.
    EXPECT_FALSE(WipeFile(planted + "/run2.sh"));
    EXPECT_EQ(ReadFile(dir.file("precious.txt")), "precious");

    if (keptTmp.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", keptTmp.c_str(), 1);
    buf6[0] = 0;
    SetProgramFolder("");
}

TEST(StreamingScript, AStoredSetPlaysThroughTheExtractorAndTheWrapper) {
    std::string movie = GeneratedMovie(3);
    ASSERT_FALSE(movie.empty());
    TempDir dir;
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v50k", "-vn",
                          dir.file("film.rar"), movie},
                         &out),
              0)
        << out;
    // The separate player has no window here.
    fs::create_directories(dir.file("mplayer"));
    WriteFile(dir.file("mplayer/config"), "vo=null\nao=null\n");
    setenv("MPLAYER_HOME", dir.file("mplayer").c_str(), 1);
    std::string script = dir.file("run2.sh");
    WriteFile(script, StreamingScript(StageDir() + "/binary/", dir.file("film.r01"), "", false));
    int rc = RunCommand({"timeout", "60", "/bin/sh", script}, &out);
    unsetenv("MPLAYER_HOME");
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("Starting playback..."), std::string::npos) << out;
    EXPECT_NE(out.find("Exiting... (End of file)"), std::string::npos) << out;
}

namespace {
// A program folder with the real extractor and a player that reads nothing until the test says
// so (through the FIFO `go`), so that the extractor is still running (blocked on the full pipe)
// while the test looks; then it copies what it reads to `streamed`.
void StageRealExtractorAndHeldPlayer(const TempDir& dir) {
    fs::create_directories(dir.file("binary"));
    fs::create_symlink(StageDir() + "/binary/unrar", dir.file("binary/unrar"));
    ASSERT_EQ(mkfifo(dir.file("go").c_str(), 0600), 0);
    WriteFile(dir.file("binary/QUORVAN"), "#!/bin/sh\nread word < '" + dir.file("go") +
                                              "'\ncat > '" + dir.file("streamed") + "'\n");
    chmod(dir.file("binary/QUORVAN").c_str(), 0755);
}

std::string TestMovie(size_t size, unsigned seed) {
    std::string movie(size, 0);
    for (auto& c : movie)
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return movie;
}

// Streams `set` with the streaming command and `password`. While the extractor runs, the
// password is in no process's command line and in no environment but the extractor's own (it
// is handed over there), and another user reads it nowhere; then the player gets `movie` byte
// for byte.
void StreamAndLookForThePassword(const TempDir& dir, const std::string& set,
                                 const std::string& movie, const std::string& password) {
    SetProgramFolder(dir.path());
    unsetenv("DISPLAY");
    std::snprintf(buf6, sizeof(buf6), "%s", password.c_str());
    ASSERT_TRUE(ButionUnRarChosen(set));
    const std::string script = StreamingScriptPath();

    const std::string extractor = dir.file("binary/unrar") + '\0' + "p";
    // Where the password shows, as root reads /proc: "cmdline" or "environ" of which process.
    auto sightings = [&] {
        std::vector<std::string> seen;
        bool extractorRuns = false;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            if (!std::isdigit(static_cast<unsigned char>(entry.path().filename().string()[0])))
                continue;
            const std::string cmdline = ReadFile(entry.path() / "cmdline");
            const bool isExtractor = cmdline.rfind(extractor, 0) == 0;
            extractorRuns = extractorRuns || isExtractor;
            if (cmdline.find(password) != std::string::npos)
                seen.push_back("cmdline of " + cmdline);
            if (!isExtractor &&
                ReadFile(entry.path() / "environ").find(password) != std::string::npos)
                seen.push_back("environ of " + cmdline);
        }
        return extractorRuns ? seen : std::vector<std::string>{"no extractor"};
    };
    std::vector<std::string> seen;
    ASSERT_TRUE(WaitUntil(
        [&] { return (seen = sightings()) != std::vector<std::string>{"no extractor"}; }, 10000));
    EXPECT_TRUE(seen.empty()) << seen.front();
    if (CanActAsAnotherUser()) {
        std::string other;
        RunCommand(AsAnotherUser({"bash", "-c",
                                  "cat /proc/[0-9]*/cmdline /proc/[0-9]*/environ \"$1\" "
                                  "2>/dev/null; echo scanned",
                                  "scan", script}),
                   &other);
        EXPECT_NE(other.find("scanned"), std::string::npos);
        EXPECT_EQ(other.find(password), std::string::npos) << "another user reads the password";
    }
    // The script that holds it (it is wiped a few seconds after the start) is this user's alone.
    struct stat file {};
    if (lstat(script.c_str(), &file) == 0) {
        EXPECT_EQ(file.st_mode & 0077, 0u);
    }
    struct stat folder {};
    if (lstat(GetDirectoryFromPath(script).c_str(), &folder) == 0) {
        EXPECT_EQ(folder.st_mode & 0077, 0u);
    }

    int writer = -1;
    ASSERT_TRUE(WaitUntil(
        [&] { return (writer = open(dir.file("go").c_str(), O_WRONLY | O_NONBLOCK)) >= 0; },
        10000));
    ASSERT_EQ(write(writer, "\n", 1), 1);
    close(writer);
    EXPECT_TRUE(
        WaitUntil([&] { return ReadFile(dir.file("streamed")).size() == movie.size(); }, 20000));
    EXPECT_TRUE(ReadFile(dir.file("streamed")) == movie);
    buf6[0] = 0;
    SetProgramFolder("");
}
} // namespace

TEST(StreamingScript, WhileItStreamsThePasswordIsInNoCommandLineAndOutOfOtherUsersReach) {
    TempDir dir;
    StageRealExtractorAndHeldPlayer(dir);
    const std::string movie = TestMovie(1 << 20, 7);
    WriteFile(dir.file("movie.avi"), movie);
    std::string out;
    ASSERT_EQ(RunCommand({StageDir() + "/binary/rar", "a", "-ep", "-m0", "-o+", "-v300k", "-vn",
                          dir.file("film.rar"), dir.file("movie.avi")},
                         &out),
              0)
        << out;
    StreamAndLookForThePassword(dir, dir.file("film.rar"), movie, "Quorvan-test secret 8d1f");
}

TEST(StreamingScript, EncryptedStoredSetsStreamExactlyAndNoOtherProgramGetsThePassword) {
    // The extractor decrypts stored sets itself (no unar with "-p" in its command line).
    const std::string movie = TestMovie((1 << 20) + 5, 9);
    for (int format : {5, 4}) {
        SCOPED_TRACE(format);
        TempDir dir;
        StageRealExtractorAndHeldPlayer(dir);
        const std::string password = "Quorvan-crypt " + std::to_string(format) + " 5e7a";
        std::vector<std::string> volumes = WriteEncryptedStoredSet(
            dir.file(format == 5 ? "film.part1.rar" : "film.rar"), "movie.avi", movie, password,
            {.format = format, .dataPerVolume = 300001});
        ASSERT_EQ(volumes.size(), 4u);
        StreamAndLookForThePassword(dir, volumes[1], movie, password);
    }
    // A wrong password: the extractor says so, and the player gets nothing.
    TempDir dir;
    std::vector<std::string> volumes = WriteEncryptedStoredSet(
        dir.file("film.part1.rar"), "movie.avi", movie, "right one", {.dataPerVolume = 300001});
    fs::create_directories(dir.file("binary"));
    fs::create_symlink(StageDir() + "/binary/unrar", dir.file("binary/unrar"));
    WriteFile(dir.file("binary/QUORVAN"), "#!/bin/sh\ncat > '" + dir.file("streamed") + "'\n");
    chmod(dir.file("binary/QUORVAN").c_str(), 0755);
    std::string script = dir.file("run2.sh");
    WriteFile(script, StreamingScript(dir.path() + "/binary/", volumes[0], "wrong one", false));
    std::string out;
    RunCommand({"timeout", "60", "/bin/sh", script}, &out);
    EXPECT_NE(out.find("movie.avi"), std::string::npos) << out;
    EXPECT_NE(out.find("the password is wrong"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(dir.file("streamed")), "");
}

TEST(StreamingScript, EncryptedCompressedSetsStreamExactlyAndNoOtherProgramGetsThePassword) {
    QUORVAN_NEEDS_SHARED_DATA();
    // Packed data of public archives (RAR 2.9 LZ with the x86 filter, RAR5 with the ARM one),
    // encrypted and cut into volumes: the extractor decrypts and unpacks them itself. What it
    // must give is what the extractor gives from the unencrypted archive (through unar or
    // libarchive, not our own decompressors).
    const std::string corpus = SharedDir() + "/testdata/rar-corpus/libarchive/";
    struct Case {
        const char* set;
        const char* name;
    };
    for (const Case& c : {Case{"test_read_format_rar_filter.rar", "bsdcat.exe"},
                          Case{"test_read_format_rar5_arm.rar", "elf-Linux-ARMv7-ls"}}) {
        SCOPED_TRACE(c.set);
        bool rar5 = false;
        PackedFile packed = PackedFromArchive(corpus + c.set, c.name, &rar5);
        ASSERT_FALSE(packed.data.empty());
        std::string movie;
        ASSERT_EQ(
            RunCommand({"/usr/bin/env",
                        rar5 ? "QUORVAN_UNRAR_DECODER=libarchive" : "QUORVAN_UNRAR_DECODER=unar",
                        StageDir() + "/binary/unrar", "p", "-inul", corpus + c.set},
                       &movie),
            0);
        ASSERT_EQ(movie.size(), packed.unpackedSize);
        TempDir dir;
        StageRealExtractorAndHeldPlayer(dir);
        const std::string password = std::string("Quorvan-packed ") + c.name + " 71c2";
        std::vector<std::string> volumes =
            WriteEncryptedSet(dir.file(rar5 ? "film.part1.rar" : "film.rar"), "movie.avi", packed,
                              password, {.format = rar5 ? 5 : 4, .dataPerVolume = 40000});
        ASSERT_GE(volumes.size(), 2u);
        StreamAndLookForThePassword(dir, volumes[0], movie, password);
    }
}

TEST(RarDvdWarning, OnlyAFirstVolumeOfExactlyFiftyMillionBytes) {
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped(&port);
    auto make = [&](const std::string& name, uintmax_t size) {
        std::string path = dir.file(name);
        WriteFile(path, "");
        fs::resize_file(path, size);
        return path;
    };
    EXPECT_TRUE(WarnIfRarDvd(make("dvd.rar", 50000000)));
    ASSERT_EQ(port.Events().size(), 1u);
    EXPECT_EQ(port.Events()[0],
              "message:DVD error:Sorry this program don't play RAR DVD (4GB). Please unrar before "
              "play.\nUse this program to play RAR DVDRips and file less that 700MB.");
    EXPECT_FALSE(WarnIfRarDvd(make("big.rar", 50000001)));
    EXPECT_FALSE(WarnIfRarDvd(make("movie.avi", 50000000)));
    EXPECT_TRUE(WarnIfRarDvd(make("DVD.RAR", 50000000)));
}

TEST(MovieDescription, OpensTheNapiprojektPageOfTheMovie) {
    EXPECT_EQ(MovieDescriptionUrl("http://h", "abc", "/films/my movie.avi"),
              "http://h/index.php3?www=opis.php3&id=abc&film=my movie.avi");
    TempDir dir;
    RecorderPort port;
    ScopedPort scoped(&port);
    setenv("QUORVAN_NAPIPROJEKT_URL", "http://127.0.0.1:9/", 1);
    PokazOpisFilmuRAR(dir.file("absent.avi").c_str());
    EXPECT_EQ(port.Events(),
              (std::vector<std::string>{"message:Error:Najpierw otwórz plik filmu!"}));
    port.Clear();
    std::string movie = dir.file("some film.avi");
    WriteFile(movie, std::string(100000, 'q'));
    PokazOpisFilmuRAR(movie.c_str());
    MovieHash hash(movie);
    EXPECT_EQ(port.Events(),
              (std::vector<std::string>{"open:http://127.0.0.1:9/index.php3?www=opis.php3&id=" +
                                        hash.hashNapiprojekt + "&film=some film.avi"}));
    unsetenv("QUORVAN_NAPIPROJEKT_URL");
}
