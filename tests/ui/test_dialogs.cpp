// The console, the video equaliser and the one-line input dialogs against the fake player.
#include "uifixture.h"

#include "persist/history.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "rar/streaming.h"
#include "ui/console.h"
#include "ui/equaliser.h"
#include "ui/inputdialog.h"
#include "ui/mainwindow.h"
#include "ui/textviewer.h"
#include "ui/uihooks.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <functional>

namespace {

class Dialogs : public UiTest {};

// Runs `act` on the modal dialog once it is showing (the caller then opens it).
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

template <class T> T* Child(QWidget* dialog, int id) {
    T* child = dialog->findChild<T*>(QString::number(id));
    EXPECT_NE(child, nullptr) << id;
    return child;
}

TEST_F(Dialogs, AnEmptyConsoleLineWritesALoneLineFeedAndTheAnswerShows) {
    Start();
    PlayMovie();
    std::string shownAfterSend;
    WhenModal([&](QWidget* console) {
        EXPECT_EQ(console->windowTitle(), "CONSOLA");
        EXPECT_EQ(Child<QLineEdit>(console, 102)->text(), "volume 1");
        Child<QLineEdit>(console, 102)->clear();
        Child<QPushButton>(console, 118)->click();
        Child<QLineEdit>(console, 102)->setText("get_time_length");
        Child<QPushButton>(console, 118)->click();
        // The transcript follows the player's answer while the console is open.
        auto* transcript = Child<QPlainTextEdit>(console, 119);
        WaitUntil(
            [&] {
                ProcessEvents();
                return transcript->toPlainText().contains("< ANS_LENGTH=300.00");
            },
            3000);
        shownAfterSend = transcript->toPlainText().toStdString();
        console->close();
    });
    W().Command(1054);
    EXPECT_EQ(WaitLines(2), (std::vector<std::string>{"", "get_time_length"}));
    EXPECT_NE(shownAfterSend.find("> get_time_length"), std::string::npos);
    EXPECT_NE(shownAfterSend.find("< ANS_LENGTH=300.00"), std::string::npos) << shownAfterSend;
}

TEST_F(Dialogs, TheErrorButtonOpensTheConsoleAndItLaysOutItsControls) {
    Start();
    bool opened = false;
    WhenModal([&](QWidget* console) {
        opened = qobject_cast<ConsoleWndProc*>(console) != nullptr;
        console->resize(300, 200);
        EXPECT_EQ(Child<QWidget>(console, 119)->geometry(), QRect(0, 0, 300, 180));
        EXPECT_EQ(Child<QWidget>(console, 102)->geometry(), QRect(0, 180, 270, 20));
        EXPECT_EQ(Child<QWidget>(console, 118)->geometry(), QRect(270, 180, 30, 20));
        console->close();
    });
    W().Command(2302);
    EXPECT_TRUE(opened);
}

struct TrackbarStart {
    int id;
    const char* property;
    int minimum, maximum, position;
};

const TrackbarStart kTrackbarStarts[] = {
    {0, "brightness", -100, 100, 0}, {1, "contrast", -100, 100, 0},
    {2, "saturation", -100, 100, 0}, {3, "hue", -100, 100, 0},
    {4, "gamma", -100, 100, 0},      {5, "sub_pos", 0, 100, 100},
    {6, "volume", 0, 100, 100},      {7, "change_rectangle", -200, 200, 0},
    {90, "aspect", 0, 100, 0},
};

TEST_F(Dialogs, TheEqualiserSlidersStartAsTheTableSaysAndSetTheirProperties) {
    Start();
    PlayMovie();
    EXPECT_EQ(ButionPokretla(), 1);
    InitProc3* eq = EqualiserDialog();
    ASSERT_NE(eq, nullptr);
    EXPECT_TRUE(eq->isVisible());
    for (const TrackbarStart& t : kTrackbarStarts) {
        SCOPED_TRACE(t.property);
        QSlider* slider = eq->Trackbar(t.id);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->windowTitle(), t.property);
        EXPECT_EQ(slider->minimum(), t.minimum);
        EXPECT_EQ(slider->maximum(), t.maximum);
        EXPECT_EQ(slider->value(), t.position);
    }
    EXPECT_TRUE(NewLines().empty()) << "opening the panel sends nothing";
    eq->Trackbar(0)->setValue(30);
    eq->Trackbar(5)->setValue(40);
    eq->Trackbar(90)->setValue(50);
    EXPECT_EQ(WaitLines(3), (std::vector<std::string>{"brightness 30 1", "sub_pos 40 1",
                                                      "switch_ratio 2.166667"}));
    EXPECT_EQ(eq->palette().color(QPalette::Window).rgb() & 0xFFFFFF, 0x101010u);
    // The close box hides the panel through the same toggle; the button shows it again.
    eq->close();
    EXPECT_FALSE(eq->isVisible());
    W().Command(114);
    EXPECT_TRUE(eq->isVisible());
    EXPECT_EQ(EqualiserDialog(), eq);
}

