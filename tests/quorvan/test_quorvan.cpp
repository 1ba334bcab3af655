// The quorvan companion: its JSON escaping, and the staged program run on real and written sets.
#include "platform/textutil.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/testenv.h"
#include "tools/quorvan/jsonwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <mbedtls/md5.h>
#include <spawn.h>
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
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    std::string outPath = dir.file("stdout"), errPath = dir.file("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid;
    ProgramRun run;
    if (posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
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
