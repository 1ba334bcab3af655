// Giving subtitles back from the main window: timer 2 and the automatic upload on its own
// thread, command 2631 with its exchanges on a worker and the "Need IMDB Number" dialog.
#include "online/moviehash.h"
#include "online/opensubtitles.h"
#include "online/osupload.h"
#include "online/subautoupload.h"
#include "persist/optins.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "tests/online/fakeservices.h"
#include "tests/online/fakeupload.h"
#include "tests/ui/uifixture.h"
#include "ui/mainwindow.h"
#include "ui/onlinewait.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdlib>

namespace {
using Clock = std::chrono::steady_clock;

class UploadWindow : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        setenv("QUORVAN_OPENSUBTITLES_URL", server_.url().c_str(), 1);
        Optins1.login = "ola";
        Optins1.password = "ha<s&lo";
    }
    void TearDown() override {
        CancelOnlineExchange();
        WaitUntil(
            [] {
                ProcessEvents();
                return !OnlineExchangeRunning();
            },
            10000);
        StopAutomaticUpload();
        unsetenv("QUORVAN_OPENSUBTITLES_URL");
        unsetenv("QUORVAN_UPLOAD_TIMER_MS");
        Optins1 = Optins();
        EXPECT_EQ(server_.Complaints(), "");
        UiTest::TearDown();
    }
    // The subtitle file `name` shown as the player's selected track.
    void LoadSubtitle(const std::string& name) {
        std::string path = dir_.file(name);
        e_.subtitle = SampleSubtitle(6000, name);
        WriteFile(path, e_.subtitle);
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        SubtitleList.assign(2, Subtitle());
        SubtitleList[0].kind = -1;
        SubtitleList[1].kind = 2;
        SubtitleList[1].fileName = path;
        zaznaczonaPozycjaSubtitle = 1;
        OShelpFunctions& v = e_.values;
        v.login = Optins1.login;
        v.pass = Optins1.password;
        v.subhash = Md5Hex(e_.subtitle);
        v.sampleHash = Md5Hex(e_.subtitle.substr(0, 4096));
        v.subfilename = name;
        std::string movie = Mp1.MovieFileSnapshot();
        v.moviefilename = getFileFromPath(movie);
        v.moviebytesize = std::to_string(MovieByteSize(movie));
        v.moviehash = GenerateHashOpenSubtitles(movie);
        v.idmovieimdb = e_.imdbInTry;
        v.sublanguageid = "pol";
    }
    void Expect(const std::string& comment) {
        e_.values.subauthorcomment = comment;
        server_.Expect(e_);
    }
    void Pump(int ms) {
        WaitUntil(
            [] {
                ProcessEvents();
                return false;
            },
            ms);
    }
    bool WaitMessage() {
        return WaitUntil(
            [&] {
                ProcessEvents();
                return !messages_.empty();
            },
            15000);
    }

    FakeUploadServer server_;
    UploadExpectation e_;
};

TEST_F(UploadWindow, Timer2UploadsOnceAfterItsPeriodAndANewLoadPutsItOff) {
    setenv("QUORVAN_UPLOAD_TIMER_MS", "600", 1);
    Start();
    PlayMovie();
    Pump(700); // whatever the player's start did with the timer has run out
    Optins1.uploadAuto = true;
    int before = AutomaticUploadsStarted();
    LoadSubtitle("first.txt");
    SubAutoUploadOS1.ResetTimerAutoLoad(1);
    Pump(300);
    // Another subtitle before the timer ran: only this one goes, a whole period later.
    LoadSubtitle("second.txt");
    Expect("USERLOAD AUTOUPLOAD");
    auto loaded = Clock::now();
    SubAutoUploadOS1.ResetTimerAutoLoad(1);
    ASSERT_TRUE(WaitUntil(
        [&] {
            ProcessEvents();
            return AutomaticUploadsStarted() > before;
        },
        10000));
    EXPECT_GE(Clock::now() - loaded, std::chrono::milliseconds(550));
    ASSERT_TRUE(WaitUntil([] { return !AutomaticUploadRunning(); }, 20000));
    Pump(1500); // three more periods: the timer fired once per load
    EXPECT_EQ(AutomaticUploadsStarted(), before + 1);
    EXPECT_EQ(server_.Methods(), (std::vector<std::string>{"LogIn", "TryUploadSubtitles",
                                                           "DetectLanguage", "UploadSubtitles"}));
    EXPECT_TRUE(messages_.empty()); // the automatic upload shows nothing
}

TEST_F(UploadWindow, TheUsersUploadAsksForTheImdbNumberAndShowsTheLink) {
    Start();
    PlayMovie();
    e_.imdbInTry = "";
    e_.ids = {"0133093", "0234215"};
    e_.titles = {"The Matrix (1999)", "The Matrix Reloaded (2003)"};
    LoadSubtitle("movie.txt");
    e_.values.idmovieimdb = "0234215";
    Expect("USERUPLOAD");
    bool escape = false;
    int shown = 0;
    std::vector<std::string> proposals;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* d = QApplication::activeModalWidget();
        if (d == nullptr || d->objectName() != "2003")
            return;
        ++shown;
        auto* list = d->findChild<QComboBox*>("1000");
        auto* number = d->findChild<QLineEdit*>("1001");
        proposals.clear();
        for (int i = 0; i < list->count(); ++i)
            proposals.push_back(list->itemText(i).toStdString());
        if (escape) {
            number->setText("123");
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(d, &key);
            return;
        }
        emit list->activated(1);
        EXPECT_EQ(number->text().toStdString(), "0234215");
        d->findChild<QPushButton*>("1")->click();
    });
    answer.start(20);
    ASSERT_TRUE(W().Command(2631));
    ASSERT_TRUE(WaitMessage());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(proposals, e_.titles);
    EXPECT_EQ(messages_,
              (std::vector<std::string>{"|Successful uploaded!\nLink:" + e_.link + "\n200 OK"}));
    EXPECT_EQ(OS.idmovieimdb, "0234215"); // the window keeps the last upload's values

    messages_.clear();
    escape = true;
    ASSERT_TRUE(W().Command(2631));
    ASSERT_TRUE(WaitMessage());
    EXPECT_EQ(messages_, (std::vector<std::string>{"|No upload!\nIMDB number need to upload!"}));
    EXPECT_EQ(server_.Methods().back(), "SearchMoviesOnIMDB");
}
} // namespace
