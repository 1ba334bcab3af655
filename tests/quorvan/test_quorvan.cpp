// The quorvan companion: its JSON escaping, and the staged program run on real and written sets.
#include "platform/process.h"
#include "platform/textutil.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/testenv.h"
#include "tools/quorvan/jsonwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mbedtls/md5.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
struct ProgramRun {
    int status = -1;
    std::string out, err;
};

// Runs the staged quorvan with stdout and stderr kept apart (cat writes movie bytes).
ProgramRun Quorvan(const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> argv = {StageDir() + "/quorvan"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string outPath = dir.file("stdout"), errPath = dir.file("stderr");
    ProgramRun run;
    run.status = RunCommandToFiles(argv, outPath, errPath);
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

std::string Data(const std::string& name) {
    return SharedDir() + "/testdata/rar/" + name;
}

TEST(QuorvanJson, StringsAreEscapedAndKeptValid) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain.avi", "\"plain.avi\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
        {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        {std::string("\0x", 2), "\"\\u0000x\""},
        {"za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", "\"za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87\""},
        {"\xf0\x9f\x8e\xac", "\"\xf0\x9f\x8e\xac\""},
        // Windows-1250 "ż" and a cut UTF-8 sequence are not UTF-8: escaped byte by byte.
        {"\xbf", "\"\\u00bf\""},
        {"\xc5", "\"\\u00c5\""},
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""}, // an encoded surrogate
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},            // an overlong '/'
    };
    for (const auto& [text, json] : cases)
        EXPECT_EQ(JsonString(text), json);
}

TEST(QuorvanJson, ObjectsNestAndListValues) {
    JsonObject inner;
    inner.Add("n", int64_t(-5)).Add("big", uint64_t(5000000000ull)).Add("ok", true);
    JsonObject o;
    o.Add("name", "x").Add("inner", inner).Add("list", std::vector<std::string>{"a", "b"});
    o.AddNull("none").Add("empty", std::vector<std::string>{});
    EXPECT_EQ(o.str(), "{\"name\":\"x\",\"inner\":{\"n\":-5,\"big\":5000000000,\"ok\":true},"
                       "\"list\":[\"a\",\"b\"],\"none\":null,\"empty\":[]}");
}

class QuorvanProgram : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(QuorvanProgram, HashOfAnyVolumeGivesTheStoredMovieAndTheSet) {
    QUORVAN_NEEDS_SHARED_DATA();
    // The stored file is shorter than 10 MiB, so its Napiprojekt MD5 is the README's MD5.
    ProgramRun run = Quorvan({"hash", "--json", Data("rar3-old.r01")}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string first = Data("rar3-old.rar");
    for (const std::string& part :
         {"\"file\":" + JsonString(first), std::string("\"size\":205000"),
          std::string("\"napiprojekt\":\"86c08c8bf3a7ff3e2b4d60e2f115a443\""),
          std::string("\"napisyinfo\":\"d41d8cd98f00b204e9800998ecf8427e\""),
          "\"firstVolume\":" + JsonString(first), std::string("\"namingScheme\":1"),
          std::string("\"storedSize\":205000"), std::string("\"stored\":true"),
          std::string("\"volumes\":3"), std::string("\"missing\":[]")})
        EXPECT_NE(run.out.find(part), std::string::npos) << part << " in " << run.out;
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);

    ProgramRun text = Quorvan({"hash", Data("rar3-vols.part3.rar")}, dir);
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("napiprojekt: 86c08c8bf3a7ff3e2b4d60e2f115a443\n"), std::string::npos);
    EXPECT_NE(text.out.find("naming scheme: 2"), std::string::npos);
}

