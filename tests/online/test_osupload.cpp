// The OpenSubtitles upload against a local XML-RPC server that rebuilds every request from
// the templates filled with the values it expects, and inflates the subtitle and the sample
// it is sent to compare them with the file's bytes.
#include "online/cancel.h"
#include "online/httptransfer.h"
#include "online/moviehash.h"
#include "online/osupload.h"
#include "online/subautoupload.h"
#include "persist/optins.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "subtitles/subtitleloading.h"
#include "tests/online/fakeservices.h"
#include "tests/online/fakeupload.h"
#include "tests/online/xmlcheck.h"
#include "tests/player/playerstate.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {
class Upload : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QUORVAN_OPENSUBTITLES_URL", server_.url().c_str(), 1);
        movie_ = dir_.file("Film żółw.avi");
        WriteLooseFile(movie_, 1u << 20, {{0, RandomBytes(1u << 20, 3)}});
        subtitlePath_ = dir_.file("Film żółw.txt");
        Subtitle(SampleSubtitle(100 * 1024, "up"));
        request_.subtitle = subtitlePath_;
        request_.movie = movie_;
        request_.login = "ola";
        request_.pass = "p<a&s>s";
    }
    void TearDown() override {
        unsetenv("QUORVAN_OPENSUBTITLES_URL");
        EXPECT_EQ(server_.Complaints(), "");
    }
    void Subtitle(const std::string& bytes) {
        WriteFile(subtitlePath_, bytes);
        e_.subtitle = bytes;
    }
    // The values a correct upload of the subtitle for the movie sends.
    void Expect(const std::string& comment) {
        OShelpFunctions& v = e_.values;
        v.login = request_.login;
        v.pass = request_.pass;
        v.subhash = Md5Hex(e_.subtitle);
        v.sampleHash = Md5Hex(e_.subtitle.substr(0, 4096));
        v.subfilename = "Film żółw.txt";
        v.moviefilename = "Film żółw.avi";
        v.moviebytesize = std::to_string(1u << 20);
        v.moviehash = GenerateHashOpenSubtitles(movie_);
        v.idmovieimdb = e_.imdbInTry;
        v.sublanguageid = e_.languageMember ? "pol" : "";
        v.subauthorcomment = comment;
        server_.Expect(e_);
    }
    std::vector<std::string> Methods(std::initializer_list<const char*> names) {
        return std::vector<std::string>(names.begin(), names.end());
    }

    TempDir dir_;
    FakeUploadServer server_;
    std::string movie_, subtitlePath_;
    UploadRequest request_;
    UploadExpectation e_;
};

TEST_F(Upload, TheUsersUploadSendsEveryTemplateFilledAndShowsTheLink) {
    Expect("USERUPLOAD");
    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request_);
    ASSERT_TRUE(r.loggedIn);
    EXPECT_FALSE(r.needImdb);
    UploadSecondPart(os, UploadWho::User, r);
    EXPECT_TRUE(r.uploaded);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Successful uploaded!\nLink:" + e_.link + "\n200 OK");
    EXPECT_EQ(r.messages[0].caption, "");
    EXPECT_EQ(os.sublanguageid, "pol");
    EXPECT_NE(os.sampleHash, os.subtitleHash);
    EXPECT_EQ(server_.Methods(),
              Methods({"LogIn", "TryUploadSubtitles", "DetectLanguage", "UploadSubtitles"}));
    // The password goes in as XML text, and the templates are the ones the service knows.
    EXPECT_NE(server_.Bodies()[0].find("<string>p&lt;a&amp;s&gt;s</string>"), std::string::npos);
    EXPECT_EQ(std::string(_DetectLanguage).find("</struct> </value>") != std::string::npos, true);
    EXPECT_EQ(std::string(_SearchMoviesOnIMDB),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><methodCall><methodName>"
              "SearchMoviesOnIMDB</methodName><params><param><value><string>$token$</string>"
              "</value></param><param><value><string>$moviefilename$</string></value></param>"
              "</params></methodCall>");
}

