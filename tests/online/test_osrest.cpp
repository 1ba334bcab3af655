// The OpenSubtitles.com REST engine against a local server that checks every request: the
// companion tool as a user runs it (a program folder of its own whose settings choose the
// engine), and the engine's work functions for the answers the service gives when it refuses.
#include "online/moviehash.h"
#include "online/oshelpfunctions.h"
#include "online/osrest.h"
#include "online/osrestclient.h"
#include "online/osrestsettings.h"
#include "online/servers.h"
#include "online/xmlrpc.h"
#include "platform/paths.h"
#include "tests/online/fakeosrest.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {
using Clock = std::chrono::steady_clock;

const char* const kPlaceholder =
    "1\r\n00:00:01,000 --> 00:00:10,000\r\nDownloading subtitles through this interface is "
    "for VIP members only.\r\nPlease become VIP at www.opensubtitles.org/vip\r\n";

std::string Srt(int cues, const std::string& tag) {
    std::string text;
    for (int i = 1; i <= cues; ++i)
        text += std::to_string(i) + "\r\n00:00:" + std::to_string(10 + i) +
                ",000 --> 00:00:" + std::to_string(11 + i) + ",000\r\n" + tag + " " +
                std::to_string(i) + "\r\n\r\n";
    return text;
}

class RestEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        // The tool keeps its settings beside itself: a copy of it in a folder of our own.
        fs::copy_file(StageDir() + "/quorvan", program_.file("quorvan"));
        fs::create_directories(program_.file("locale"));
        for (const char* name : {"lang_en_US.ini", kOSRestLanguageFile})
            fs::copy_file(StageDir() + "/locale/" + name, program_.file("locale/") + name);
        movie_ = dir_.file("movie.avi");
        WriteLooseFile(movie_, 300000, {{0, RandomBytes(300000, 31)}});
        hash_ = GenerateHashOpenSubtitles(movie_);
        config_ = {os_.apiUrl(), FakeOpenSubtitlesRest::kKey, DefaultOSRestUserAgent(), "", ""};
        ForgetOSRestSessions();
        ResetOSRestPace();
    }
    void TearDown() override {
        SetProgramFolder("");
        EXPECT_EQ(os_.Complaints(), "");
    }
    void Settings(const std::string& login, const std::string& key) {
        WriteFile(program_.file("QuorvanPlayer.ini"), "[quorvan]\nLogin=" + login +
                                                          "\nPass=s3cret \"x\"\n[opensubtitles]\n"
                                                          "Engine=REST\nApiKey=" +
                                                          key + "\nApiUrl=" + os_.apiUrl() + "/\n");
    }
    struct Run {
        int status;
        std::string out;
    };
    Run Quorvan(std::vector<std::string> args) {
        args.insert(args.begin(),
                    {program_.file("quorvan"), "subtitles", "--service", "opensubtitles"});
        Run run;
        run.status = RunCommandToFiles(args, dir_.file("out"), dir_.file("err"));
        run.out = ReadFile(dir_.file("out"));
        return run;
    }

    TempDir program_, dir_;
    FakeOpenSubtitlesRest os_;
    std::string movie_, hash_;
    OSRestConfig config_;
};

TEST_F(RestEngine, TheListMarksEveryKindAndPutsHashMatchesFirstThenTheMostDownloaded) {
    os_.Results(
        hash_, {Sub("pl", "human.pl.srt", 11, 50), Sub("pl", "machine.pl.srt", 12, 5000, "machine"),
                Sub("en", "ai.en.srt", 13, 900, "hash ai"), Sub("en", "hi.en.srt", 14, 300, "hi")});
    // With an account the tool logs in and follows the login's base_url to the other host.
    os_.Account("jan", "s3cret \"x\"", true);
    Settings("jan", FakeOpenSubtitlesRest::kKey);
    Run run = Quorvan({"--list", movie_});
    EXPECT_EQ(run.status, 0) << ReadFile(dir_.file("err"));
    std::string p = movie_ + ": ";
    EXPECT_EQ(run.out, p + "[en] ai.en.srt | 900 downloads | hash match | AI | file_id 13\n" + p +
                           "[pl] human.pl.srt | 50 downloads | hash match | file_id 11\n" + p +
                           "[pl] machine.pl.srt | 5000 downloads | machine | file_id 12\n" + p +
                           "[en] hi.en.srt | 300 downloads | HI | file_id 14\n");
    // The agent names the program and its version ("<AppName> v<version>").
    std::string agent = DefaultOSRestUserAgent(), prefix = "QuorvanRarPlayer v";
    std::string version = agent.substr(std::min(agent.size(), prefix.size()));
    EXPECT_EQ(agent.substr(0, prefix.size()), prefix);
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << agent;
    EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << agent;
    std::vector<FakeRestArrival> arrivals = os_.Arrivals();
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].host + " " + arrivals[0].target, "api /api/v1/login");
    EXPECT_EQ(arrivals[1].host + " " + arrivals[1].target,
              "vip /api/v1/subtitles?ai_translated=include&machine_translated=include&moviehash=" +
                  hash_);
}