TEST_F(QuorvanProgram, HashOfASetGivesTheFingerprintsOfTheSameMovieLoose) {
    QUORVAN_NEEDS_SHARED_DATA();
    ProgramRun bytes = Quorvan({"cat", Data("rar3-old.rar")}, dir);
    ASSERT_EQ(bytes.status, 0);
    ASSERT_EQ(bytes.out.size(), 205000u);
    WriteFile(dir.file("loose.avi"), bytes.out);
    ProgramRun loose = Quorvan({"hash", dir.file("loose.avi")}, dir);
    ProgramRun stored = Quorvan({"hash", Data("rar3-old.r00")}, dir);
    ASSERT_EQ(loose.status, 0);
    ASSERT_EQ(stored.status, 0);
    auto field = [](const std::string& text, const std::string& name) {
        size_t at = text.find("\n" + name + ": ");
        if (at == std::string::npos)
            return std::string();
        at += name.size() + 3;
        return text.substr(at, text.find('\n', at) - at);
    };
    for (const char* name :
         {"size", "opensubtitles", "napiprojekt", "napiprojekt token", "napisyinfo"}) {
        EXPECT_FALSE(field(loose.out, name).empty()) << name << " in " << loose.out;
        EXPECT_EQ(field(stored.out, name), field(loose.out, name)) << name;
    }
    EXPECT_EQ(field(stored.out, "opensubtitles").size(), 16u);
    // Worked out by hand from 86c08c8bf3a7ff3e2b4d60e2f115a443: digit 14 "3" -> pair "08" -> 0;
    // digit 3 "0" -> "f3" -> 6; digit 6 "8" -> "f1" -> 5; digit 8 "f" -> "15" -> 4;
    // digit 2 "c" -> "b4" -> c.
    EXPECT_EQ(field(stored.out, "napiprojekt token"), "0654c");
}

TEST_F(QuorvanProgram, HashOfALooseFileHasNoSet) {
    std::string movie = RandomBytes(5000, 1);
    WriteFile(dir.file("movie.avi"), movie);
    ProgramRun run = Quorvan({"hash", "--json", dir.file("movie.avi")}, dir);
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"napiprojekt\":\"" + Md5Hex(movie) + "\""), std::string::npos);
    EXPECT_NE(run.out.find("\"size\":5000"), std::string::npos);
    EXPECT_NE(run.out.find("\"rar\":null"), std::string::npos);
}

TEST_F(QuorvanProgram, CatWritesTheStoredBytes) {
    QUORVAN_NEEDS_SHARED_DATA();
    ProgramRun whole = Quorvan({"cat", Data("rar3-vols.part1.rar")}, dir);
    ASSERT_EQ(whole.status, 0);
    EXPECT_EQ(whole.out.size(), 205000u);
    EXPECT_EQ(Md5Hex(whole.out), "86c08c8bf3a7ff3e2b4d60e2f115a443");

    ProgramRun part =
        Quorvan({"cat", Data("rar3-old.rar"), "--offset", "102300", "--length", "25"}, dir);
    ASSERT_EQ(part.status, 0);
    EXPECT_EQ(part.out, whole.out.substr(102300, 25));
    ProgramRun clipped =
        Quorvan({"cat", Data("rar3-old.rar"), "--offset", "204990", "--length", "99"}, dir);
    EXPECT_EQ(clipped.out, whole.out.substr(204990));
    ProgramRun beyond = Quorvan({"cat", Data("rar3-old.rar"), "--offset", "999999"}, dir);
    EXPECT_EQ(beyond.status, 0);
    EXPECT_EQ(beyond.out, "");
}

TEST_F(QuorvanProgram, ALargeSetKeepsItsConsoleLineOutOfTheBytes) {
    const uint64_t size = 5000000000ull;
    StoredSetOptions options;
    options.share = 2000000000;
    options.largeFile = true;
    std::vector<std::string> names = {dir.file("big.part1.rar"), dir.file("big.part2.rar"),
                                      dir.file("big.part3.rar")};
    ASSERT_TRUE(WriteStoredSet(names, size, {{size - 6, "finale"}}, options));
    ProgramRun run = Quorvan({"cat", names[1], "--offset", "4999999998"}, dir);
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "le");
    EXPECT_NE(run.err.find("file > 2GB"), std::string::npos);
    ProgramRun hash = Quorvan({"hash", "--json", names[0]}, dir);
    EXPECT_NE(hash.out.find("\"size\":5000000000"), std::string::npos);
    EXPECT_EQ(hash.out.find("file > 2GB"), std::string::npos);
}