TEST_F(Upload, HostileNamesAndPasswordsGoInAsTextAndAddNothing) {
    // The fake server parses every request with a real XML parser and refuses it when it is
    // not well-formed; what it reads back must be the values exactly.
    movie_ = dir_.file("Tom & Jerry's \"<1>\".avi");
    WriteLooseFile(movie_, 1u << 20, {{0, RandomBytes(1u << 20, 3)}});
    request_.movie = movie_;
    request_.login = "ola&\"co\"";
    request_.pass = "x</string></value></param><param><value><string>$token$&amp;\r";
    Expect("USERUPLOAD");
    e_.values.moviefilename = "Tom & Jerry's \"<1>\".avi";
    server_.Expect(e_);
    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request_);
    ASSERT_TRUE(r.loggedIn) << server_.Complaints();
    UploadSecondPart(os, UploadWho::User, r);
    EXPECT_TRUE(r.uploaded);
    std::vector<std::string> bodies = server_.Bodies();
    ASSERT_EQ(bodies.size(), 4u);
    XmlRpcCall login = ParseXmlRpcCall(bodies[0]);
    EXPECT_EQ(login.error, "");
    EXPECT_EQ(login.params,
              (std::vector<std::string>{request_.login, request_.pass, "", "DoVavuzivav_0.2"}));
    XmlRpcCall upload = ParseXmlRpcCall(bodies[3]);
    EXPECT_EQ(upload.error, "");
    std::vector<std::string> names;
    std::string movieName;
    for (const auto& [name, value] : upload.members) {
        names.push_back(name);
        if (name == "moviefilename")
            movieName = value;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"cd1", "movietimems", "moviebytesize", "subfilename",
                                               "subcontent", "subhash", "movieframes", "moviefps",
                                               "moviefilename", "moviehash", "baseinfo",
                                               "sublanguageid", "idmovieimdb", "subauthorcomment",
                                               "movieaka", "moviereleasename"}));
    EXPECT_EQ(movieName, "Tom & Jerry's \"<1>\".avi");

    // What XML 1.0 cannot carry becomes U+FFFD; nothing else changes.
    EXPECT_EQ(XmlText(std::string("a\x01"
                                  "b\xFF"
                                  "c\td\n\xC5\xBC")),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "c\td\n\xC5\xBC");
}

TEST_F(Upload, ASmallSubtitleIsItsOwnSampleAndAMissingLanguageStillUploads) {
    Subtitle("1\n00:00:01,000 --> 00:00:02,000\nżółw\n");
    e_.languageMember = false;
    e_.link = "";
    e_.status = "402 Subtitles has invalid format";
    request_.who = UploadWho::Automatic;
    request_.loadMethod = 0;
    Expect("AUTOLOAD AUTOUPLOAD");
    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request_);
    EXPECT_EQ(os.sampleHash, os.subtitleHash);
    EXPECT_EQ(os.sublanguageid, "");
    EXPECT_FALSE(r.uploaded);
    EXPECT_TRUE(r.messages.empty()); // the automatic upload shows nothing
    EXPECT_EQ(server_.Methods().back(), "UploadSubtitles");

    // The user's upload of the same tells why it failed.
    request_.who = UploadWho::User;
    Expect("USERUPLOAD");
    OShelpFunctions user;
    UploadResult u = UploadFirstPart(user, request_);
    UploadSecondPart(user, UploadWho::User, u);
    ASSERT_EQ(u.messages.size(), 1u);
    EXPECT_EQ(u.messages[0].text, "ERROR uploaded!\n402 Subtitles has invalid format");
}