TEST_F(RestEngine, ADownloadLandsBesideTheMovieAndTellsTheDownloadsLeft) {
    std::string best = Srt(40, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87");
    os_.Results(hash_, {Sub("pl", "few.pl.srt", 21, 10, "hash", Srt(30, "few")),
                        Sub("pl", "most.pl.srt", 22, 800, "hash", best),
                        Sub("en", "en.srt", 23, 9000, "hash", Srt(30, "en")),
                        Sub("pl", "other.pl.srt", 24, 99999, "", "x")});
    os_.Remaining(8);
    Settings("", FakeOpenSubtitlesRest::kKey); // no account: the anonymous quota, no token
    Run run = Quorvan({"--lang", "pl", movie_});
    EXPECT_EQ(run.status, 0) << ReadFile(dir_.file("err"));
    EXPECT_EQ(run.out, movie_ + ": " + dir_.file("subtitle.txt") + "\n" + movie_ + ": copied to " +
                           dir_.file("movie.srt") + "\n" + movie_ +
                           ": OpenSubtitles.com: 7 downloads left, reset time " +
                           FakeOpenSubtitlesRest::kResetTime + "\n");
    EXPECT_EQ(ReadFile(dir_.file("subtitle.txt")), best);
    EXPECT_EQ(ReadFile(dir_.file("movie.srt")), best);
    EXPECT_EQ(os_.Count("GET", "/api/v1/subtitles?ai_translated=include&languages=pl&"), 1u);
    EXPECT_EQ(os_.Count("POST", "/api/v1/download"), 1u);
    EXPECT_EQ(os_.Count("GET", "/files/22.srt"), 1u);

    // Three-letter codes of the language menus go through the shipped table.
    fs::remove(dir_.file("movie.srt"));
    Run json = Quorvan({"--json", "--lang", "eng", movie_});
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"ok\":true"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"remaining\":6,\"resetTime\":\"23 hours"), std::string::npos);
    EXPECT_EQ(ReadFile(dir_.file("movie.srt")), Srt(30, "en"));

    // Without a key nothing is asked of the service, and the reason names the setting.
    Settings("", "");
    size_t before = os_.Arrivals().size();
    Run nokey = Quorvan({movie_});
    EXPECT_EQ(nokey.status, 1);
    EXPECT_EQ(nokey.out, movie_ + ": no subtitle (no OpenSubtitles.com API key ([opensubtitles] "
                                  "ApiKey))\n");
    EXPECT_EQ(os_.Arrivals().size(), before);
}

TEST_F(RestEngine, AUsedUpQuotaSaysWhenDownloadsComeBack) {
    os_.Results(hash_, {Sub("pl", "most.pl.srt", 22, 800, "hash", Srt(40, "pl"))});
    os_.Remaining(0);
    Settings("", FakeOpenSubtitlesRest::kKey);
    Run run = Quorvan({"--lang", "pl", movie_});
    EXPECT_EQ(run.status, 1);
    const std::string reset = std::string(FakeOpenSubtitlesRest::kResetTime);
    EXPECT_EQ(run.out, movie_ +
                           ": no subtitle (Your OpenSubtitles.com downloads for today are used "
                           "up; new downloads in " +
                           reset + ")\n" + movie_ +
                           ": OpenSubtitles.com: 0 downloads left, reset time " + reset +
                           " (2026-12-10T15:00:00.000Z)\n");
    EXPECT_FALSE(fs::exists(dir_.file("movie.srt")));
    Run json = Quorvan({"--json", "--lang", "pl", movie_});
    EXPECT_NE(json.out.find("\"remaining\":0,\"resetTime\":\"" + reset), std::string::npos)
        << json.out;
}