TEST_F(QuorvanProgram, AMovieOver2GiBInOneVolumeFingerprintsLikeTheLooseFile) {
    // Packed size above 0x7FFFFFFF, carried by the high packed-size field.
    const uint64_t size = 4500000000ull;
    const RarMarks marks = {{0, RandomBytes(70000, 3)}, {size - 70000, RandomBytes(70000, 4)}};
    StoredSetOptions options;
    options.share = int64_t(size);
    ASSERT_TRUE(WriteStoredSet({dir.file("one.rar")}, size, marks, options));
    ASSERT_TRUE(WriteLooseFile(dir.file("one.avi"), size, marks));
    ProgramRun stored = Quorvan({"hash", dir.file("one.rar")}, dir);
    ProgramRun loose = Quorvan({"hash", dir.file("one.avi")}, dir);
    ASSERT_EQ(stored.status, 0) << stored.err;
    ASSERT_EQ(loose.status, 0) << loose.err;
    EXPECT_EQ(stored.out.find("Complete download"), std::string::npos) << stored.out;
    EXPECT_EQ(stored.err.find("Complete download"), std::string::npos) << stored.err;
    std::string fingerprints = loose.out.substr(loose.out.find("\nsize: "));
    EXPECT_EQ(stored.out.substr(stored.out.find("\nsize: "), fingerprints.size()), fingerprints);
    ProgramRun tail =
        Quorvan({"cat", dir.file("one.rar"), "--offset", std::to_string(size - 10)}, dir);
    EXPECT_EQ(tail.status, 0);
    EXPECT_EQ(tail.out, marks[1].second.substr(70000 - 10));
}