TEST_F(Upload, AlreadyKnownSubtitlesAndAFailedLoginStopTheConversation) {
    e_.alreadyindb = "1";
    Expect("USERUPLOAD");
    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request_);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Subtitle already in database!");
    request_.who = UploadWho::Automatic;
    request_.loadMethod = 1;
    Expect("USERLOAD AUTOUPLOAD");
    r = UploadFirstPart(os, request_);
    EXPECT_TRUE(r.alreadyInDb);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(server_.Methods(),
              Methods({"LogIn", "TryUploadSubtitles", "LogIn", "TryUploadSubtitles"}));

    e_.token = "";
    request_.who = UploadWho::User;
    Expect("USERUPLOAD");
    r = UploadFirstPart(os, request_);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Login Error!");
    EXPECT_EQ(server_.Methods().size(), 5u);

    // A subtitle that cannot be read ends silently, before any exchange.
    request_.subtitle = dir_.file("gone.txt");
    r = UploadFirstPart(os, request_);
    EXPECT_FALSE(r.prepared);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(server_.Methods().size(), 5u);
}

TEST_F(Upload, WithoutAnImdbNumberTheUserChoosesOneAndTheAutomaticUploadGivesUp) {
    e_.imdbInTry = "";
    e_.ids = {"0133093", "0234215"};
    e_.titles = {"The Matrix (1999)", "The Matrix Reloaded (2003)"};
    Expect("USERUPLOAD");
    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request_);
    ASSERT_TRUE(r.needImdb);
    EXPECT_EQ(os.imdbIds, e_.ids);
    EXPECT_EQ(os.imdbTitles, e_.titles);
    // The number the user confirmed goes into the upload.
    os.idmovieimdb = "0234215";
    e_.values.idmovieimdb = "0234215";
    server_.Expect(e_);
    UploadSecondPart(os, UploadWho::User, r);
    EXPECT_TRUE(r.uploaded);
    EXPECT_EQ(server_.Methods(), Methods({"LogIn", "TryUploadSubtitles", "SearchMoviesOnIMDB",
                                          "DetectLanguage", "UploadSubtitles"}));

    // More ids than titles: no proposals at all.
    e_.ids.push_back("0242653");
    Expect("USERUPLOAD");
    r = UploadFirstPart(os, request_);
    EXPECT_TRUE(r.needImdb);
    EXPECT_TRUE(os.imdbIds.empty());
    EXPECT_TRUE(os.imdbTitles.empty());

    request_.who = UploadWho::Automatic;
    Expect("USERLOAD AUTOUPLOAD");
    size_t before = server_.Methods().size();
    r = UploadFirstPart(os, request_);
    EXPECT_FALSE(r.needImdb);
    EXPECT_EQ(r.reason, "NO IMDB NUMBER");
    EXPECT_EQ(server_.Methods().size(), before + 2);
}

struct CliRun {
    int status = -1;
    std::string out;
};

// The staged `quorvan upload` with its standard output kept apart from its diagnostics.
CliRun QuorvanUpload(std::vector<std::string> args, const TempDir& dir) {
    args.insert(args.begin(), {StageDir() + "/quorvan", "upload"});
    std::vector<char*> raw;
    for (std::string& a : args)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    std::string outPath = dir.file("stdout");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    CliRun run;
    pid_t pid;
    if (posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadFile(outPath);
    return run;
}

TEST_F(Upload, TheCommandLineUploadTakesTheImdbNumberGivenOrTheFirstProposal) {
    e_.anyAccount = true;
    e_.imdbInTry = "";
    e_.ids = {"0133093", "0234215"};
    e_.titles = {"The Matrix (1999)", "The Matrix Reloaded (2003)"};
    Expect("USERUPLOAD");
    e_.values.idmovieimdb = "0133093";
    server_.Expect(e_);
    CliRun first = QuorvanUpload({"--subtitle", subtitlePath_, movie_}, dir_);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, subtitlePath_ + ": " + e_.link + "\n");
    e_.values.idmovieimdb = "0111161";
    server_.Expect(e_);
    CliRun given = QuorvanUpload({"--subtitle", subtitlePath_, "--imdb", "0111161", movie_}, dir_);
    EXPECT_EQ(given.status, 0);

    e_.alreadyindb = "1";
    server_.Expect(e_);
    CliRun known = QuorvanUpload({"--subtitle", subtitlePath_, movie_}, dir_);
    EXPECT_EQ(known.status, 1);
    EXPECT_EQ(known.out, subtitlePath_ + ": not uploaded (Subtitle already in database!)\n");
    size_t sent = server_.Methods().size();
    CliRun folder = QuorvanUpload({"--subtitle", dir_.path(), movie_}, dir_);
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.out, "");
    EXPECT_EQ(server_.Methods().size(), sent);

    unsetenv("QUORVAN_OPENSUBTITLES_URL");
    SilentServer dead(SilentServer::Close);
    setenv("QUORVAN_OPENSUBTITLES_URL", dead.url().c_str(), 1);
    CliRun login = QuorvanUpload({"--subtitle", subtitlePath_, movie_}, dir_);
    EXPECT_EQ(login.status, 1);
    EXPECT_EQ(login.out, subtitlePath_ + ": not uploaded (Login Error!)\n");
}

