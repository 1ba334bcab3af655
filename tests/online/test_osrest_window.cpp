// The OpenSubtitles commands of the main window with Engine=rest, end to end: the program
// with the fake player and a local REST server, the result list with its marks, the chosen
// subtitle beside the movie and the player restarted with it, the quota in the title, the
// refusals, and the options tab with its Test button.
#include "online/moviehash.h"
#include "online/osrest.h"
#include "online/osrestsettings.h"
#include "persist/optins.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "tests/online/fakeosrest.h"
#include "tests/ui/uifixture.h"
#include "ui/mainwindow.h"
#include "ui/onlinewait.h"
#include "ui/optionsdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <filesystem>
#include <unistd.h>

namespace {
FakeOpenSubtitlesRest* gServer = nullptr;
std::string gTestAnswer;

class RestWindow : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
        std::filesystem::copy_file(StageDir() + "/locale/" + kOSRestLanguageFile,
                                   dir_.file("locale/") + kOSRestLanguageFile);
        ForgetOSRestSessions();
        ResetOSRestPace();
        gServer = &os_;
    }
    void TearDown() override {
        CancelOnlineExchange();
        WaitDone();
        SetOptionsDialogObserver(nullptr);
        EXPECT_EQ(chdir(cwd_), 0);
        SetPlayerFolder("");
        EXPECT_EQ(os_.Complaints(), "");
        gServer = nullptr;
        UiTest::TearDown();
    }
    void Settings(const std::string& key) {
        WriteFile(dir_.file("QuorvanPlayer.ini"), "[opensubtitles]\nEngine=rest\nApiKey=" + key +
                                                      "\nApiUrl=" + os_.apiUrl() + "\n");
    }
    bool WaitDone() {
        return WaitUntil(
            [] {
                ProcessEvents();
                return !OnlineExchangeRunning();
            },
            10000);
    }
    // The player logs its pid before its arguments: both are waited for.
    bool SubLaunchAfter(int before) {
        return WaitUntil(
            [&] {
                ProcessEvents();
                return Launches() > before &&
                       ReadFile(dir_.file("fake.log")).rfind("argv: subtitle.txt") !=
                           std::string::npos;
            },
            5000);
    }
    std::string Movie() { return dir_.file("movie.avi"); }

    FakeOpenSubtitlesRest os_;
    char cwd_[4096] = {};
};

TEST_F(RestWindow, TheListShowsTheMarksInOrderAndTheChosenOneRestartsThePlayerWithIt) {
    Settings(FakeOpenSubtitlesRest::kKey);
    os_.Account("jan", "pw", true);
    Start();
    PlayMovie();
    Optins1.login = "jan";
    Optins1.password = "pw";
    std::string hash = GenerateHashOpenSubtitles(Movie());
    std::string text =
        "1\r\n00:00:01,000 --> 00:00:02,000\r\nZa\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\n";
    os_.Results(hash,
                {Sub("de", "de.srt", 1, 70, "", text), Sub("pl", "pl.srt", 2, 10, "hash hi", text),
                 Sub("en", "en.srt", 3, 400, "hash machine", text),
                 Sub("cs", "cs.srt", 4, 90, "ai", text)});
    W().Command(2582);
    ASSERT_TRUE(WaitDone());
    auto* menu = qobject_cast<QMenu*>(WaitWindowChild("OpenSubtitlesResults"));
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> labels;
    for (QAction* a : menu->actions())
        labels.push_back(a->text().toStdString() + "=" + a->data().toString().toStdString());
    EXPECT_EQ(labels,
              (std::vector<std::string>{"[en] en.srt | 400 downloads | hash match | machine=2583",
                                        "[pl] pl.srt | 10 downloads | hash match | HI=2584",
                                        "[cs] cs.srt | 90 downloads | AI=2585",
                                        "[de] de.srt | 70 downloads=2586"}));
    EXPECT_TRUE(messages_.empty());

    int before = Launches();
    menu->actions()[1]->trigger();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(ReadFile(dir_.file("subtitle.txt")), text);
    EXPECT_EQ(ReadFile(dir_.file("movie.srt")), text);
    EXPECT_TRUE(SubLaunchAfter(before)) << ReadFile(dir_.file("fake.log"));
    // The player is started where it finds subtitle.txt; the program stays where it was.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadFile(dir_.file("fake.log")).rfind("cwd: " + dir_.path() + "\n") !=
                   std::string::npos;
        },
        5000));
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(std::string(here), std::string(cwd_));
    ProcessEvents();
    EXPECT_EQ(W().windowTitle().toStdString(),
              std::string(ProgramTitle) + Movie() +
                  " | OpenSubtitles.com: 19 downloads left, reset time 23 hours and 59 minutes");
    EXPECT_EQ(os_.Count("POST", "/api/v1/login"), 1u);

    // The quota used up: its message with the reset time, no subtitle, no restart.
    os_.Remaining(0);
    before = Launches();
    W().Command(2583);
    ASSERT_TRUE(WaitDone());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("OpenSubtitles.com|Your OpenSubtitles.com downloads for today are "
                                "used up (HTTP 406)."),
              std::string::npos)
        << messages_[0];
    EXPECT_NE(messages_[0].find("They come back at: 23 hours and 59 minutes"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("subtitle.txt")));
    ProcessEvents(); // the title comes through the window's queue
    EXPECT_EQ(W().windowTitle().toStdString(), "ERROR. Downoland Subtite");
    EXPECT_EQ(Launches(), before);
}