TEST_F(Dialogs, SharpenNowSendsTheFilterAndRelaunchesWithIt) {
    Start();
    PlayMovie();
    W().Command(114);
    InitProc3* eq = EqualiserDialog();
    ASSERT_NE(eq, nullptr);
    eq->Trackbar(7)->setValue(-200);
    EXPECT_EQ(WaitLines(1), std::vector<std::string>{"change_rectangle -200 1"});
    Child<QPushButton>(eq, 103)->click();
    EXPECT_TRUE(WaitLaunchWith("unsharp=l4x4:-2.000000"));
    EXPECT_EQ(Mp1.extraOptions, "-vf-add unsharp=l4x4:-2.000000");
    // The filter goes to the player that was playing; the relaunched one may log first.
    std::vector<std::string> lines;
    EXPECT_TRUE(WaitUntil(
        [&] {
            ProcessEvents();
            for (const std::string& line : NewLines())
                lines.push_back(line);
            return std::find(lines.begin(), lines.end(), "-vf-add unsharp=l4x4:-2.000000") !=
                   lines.end();
        },
        3000));

    eq->Trackbar(4)->setValue(50);
    Child<QPushButton>(eq, 104)->click();
    EXPECT_TRUE(WaitLaunchWith("eq2"));
    EXPECT_EQ(Mp1.extraOptions, " -vf-add eq2 ");
}

TEST_F(Dialogs, ThePasswordIsCutTo499Characters) {
    std::memset(buf6, 0, sizeof buf6);
    WhenModal([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Password");
        EXPECT_EQ(Child<QLineEdit>(dialog, 109)->text(), "PASS");
        Child<QLineEdit>(dialog, 109)->setText(QString(600, 'x'));
        Child<QPushButton>(dialog, 103)->click();
    });
    EXPECT_EQ(RunInitProc2("Password", "PASS"), 1);
    EXPECT_EQ(std::string(buf6), std::string(499, 'x'));
}