TEST(UploadPieces, FillReplacesOnlyTheFirstPlaceholderAndNamesLoseTheirFolders) {
    OShelpFunctions os;
    os.token = "abc";
    std::string text = "<a>$token$</a><b>$token$</b>";
    EXPECT_EQ(os.fill(text), "<a>abc</a><b>$token$</b>");
    EXPECT_EQ(getFileFromPath("/home/ola/Filmy/a.b.txt"), "a.b.txt");
    EXPECT_EQ(getFileFromPath("C:\\Filmy\\x.srt"), "x.srt");
    EXPECT_EQ(getFileFromPath("plain"), "plain");
    const unsigned char bytes[] = {'M', 'a', 'n'};
    EXPECT_EQ(Base64Encode(bytes, 3), "TWFu");
    EXPECT_EQ(Base64Encode(bytes, 2), "TWE=");
    EXPECT_EQ(Base64Encode(bytes, 1), "TQ==");
    EXPECT_EQ(Base64Encode(bytes, 0), "");
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
}
// The automatic path: what run() decides from the loaded subtitle and the options, the thread
// it starts, and how it ends against a server that never answers.
class AutomaticUpload : public Upload {
  protected:
    void SetUp() override {
        Upload::SetUp();
        Optins1.uploadAuto = true;
        Optins1.uploadAutoloaded = true;
        Optins1.login = request_.login;
        Optins1.password = request_.pass;
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.movieFile = movie_;
        Mp1.extraOptions = "";
        Mp1.subtitleOptions = "";
        SubtitleList.assign(2, ::Subtitle());
        SubtitleList[0].kind = -1;
        SubtitleList[1].kind = 2;
        SubtitleList[1].fileName = subtitlePath_;
        zaznaczonaPozycjaSubtitle = 1;
        SubAutoUploadOS1.loadMethod = 0;
    }
    void TearDown() override {
        StopAutomaticUpload();
        Optins1 = Optins();
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        SubtitleList.clear();
        zaznaczonaPozycjaSubtitle = 0;
        Mp1.movieFile.clear();
        Mp1.extraOptions.clear();
        Upload::TearDown();
    }
    // run() and, when it started an upload, the wait for its end.
    bool RunOnce() {
        int before = AutomaticUploadsStarted();
        SubAutoUploadOS1.run();
        if (AutomaticUploadsStarted() == before)
            return false;
        EXPECT_TRUE(WaitUntil([] { return !AutomaticUploadRunning(); }, 20000));
        return true;
    }
};

