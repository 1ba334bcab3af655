// The playlist window in a real X server with the fake player: drops, painting in the three
// colours, scrolling by the wheel, dragging, Delete, the context menu's commands, a double
// click that starts an entry, the end of a movie that starts the next one, and the exit write.
#include "uifixture.h"

#include "persist/playlist.h"
#include "platform/statefolder.h"
#include "player/mplayerinfo.h"
#include "tests/persist/playliststate.h"
#include "ui/mainwindow.h"
#include "ui/playlistwindow.h"
#include "ui/uihooks.h"

#include <QApplication>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <filesystem>

namespace {

using Paths = std::vector<std::string>;

class PlaylistWindowTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        ResetPlaylistState();
        PlaylistWindow::setSelected(-1);
    }
    void TearDown() override {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == "Playlista")
                delete widget;
        UiTest::TearDown();
        playlista.clear();
    }
    // Opens the window through the main window's command, as the "Pl" button does.
    PlaylistWindow* Open() {
        W().Command(2028);
        ProcessEvents();
        PlaylistWindow* found = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<PlaylistWindow*>(widget))
                found = window;
        return found;
    }
    void Drop(PlaylistWindow* window, const Paths& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(path));
        data.setUrls(urls);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        window->deliverViewportEvent(&drop);
    }
    void Mouse(PlaylistWindow* window, QEvent::Type type, int row, Qt::MouseButtons buttons) {
        QPointF at(30, row * window->cyChar() + window->cyChar() / 2);
        QMouseEvent event(type, at, window->viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(window->viewport(), &event);
    }
    void Wheel(PlaylistWindow* window, int delta) {
        QPointF at(30, 30);
        QWheelEvent event(at, window->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window->viewport(), &event);
    }
    // Pixels of one row of the window's picture in the given colour.
    int PixelsInRow(PlaylistWindow* window, int row, QRgb colour) {
        window->viewport()->repaint();
        QImage image = window->viewport()->grab().toImage();
        int count = 0;
        int top = row * window->cyChar();
        for (int y = top; y < top + window->cyChar() && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                    ++count;
        return count;
    }
    Paths Movies(const Paths& names) {
        Paths paths;
        for (const std::string& name : names) {
            paths.push_back(dir_.file(name));
            WriteFile(paths.back(), "movie");
        }
        return paths;
    }
};

constexpr QRgb kCurrent = 0x0000FF;
constexpr QRgb kSelected = 0xFF0000;
constexpr QRgb kOther = 0x590000;

} // namespace

