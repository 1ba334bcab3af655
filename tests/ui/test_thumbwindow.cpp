// The thumbnail commands in the program against the fake player: the dialog, the window on a
// sheet of an earlier run with its click-to-seek, and the upload's link on the clipboard.
#include "uifixture.h"

#include "persist/thumbsettings.h"
#include "player/mplayerinfo.h"
#include "tests/online/httpfixture.h"
#include "thumbs/dibfile.h"
#include "thumbs/thumbitem.h"
#include "ui/mainwindow.h"
#include "ui/thumbwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <unistd.h>

namespace {
class Thumbs : public UiTest {
  protected:
    bool Sent(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

template <class T> T* Child(QWidget* dialog, int id) {
    return dialog->findChild<T*>(QString::number(id));
}
} // namespace

TEST_F(Thumbs, TheDialogKeepsWhatIsNoNumberAndStartsTheSeries) {
    Start();
    PlayMovie();
    DialogThumb = {800, 7, 7, 0};
    WriteFile(dir_.file("fake.script"), "print Starting playback...\n"
                                        "on pausing screenshot|*** screenshot 'shot0001.png' ***\n"
                                        "on pausing_keep_force get_time_pos|ANS_TIME_POSITION=9\n");
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Thumbnails");
        EXPECT_EQ(Child<QLineEdit>(dialog, 109)->text(), "800");
        Child<QLineEdit>(dialog, 109)->setText("400");
        Child<QLineEdit>(dialog, 110)->setText("many");
        Child<QLineEdit>(dialog, 111)->setText("2");
        Child<QPushButton>(dialog, 103)->click();
    });
    W().Command(2306);
    EXPECT_EQ(chdir(old), 0);
    EXPECT_EQ(DialogThumb.width, 400);
    EXPECT_EQ(DialogThumb.across, 7);
    EXPECT_EQ(DialogThumb.down, 2);
    EXPECT_EQ(DialogThumb.sendToWeb, 0);
    EXPECT_EQ(graphicthumbmenu.size(), 14u);
    EXPECT_EQ(graphicthumbmenu[0].videoTime, 9);
    // The fake player writes no frames: no sheet, and the reason is told.
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), "Cannot load DIB file|" + dir_.path() + "/shot0001.bmp");
}

TEST_F(Thumbs, AClickOnTileFiveOfAnEarlierSheetSeeksToItsTime) {
    // A sheet of 4 x 4 frames of 200 x 150 made in an earlier run, beside the movie.
    QImage sheet(800, 700, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    sheet.setPixel(4, 0, qRgb(0, 0, 0));
    sheet.setPixel(44, 0, qRgb(0, 0, 0));
    ASSERT_EQ(DibSaveImage(dir_.file("movie.avi.s.bmp").c_str(), DibFromQImage(sheet).get()), 1);
    Start();
    PlayMovie();
    graphicthumbmenu.clear();
    W().Command(2305);
    ThumbMenuWindow* window = CurrentThumbMenu();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Thumb Menu 1");
    ASSERT_EQ(graphicthumbmenu.size(), 16u);
    window->resize(600, 500);
    ProcessEvents();

    // A border between two frames seeks nowhere, but the first click puts the player on top.
    QWidget* canvas = reinterpret_cast<QWidget*>(window->Canvas());
    QTest::mouseClick(canvas, Qt::LeftButton, {},
                      QPoint(200 - window->OffsetX(), 300 - window->OffsetY()));
    std::vector<std::string> lines = WaitLines(1);
    EXPECT_TRUE(Sent(lines, "vo_ontop"));
    EXPECT_EQ(window->Outlined(), -1);
    // Tile 5 is the first of the second line: 4 x (300 - 60) / 16 + 10 = 70 s.
    QTest::mouseClick(canvas, Qt::LeftButton, {},
                      QPoint(100 - window->OffsetX(), 325 - window->OffsetY()));
    lines = WaitLines(1);
    EXPECT_EQ(lines, std::vector<std::string>{"seek 70 2"});
    EXPECT_EQ(window->Outlined(), 4);
    window->close();
    ProcessEvents();
    EXPECT_TRUE(Sent(WaitLines(1), "vo_ontop"));
    graphicthumbmenu.clear();
}

TEST_F(Thumbs, TheUploadPutsTheHostsLinkOnTheClipboard) {
    SilentServer host(SilentServer::Answer,
                      "HTTP/1.0 200 OK\r\n\r\n<b>[url=http://img.example/s/abc.jpg]</b>");
    setenv("QUORVAN_IMAGEHOST_URL", host.url().c_str(), 1);
    Start();
    PlayMovie();
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string sheet = std::string(cwd) + "/movie.avi.s.jpg";
    WriteFile(sheet, "jpeg bytes");
    W().Command(2401);
    bool told = WaitUntil(
        [&] {
            ProcessEvents();
            return !messages_.empty();
        },
        10000);
    unlink(sheet.c_str());
    unsetenv("QUORVAN_IMAGEHOST_URL");
    ASSERT_TRUE(told);
    EXPECT_EQ(messages_.back(), "Link in clippoard|http://img.example/s/abc.jpg");
    ProcessEvents();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "http://img.example/s/abc.jpg");
    ASSERT_EQ(host.Raw().size(), 1u);
    EXPECT_NE(host.Raw()[0].find("name=\"img\"; filename=\"" + sheet + "\""), std::string::npos);
}