TEST_F(Dialogs, EnterConfirmsOnlyOnceTheFieldChanged) {
    std::strcpy(buf6, "old");
    bool openAfterFirstEnter = false;
    WhenModal([&](QWidget* dialog) {
        auto* edit = Child<QLineEdit>(dialog, 109);
        QTest::keyClick(edit, Qt::Key_Return);
        openAfterFirstEnter = dialog->isVisible();
        QTest::keyClicks(edit, "/movie.avi");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(RunInitProc2("Open URL", "http://"), 1);
    EXPECT_TRUE(openAfterFirstEnter);
    EXPECT_EQ(std::string(buf6), "http:///movie.avi");

    WhenModal([](QWidget* dialog) { dialog->close(); });
    EXPECT_EQ(RunInitProc2("Open URL", "http://"), 0);
}

TEST_F(Dialogs, OpenUrlPlaysWhatTheDialogGave) {
    Start();
    std::vector<std::string> asked;
    Hooks().lineInput = [&](const std::string& caption, const std::string& preset) {
        asked.push_back(caption + "|" + preset);
        std::strcpy(buf6, "http://127.0.0.1:1/movie.avi");
        return 1;
    };
    W().Command(1005);
    EXPECT_EQ(asked, std::vector<std::string>{"Open URL|http://"});
    EXPECT_EQ(Mp1.MovieFileSnapshot(), "http://127.0.0.1:1/movie.avi");
}

TEST_F(Dialogs, StreamingStopsThePlayerAndStopsWhenNoFileOrPasswordIsGiven) {
    Start();
    PlayMovie();
    std::vector<std::string> asked;
    Hooks().lineInput = [&](const std::string& caption, const std::string& preset) {
        asked.push_back(caption + "|" + preset);
        return 0;
    };
    openFileAnswer_.clear();
    W().Command(1002);
    EXPECT_EQ(WaitLines(1), std::vector<std::string>{"quit 0"});
    EXPECT_TRUE(asked.empty());

    openFileAnswer_ = dir_.file("movie.rar");
    const std::string previous = Mp1.MovieFileSnapshot();
    Mp1.timePosition = 77;
    history1.add(dir_.file("movie.rar"), 12);
    W().Command(1002);
    EXPECT_EQ(asked, std::vector<std::string>{"Password|PASS"});
    EXPECT_EQ(Mp1.MovieFileSnapshot(), dir_.file("movie.rar"));
    // The movie left keeps its position; the streamed set has its own.
    EXPECT_EQ(history1.get(previous), 77);
    EXPECT_EQ(Mp1.timePosition, 12);
}

} // namespace

TEST_F(Dialogs, FileOpenStartsInTheFolderOfTheMovieThatPlays) {
    Start();
    std::filesystem::create_directories(dir_.file("films"));
    WriteFile(dir_.file("films/movie.avi"), "x");
    Mp1.movieFile = dir_.file("films/movie.avi");
    // The program's own open dialog, shown and closed again.
    UiHooks recording = Hooks();
    ResetHooks();
    auto qtOpenFile = Hooks().openFile;
    Hooks() = recording;
    Hooks().openFile = qtOpenFile;
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            shown = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    poll.start(20);
    W().Command(107);
    EXPECT_EQ(shown.toStdString(), dir_.file("films"));
}

TEST_F(Dialogs, TheFaqShowsInTheProgramsOwnWindowWhereNoApplicationOpensIt) {
    Start();
    const std::string faq = SourceDir() + "/resources/QuorvanPlayer-obsluga .txt";
    const QString expected = QString::fromUtf8(QByteArray::fromStdString(ReadFile(faq)));
    ASSERT_NE(expected.indexOf(QString::fromUtf8("ą")), -1) << "the Polish FAQ has Polish letters";
    auto viewer = [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "TextViewer" && top->isVisible())
                return top;
        return static_cast<QWidget*>(nullptr);
    };
    // An opener that fails (no application for text files), and one that cannot be started.
    for (const char* opener : {"false", "/nonexistent/xdg-open"}) {
        SCOPED_TRACE(opener);
        OpenTextFileWith(opener, faq);
        QWidget* window = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                ProcessEvents();
                return (window = viewer()) != nullptr;
            },
            8000));
        auto* text = window->findChild<QPlainTextEdit*>("text");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->toPlainText(), expected) << "UTF-8 shown as it is, not as code page 437";
        EXPECT_TRUE(text->isReadOnly());
        window->close();
        ProcessEvents();
    }
    EXPECT_TRUE(messages_.empty());
    // A file that is not there is told.
    OpenTextFileWith("false", dir_.file("missing.txt"));
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), "FAQ|Cannot open " + dir_.file("missing.txt"));
}