TEST_F(RestWindow, WithoutAKeyTheCommandsSayWhereToGetOneAndTheOptionsTabTestsTheAccount) {
    Settings("");
    os_.Account("jan", "pw", false);
    os_.Remaining(13);
    Start();
    PlayMovie();
    int before = Launches();
    W().Command(2006);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(messages_, (std::vector<std::string>{"OpenSubtitles.com|" + OSRestNoKeyMessage()}));
    EXPECT_NE(messages_[0].find(kOSRestConsumersPage), std::string::npos);
    EXPECT_TRUE(os_.Arrivals().empty());
    EXPECT_EQ(Launches(), before);

    // The tab shows the settings; the key and account typed there are tested, then kept.
    SetOptionsDialogObserver([](OptionsDialog& dialog) {
        auto* engine = dialog.findChild<QComboBox*>("OSEngine");
        EXPECT_EQ(engine->currentData().toString(), "rest");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("OSApiUrl")->text().toStdString(),
                  gServer->apiUrl());
        dialog.findChild<QLineEdit*>("OSApiKey")->setText(FakeOpenSubtitlesRest::kKey);
        dialog.SetText(IDC_OPT_LOGIN, "jan"); // the first tab's field, mirrored in this one
        EXPECT_EQ(dialog.findChild<QLineEdit*>("OSLogin")->text(), "jan");
        dialog.findChild<QLineEdit*>("OSPass")->setText("pw");
        dialog.findChild<QPushButton*>("OSTest")->click();
        auto* result = dialog.findChild<QLabel*>("OSTestResult");
        WaitUntil(
            [&] {
                ProcessEvents();
                return dialog.findChild<QPushButton*>("OSTest")->isEnabled();
            },
            10000);
        gTestAnswer = result->text().toStdString();
        dialog.Press(IDC_OPT_OK);
    });
    W().Command(2632);
    EXPECT_EQ(gTestAnswer, "Logged in as jan.\nDownloads left today: 13 of 20.");
    EXPECT_EQ(Optins1.login, "jan");
    EXPECT_EQ(Optins1.password, "pw");
    OSRestSettings kept = ReadOSRestSettings(dir_.file("QuorvanPlayer.ini"));
    EXPECT_EQ(kept.apiKey, FakeOpenSubtitlesRest::kKey);
    EXPECT_TRUE(kept.Rest());

    // Now the direct download works, with the account of the options.
    std::string hash = GenerateHashOpenSubtitles(Movie());
    std::string text = "1\r\n00:00:01,000 --> 00:00:02,000\r\nhello\r\n";
    os_.Results(hash, {Sub("pl", "pl.srt", 5, 10, "hash", text)});
    messages_.clear();
    W().Command(2006);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(messages_,
              (std::vector<std::string>{"Subtitle|Successfully download file "
                                        "subtitle.txt.\nPlease manually open this file."}));
    EXPECT_EQ(ReadFile(dir_.file("movie.srt")), text);
    EXPECT_TRUE(SubLaunchAfter(before));

    // The movie's IMDB page with the number the search by hash gives.
    setenv("QUORVAN_IMDB_URL", "http://imdb.test", 1);
    messages_.clear();
    W().Command(2005);
    ASSERT_TRUE(WaitDone());
    ProcessEvents(); // the page is opened through the window's queue
    unsetenv("QUORVAN_IMDB_URL");
    EXPECT_EQ(messages_, (std::vector<std::string>{"IMDBNumber|0133093"}));
    EXPECT_EQ(documents_, (std::vector<std::string>{"http://imdb.test/title/tt0133093"}));
}
} // namespace