// Each refusal of the service gives its own message, with the reset time where it names one,
// and leaves no subtitle behind, not even a placeholder.
TEST_F(RestEngine, EveryRefusalGivesItsMessageAndNoFile) {
    SetProgramFolder(program_.path());
    os_.Results(hash_, {Sub("pl", "a.pl.srt", 31, 10, "hash", Srt(30, "ok"))});
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::vector<std::string> said;
    };
    std::string quota = "{\"requests\":20,\"remaining\":0,\"message\":\"You have downloaded your "
                        "allowed 20 subtitles\",\"reset_time\":\"5 hours and 3 minutes\","
                        "\"reset_time_utc\":\"2026-12-10T15:00:00.000Z\"}";
    std::vector<Case> cases = {
        {"bad key",
         [&] { config_.apiKey = "wrong"; },
         {"refused the API key or the login (HTTP 401)", "invalid API key"}},
        {"quota",
         [&] { os_.Fail("/download", 406, quota, 1); },
         {"downloads for today are used up (HTTP 406)",
          "They come back at: 5 hours and 3 minutes (2026-12-10T15:00:00.000Z)",
          "allowed 20 subtitles"}},
        {"rate",
         [&] { os_.Fail("/subtitles", 429, "{\"message\":\"Throttle limit reached\"}", 1, "2"); },
         {"too many requests from this address (HTTP 429)", "(after 2 s)"}},
        {"down",
         [&] { os_.Fail("/subtitles", 503, "<html>Service Unavailable</html>", 1); },
         {"not working properly now (HTTP 503)"}},
        {"expired link", [&] { os_.Fail("/files", 410, "gone", 1); }, {"(HTTP 410)", "expired"}},
        {"placeholder",
         [&] { os_.Results(hash_, {Sub("pl", "a.pl.srt", 31, 10, "hash", kPlaceholder)}); },
         {"instead of the subtitle; nothing was saved"}},
        {"html page",
         [&] {
             os_.Results(hash_, {Sub("pl", "a.pl.srt", 31, 10, "hash",
                                     "<!DOCTYPE html><html><body>Log in</body></html>")});
         },
         {"instead of the subtitle; nothing was saved"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        config_.apiKey = FakeOpenSubtitlesRest::kKey;
        ResetOSRestPace(); // the pace has its own test
        c.arrange();
        OSDownloadResult r = GetSubtitleFromOSRestWork(movie_, "pol", config_);
        EXPECT_FALSE(r.downloaded);
        EXPECT_FALSE(r.cancelled);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].caption, "OpenSubtitles.com");
        for (const std::string& part : c.said)
            EXPECT_NE(r.messages[0].text.find(part), std::string::npos) << r.messages[0].text;
        EXPECT_FALSE(fs::exists(dir_.file("subtitle.txt")));
        EXPECT_FALSE(fs::exists(dir_.file("movie.srt")));
    }
    // A real subtitle may carry the service's own advertisement: it is kept.
    std::string advertised = Srt(30, "ok") + "31\r\n00:09:00,000 --> 00:09:05,000\r\n"
                                             "Support us and become VIP member\r\n";
    os_.Results(hash_, {Sub("pl", "a.pl.srt", 31, 10, "hash", advertised)});
    EXPECT_TRUE(GetSubtitleFromOSRestWork(movie_, "pol", config_).downloaded);
    EXPECT_EQ(ReadFile(dir_.file("movie.srt")), advertised);
}

// Five requests a second at most, however many threads ask; the token of a login is kept.
TEST_F(RestEngine, AtMostFiveRequestsASecondFromAllThreadsAndOneLoginPerSession) {
    os_.Results(hash_, {Sub("pl", "a.pl.srt", 41, 10)});
    os_.Account("jan", "pw", false);
    config_.login = "jan";
    config_.password = "pw";
    auto start = Clock::now();
    std::vector<std::thread> threads;
    std::atomic<int> found{0};
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 3; ++i)
                if (ListOSRestWork(movie_, config_).items.size() == 1)
                    ++found;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(found.load(), 6);
    std::vector<FakeRestArrival> arrivals = os_.Arrivals();
    ASSERT_EQ(arrivals.size(), 7u); // one login for both threads, six searches
    EXPECT_EQ(os_.Count("POST", "/api/v1/login"), 1u);
    // Any six in a row span a full second as the server sees them, however late the
    // first of them reached it (a loaded machine delays some requests more than others).
    for (size_t i = 0; i + 5 < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i + 5].at - arrivals[i].at, std::chrono::seconds(1)) << i;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    // A kept token the service no longer takes: one new login, and the search goes through.
    os_.ExpireTokens();
    ResetOSRestPace();
    EXPECT_EQ(ListOSRestWork(movie_, config_).items.size(), 1u);
    EXPECT_EQ(os_.Count("POST", "/api/v1/login"), 2u);
    EXPECT_EQ(os_.Count("GET", "/api/v1/subtitles"), 8u); // the refused one and its repeat
}
} // namespace