TEST_F(QuorvanProgram, CatOfAnUnfinishedSetWritesWhatIsThereAndNamesTheVolume) {
    std::string movie = RandomBytes(5000, 5);
    StoredSetOptions options;
    options.share = 1000;
    std::vector<std::string> names;
    for (int k = 1; k <= 5; ++k)
        names.push_back(dir.file("film.part" + std::to_string(k) + ".rar"));
    ASSERT_TRUE(WriteStoredSet(names, movie.size(), {{0, movie}}, options));
    // The third volume is still downloading: it has only 400 bytes of its share.
    size_t head = StoredSetHead(movie.size(), options).size();
    std::filesystem::resize_file(names[2], head + 400);
    std::filesystem::rename(names[2], names[2] + ".bc!");
    ProgramRun run = Quorvan({"cat", names[0]}, dir);
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(run.out == movie.substr(0, 2400)) << run.out.size();
    EXPECT_NE(run.err.find("film.part3.rar is short"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("byte 2400"), std::string::npos) << run.err;
    run = Quorvan({"rar-info", names[0]}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("short volume: " + names[2] + " (400 bytes"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("playable: the first 2400 bytes\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("missing volume"), std::string::npos) << run.out;

    std::filesystem::remove(names[2] + ".bc!");
    run = Quorvan({"cat", names[0], "--offset", "100"}, dir);
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(run.out == movie.substr(100, 1900)) << run.out.size();
    EXPECT_NE(run.err.find("film.part3.rar is missing"), std::string::npos) << run.err;
}

TEST_F(QuorvanProgram, AHeaderRunningPastTheEndOfItsVolumeIsABadArchive) {
    StoredSetOptions options;
    options.share = 1000;
    std::string head = StoredSetHead(1000, options);
    // The header's own size says it goes on 200 bytes past the end of the file.
    std::string bytes = head;
    size_t file = 20;
    bytes[file + 5] = char((head.size() - file + 200) & 0xff);
    bytes[file + 6] = char((head.size() - file + 200) >> 8);
    WriteFile(dir.file("cut.rar"), bytes);
    ProgramRun run = Quorvan({"cat", dir.file("cut.rar")}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("This isn’t good RAR file!"), std::string::npos) << run.err;
}

// Runs a tool with stdin, stdout and stderr on /dev/null, and says whether it ended within
// `limitMs` (it is killed otherwise) and with what status.
std::pair<bool, int> RunBounded(const std::vector<std::string>& argv, int limitMs) {
    SpawnOptions options;
    options.argv = argv;
    options.nullStdio = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return {false, -1};
    int status = 0;
    if (!WaitProcess(child.pid, limitMs, &status)) {
        KillProcess(child.pid, 100);
        return {false, -1};
    }
    return {true, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(QuorvanProgram, EveryToolRefusesSpecialFilesAtOnce) {
    ASSERT_EQ(mkfifo(dir.file("x.rar").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.rar"));
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = dir.file("s.rar");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string stage = StageDir();
    for (const std::string& special :
         {dir.file("x.rar"), dir.file("folder.rar"), socketPath, std::string("/dev/zero")}) {
        const std::vector<std::vector<std::string>> commands = {
            {stage + "/quorvan", "hash", special},
            {stage + "/quorvan", "rar-info", special},
            {stage + "/quorvan", "cat", special},
            {stage + "/binary/unrar", "p", "-inul", special},
            {stage + "/binary/QUORVAN", "-vo", "null", special},
        };
        for (const auto& command : commands) {
            auto start = std::chrono::steady_clock::now();
            auto [ended, status] = RunBounded(command, 3000);
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
            EXPECT_TRUE(ended) << command[0] << " " << command[1] << " " << special;
            EXPECT_NE(status, 0) << command[0] << " " << command[1] << " " << special;
            EXPECT_LT(ms, 1000) << command[0] << " " << command[1] << " " << special;
        }
    }
    close(sock);
    // The messages say what the file is.
    ProgramRun run = Quorvan({"cat", dir.file("x.rar")}, dir);
    EXPECT_NE(run.err.find("is a FIFO"), std::string::npos) << run.err;
    run = Quorvan({"hash", dir.file("folder.rar")}, dir);
    EXPECT_NE(run.err.find("is a folder"), std::string::npos) << run.err;
    std::filesystem::create_directory(dir.file("movies"));
    run = Quorvan({"hash", dir.file("movies")}, dir);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out.find("9223372036854775807"), std::string::npos) << run.out;
    std::string out;
    RunCommand({stage + "/binary/QUORVAN", "-vo", "null", dir.file("x.rar")}, &out);
    EXPECT_NE(out.find("Exiting... (Fatal error) " + dir.file("x.rar") + " is a FIFO"),
              std::string::npos)
        << out;
}

TEST_F(QuorvanProgram, RarInfoListsMissingVolumes) {
    std::string movie = RandomBytes(3000, 2);
    StoredSetOptions options;
    options.share = 1000;
    std::vector<std::string> names = {dir.file("m.001"), dir.file("m.002"), dir.file("m.003")};
    ASSERT_TRUE(WriteStoredSet(names, movie.size(), {{0, movie}}, options));
    std::filesystem::remove(names[1]);
    ProgramRun run = Quorvan({"rar-info", names[2]}, dir); // .NNN names are not rewritten
    EXPECT_EQ(run.status, 3);
    run = Quorvan({"rar-info", names[0]}, dir);
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("volume share: 1000\n"), std::string::npos);
    EXPECT_NE(run.out.find("volumes: 3\n"), std::string::npos);
    EXPECT_NE(run.out.find("missing volume: " + names[1] + "\n"), std::string::npos);
}

TEST_F(QuorvanProgram, FailuresHaveTheirOwnExitStatus) {
    WriteFile(dir.file("bad.rar"), "not a rar file");
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"hash", dir.file("absent.avi")}, 1}, {{"rar-info", dir.file("bad.rar")}, 1},
        {{"cat", dir.file("absent.rar")}, 1},  {{"rar-info", dir.file("movie.avi")}, 3},
        {{"cat", dir.file("movie.avi")}, 3},
    };
    for (const auto& [args, status] : cases) {
        ProgramRun run = Quorvan(args, dir);
        EXPECT_EQ(run.status, status) << args[0] << " " << args[1];
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    EXPECT_NE(Quorvan({}, dir).status, 0);
}
} // namespace