TEST_F(PlaylistWindowTest, DroppedFilesAndFoldersArePaintedAndADoubleClickPlaysTheEntry) {
    Start();
    WriteFile(StandingPlaylistPath(), "/stored/first movie.avi\n");
    PlaylistWindow* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Playlista.1");
    EXPECT_EQ(PlaylistPaths(), (Paths{"/stored/first movie.avi"})) << "the first opening loads it";

    std::filesystem::create_directories(dir_.file("Filmy ż"));
    Paths loose = Movies({"żaba.avi"});
    Paths folder = Movies({"Filmy ż/b.mkv", "Filmy ż/a.avi", "Filmy ż/opis.txt"});
    Drop(window, {loose[0], dir_.file("Filmy ż")});
    EXPECT_EQ(PlaylistPaths(), (Paths{"/stored/first movie.avi", loose[0], folder[1], folder[0]}));
    EXPECT_EQ(sp1.modified, 1);
    EXPECT_GE(window->verticalScrollBar()->maximum(), 0);

    // Entry 0 is the playing one (the cursor starts there); nothing is selected yet.
    EXPECT_GT(PixelsInRow(window, 0, kCurrent), 10);
    EXPECT_GT(PixelsInRow(window, 1, kOther), 10);
    Mouse(window, QEvent::MouseButtonPress, 2, Qt::LeftButton);
    Mouse(window, QEvent::MouseButtonRelease, 2, Qt::NoButton);
    EXPECT_EQ(PlaylistWindow::selected(), 2);
    EXPECT_GT(PixelsInRow(window, 2, kSelected), 10);
    EXPECT_EQ(PixelsInRow(window, 2, kOther), 0);

    Mouse(window, QEvent::MouseButtonDblClick, 1, Qt::LeftButton);
    EXPECT_TRUE(WaitLaunchWith("żaba.avi"));
    EXPECT_EQ(Mp1.MovieFileSnapshot(), loose[0]);
    EXPECT_EQ(sp1.current, 1);
    EXPECT_GT(PixelsInRow(window, 1, kCurrent), 10);
    EXPECT_EQ(PixelsInRow(window, 0, kCurrent), 0);

    // A double click below the last entry is ignored.
    int launches = Launches();
    Mouse(window, QEvent::MouseButtonDblClick, 9, Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(Launches(), launches);
    EXPECT_EQ(sp1.current, 1);
}

TEST_F(PlaylistWindowTest, AtTheEndOfEachMovieTheNextEntryStartsUntilTheListEnds) {
    WriteFile(
        dir_.file("fake.script"),
        "print Quorvan fake\n"
        "on get_time_length|ANS_LENGTH=300.00\\nStarting playback...\\nExiting... (End of file)\n");
    Start();
    PlaylistWindow* window = Open();
    ASSERT_NE(window, nullptr);
    Paths movies = Movies({"alfa.avi", "beta.avi", "gamma.avi"});
    Drop(window, movies);
    Mouse(window, QEvent::MouseButtonDblClick, 0, Qt::LeftButton);
    ASSERT_TRUE(WaitLaunchWith("gamma.avi"));
    ASSERT_TRUE(WaitUntil(
        [] {
            ProcessEvents();
            return sp1.current == -1;
        },
        5000));
    Paths order;
    for (const std::string& line : ReadLines(dir_.file("fake.log")))
        for (const char* name : {"alfa.avi", "beta.avi", "gamma.avi"})
            if (line.rfind("argv: ", 0) == 0 && line.find(name) != std::string::npos)
                order.push_back(name);
    EXPECT_EQ(order, (Paths{"alfa.avi", "beta.avi", "gamma.avi"}));
    // The window follows the cursor moved on the reader thread: no entry is the playing one.
    ASSERT_TRUE(WaitUntil(
        [&] {
            ProcessEvents();
            return PixelsInRow(window, 2, kCurrent) == 0;
        },
        3000));
}

TEST_F(PlaylistWindowTest, WheelDragAndDeleteFollowTheirRules) {
    Start();
    PlaylistWindow* window = Open();
    ASSERT_NE(window, nullptr);
    window->resize(600, 10 * window->cyChar());
    ProcessEvents();
    for (int i = 0; i < 100; ++i)
        sp1.add("/m/movie" + std::to_string(i) + ".avi");
    window->updateScrollRanges();
    QScrollBar* v = window->verticalScrollBar();
    v->setValue(10);
    Wheel(window, 120);
    EXPECT_EQ(v->value(), 7) << "one notch is three lines";
    Wheel(window, 30);
    EXPECT_EQ(v->value(), 7);
    Wheel(window, 30);
    EXPECT_EQ(v->value(), 6) << "60 gives one line and keeps 20";
    Wheel(window, -60);
    EXPECT_EQ(v->value(), 7);

    playlista.clear();
    sp1.modified = 0;
    Paths abc{"/m/a.avi", "/m/b.avi", "/m/c.avi"};
    for (const std::string& path : abc)
        sp1.add(path);
    window->updateScrollRanges();
    v->setValue(0);
    // The first press selects, a press on the selected row starts dragging it.
    Mouse(window, QEvent::MouseButtonPress, 0, Qt::LeftButton);
    Mouse(window, QEvent::MouseButtonRelease, 0, Qt::NoButton);
    Mouse(window, QEvent::MouseButtonPress, 0, Qt::LeftButton);
    Mouse(window, QEvent::MouseMove, 2, Qt::LeftButton);
    Mouse(window, QEvent::MouseButtonRelease, 2, Qt::NoButton);
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/b.avi", "/m/c.avi", "/m/a.avi"}));
    EXPECT_EQ(PlaylistWindow::selected(), 2);
    EXPECT_EQ(sp1.modified, 1);
    Mouse(window, QEvent::MouseMove, 0, Qt::NoButton);
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/b.avi", "/m/c.avi", "/m/a.avi"})) << "dragging ended";

    // Delete the selected row before the playing entry: the cursor follows the entry.
    sp1.current = 2;
    Mouse(window, QEvent::MouseButtonPress, 1, Qt::LeftButton);
    Mouse(window, QEvent::MouseButtonRelease, 1, Qt::NoButton);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(window, &del);
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/b.avi", "/m/a.avi"}));
    EXPECT_EQ(sp1.current, 1);
}

TEST_F(PlaylistWindowTest, TheContextMenuLoadsSavesAndClearsAndTheExitWritesTheChangedList) {
    Start();
    PlaylistWindow* window = Open();
    ASSERT_NE(window, nullptr);
    WriteFile(dir_.file("other.m3u"), "#EXTM3U\n/films/one.avi\nrelative.avi\n/films/two.avi\n");
    openFileAnswer_ = dir_.file("other.m3u");
    window->runMenuCommand(2029);
    EXPECT_EQ(PlaylistPaths(), (Paths{"/films/one.avi", "/films/two.avi"}));

    std::vector<FileFilter> filters;
    Hooks().saveFile = [&](const std::vector<FileFilter>& asked) {
        filters = asked;
        return dir_.file("my list");
    };
    window->runMenuCommand(2030);
    EXPECT_EQ(ReadFile(dir_.file("my list.p4s")), "/films/one.avi\n/films/two.avi\n");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].patterns, "*.p4s");

    W().Command(2);
    EXPECT_EQ(ReadFile(StandingPlaylistPath()), "/films/one.avi\n/films/two.avi\n");
    window->runMenuCommand(2031);
    EXPECT_EQ(sp1.getsize(), 0);

    // Cleared, left and started again: the window opens on an empty list.
    W().Command(2);
    EXPECT_EQ(ReadFile(StandingPlaylistPath()), "");
    delete window;
    ResetPlaylistState();
    window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(PlaylistPaths(), Paths{});
}