namespace {
// Every language a menu offers (the shipped list and the language files' two defaults) has
// its code for the REST API in the shipped table.
TEST(RestLanguages, EveryLanguageOfTheMenusHasItsApiCode) {
    std::string locale = SourceDir() + "/resources/locale/";
    auto table = ParseOSRestLanguageTable(ReadFile(locale + kOSRestLanguageFile));
    std::vector<std::string> codes;
    for (const item_downolad_sub& item :
         ParseOpensubtitleList(ReadFile(locale + "opensubtitles_languages.txt")))
        codes.push_back(item.code);
    for (const char* file : {"lang_en_US.ini", "lang_pl_PL.ini"})
        for (const std::string& line : ReadLines(locale + file))
            if (line.rfind("default_3letters_lang", 0) == 0)
                codes.push_back(line.substr(line.find('=') + 1));
    ASSERT_GT(codes.size(), 60u);
    for (const std::string& code : codes)
        EXPECT_EQ(table.count(code), 1u) << code;
    EXPECT_EQ(table["pob"], "pt-br");
    EXPECT_EQ(table["chi"], "zh-cn");
}
} // namespace

namespace {
// The API's host, which sends some requests on: to another host (127.0.0.2 plays one) or to
// another path of its own.
class RedirectingApi {
  public:
    RedirectingApi() : other_("127.0.0.2") {
        auto elsewhere = [this](const httplib::Request& req, httplib::Response& res) {
            res.status = req.path == "/api/v1/subtitles" ? 302 : 307;
            res.set_header("Location", other_.url() + req.target);
        };
        api_.server().Post("/api/v1/login", elsewhere);
        api_.server().Get("/api/v1/subtitles", elsewhere);
        api_.server().Post("/xml-rpc", elsewhere);
        api_.server().Get("/api/v1/infos/formats",
                          [](const httplib::Request&, httplib::Response& res) {
                              res.status = 307;
                              res.set_header("Location", "/api/v1/infos/formats2");
                          });
        api_.server().Get("/api/v1/infos/formats2",
                          [](const httplib::Request&, httplib::Response& res) {
                              res.set_content("{\"data\":{}}", "application/json");
                          });
        // Were it reached, the other host would take the login.
        other_.server().Post(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"token\":\"stolen\",\"base_url\":\"127.0.0.2\"}",
                            "application/json");
        });
        other_.server().Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"total_count\":0,\"data\":[]}", "application/json");
        });
        api_.Start();
        other_.Start();
    }
    TestHttpServer api_, other_;
};
} // namespace

TEST(RestRedirects, KeysTokensAndPasswordsNeverLeaveTheApisHost) {
    RedirectingApi servers;
    ForgetOSRestSessions();
    ResetOSRestPace();
    OSRestConfig config{servers.api_.url() + "/api/v1", FakeOpenSubtitlesRest::kKey,
                        DefaultOSRestUserAgent(), "ola", "s3cret"};
    OSRestClient client(config);
    OSRestFailure failure;
    OSRestLogin login;
    EXPECT_FALSE(client.LogIn(&login, &failure));
    EXPECT_NE(failure.message.find("another host"), std::string::npos) << failure.message;

    OSRestClient anonymous({config.apiUrl, config.apiKey, config.userAgent, "", ""});
    std::vector<OSRestItem> items;
    OSRestFailure searchFailure;
    EXPECT_FALSE(anonymous.Search("0123456789abcdef", "pl", &items, &searchFailure));

    // The XML-RPC conversation carries the account in its body: it stays with its server too.
    setenv("QUORVAN_OPENSUBTITLES_URL", servers.api_.url().c_str(), 1);
    OShelpFunctions account;
    account.login = "ola";
    account.pass = "s3cret";
    EXPECT_EQ(PostXmlRpc(account.getLogin(), 10000), "");
    unsetenv("QUORVAN_OPENSUBTITLES_URL");

    EXPECT_TRUE(servers.other_.Requests().empty()) << servers.other_.Requests().front().target;

    // A redirect to the API's own host is followed, key and all.
    OSRestFailure keyFailure;
    EXPECT_TRUE(anonymous.CheckKey(&keyFailure)) << keyFailure.message;
    std::vector<RecordedRequest> seen = servers.api_.Requests();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().path, "/api/v1/infos/formats2");
    EXPECT_EQ(seen.back().Header("Api-Key"), FakeOpenSubtitlesRest::kKey);
}

TEST(ServiceAddresses, TheXmlRpcServerIsReachedOverTls) {
    unsetenv("QUORVAN_OPENSUBTITLES_URL");
    EXPECT_EQ(ServiceUrl(Service::OpenSubtitles).substr(0, 8), "https://");
    // Settings may still name the old address; it is taken as it stands.
    EXPECT_EQ(ChooseServiceUrl("", "http://api.opensubtitles.org/", "https://x"),
              "http://api.opensubtitles.org");
}