TEST_F(AutomaticUpload, RunUploadsOnlyWhatTheOptionsAndTheSubtitlesOriginAllow) {
    Expect("AUTOLOAD AUTOUPLOAD");
    ASSERT_TRUE(RunOnce());
    EXPECT_EQ(server_.Methods().back(), "UploadSubtitles");
    size_t sent = server_.Methods().size();

    Optins1.uploadAutoloaded = false; // a subtitle the player found by itself stays
    EXPECT_FALSE(RunOnce());
    SubAutoUploadOS1.loadMethod = 1; // one the user chose goes
    Expect("USERLOAD AUTOUPLOAD");
    EXPECT_TRUE(RunOnce());
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.extraOptions = " -sub subtitle.txt ";
    }
    SubAutoUploadOS1.loadMethod = 0;
    EXPECT_EQ(SubAutoUploadOS1.getMetchodLoadSubs(), 3);
    Optins1.uploadAutoloaded = true;
    EXPECT_FALSE(RunOnce()); // fetched from OpenSubtitles: never sent back automatically...
    // ...but the user may send it.
    request_.who = UploadWho::User;
    Expect("USERUPLOAD");
    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request_);
    UploadSecondPart(os, UploadWho::User, r);
    EXPECT_TRUE(r.uploaded);
    Optins1.uploadAuto = false;
    SubAutoUploadOS1.loadMethod = 1;
    EXPECT_FALSE(RunOnce());
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        zaznaczonaPozycjaSubtitle = 0;
    }
    Optins1.uploadAuto = true;
    EXPECT_FALSE(RunOnce()); // no subtitle file shown
    EXPECT_EQ(server_.Methods().size(), sent + 4 + 4);
}

TEST_F(AutomaticUpload, AStalledServerNeverHoldsTheThreadAndTheExitEndsItAtOnce) {
    SilentServer stall(SilentServer::Stall);
    setenv("QUORVAN_OPENSUBTITLES_URL", stall.url().c_str(), 1);
    HttpTimeouts shortWaits{2000, 3000};
    OverrideHttpTimeouts(&shortWaits);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunOnce()); // ends by the time-out: no token, nothing more
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    OverrideHttpTimeouts(nullptr);

    // The exit while it waits: cancelled and joined within a moment.
    SubAutoUploadOS1.run();
    ASSERT_TRUE(WaitUntil([&] { return stall.accepted() >= 2; }, 10000));
    EXPECT_TRUE(AutomaticUploadRunning());
    start = std::chrono::steady_clock::now();
    StopAutomaticUpload();
    EXPECT_FALSE(AutomaticUploadRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(AutomaticUpload, TheTimerRestartsOnEveryLoadAndTheUploadTimerCanBeShortened) {
    std::vector<int> started;
    int killed = 0;
    SubAutoUploadOS1.startTimer = [&](int ms) { started.push_back(ms); };
    SubAutoUploadOS1.killTimer = [&] { ++killed; };
    unsetenv("QUORVAN_UPLOAD_TIMER_MS");
    SubAutoUploadOS1.timerActive = 0;
    SubAutoUploadOS1.ResetTimerAutoLoad(0);
    setenv("QUORVAN_UPLOAD_TIMER_MS", "250", 1);
    SubAutoUploadOS1.ResetTimerAutoLoad(1);
    unsetenv("QUORVAN_UPLOAD_TIMER_MS");
    EXPECT_EQ(started, (std::vector<int>{1200000, 250}));
    EXPECT_EQ(killed, 1);
    EXPECT_EQ(SubAutoUploadOS1.loadMethod, 1);
    // The player's events drive it once the program listens: a new player clears the load
    // method, a subtitle the user loads sets it.
    ListenForUploadTimerEvents();
    FeedPlayerLine("Quorvan player wrapper\r");
    EXPECT_EQ(SubAutoUploadOS1.loadMethod, 0);
    EXPECT_EQ(LoadSUB(Mp1, "/films/chosen.srt"), 1);
    EXPECT_EQ(SubAutoUploadOS1.loadMethod, 1);
    EXPECT_EQ(started.size(), 4u);
    EXPECT_EQ(killed, 3);
    Optins1.uploadAuto = false;
    SubAutoUploadOS1.run();
    EXPECT_EQ(killed, 4);
    EXPECT_EQ(SubAutoUploadOS1.timerActive, 0);
    SubAutoUploadOS1.startTimer = nullptr;
    SubAutoUploadOS1.killTimer = nullptr;
}
} // namespace
