#include "ui/playlistwindow.h"

#include "persist/i18l.h"
#include "persist/playlist.h"
#include "player/mplayerinfo.h"
#include "ui/uihooks.h"
#include "ui/uitext.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>

namespace {

int g_selected = -1;

// One line of the wheel is 40 units of its delta (three lines per notch of 120).
constexpr int kWheelUnitsPerLine = 40;

// How often an open window looks whether the list changed under it (the end of a movie moves
// the cursor on the player's reader thread).
constexpr int kFollowListMs = 250;

std::string Numbered(int index, const std::string& name) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%04d. ", index + 1);
    return prefix + name;
}

std::string NumberColumn(int number) {
    char text[32];
    std::snprintf(text, sizeof text, "%5d", number);
    return text;
}

void PlayEntry(int row) {
    std::string path = sp1.play(row);
    if (path.empty())
        return;
    // A new start from the top of the entry; the movie left is not remembered.
    Mp1.LanchNextMovie(path);
}

} // namespace

PlaylistWindow::PlaylistWindow() {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("Playlista");
    setWindowTitle(UiText("Window.Playlist", "Playlista.1"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAutoFillBackground(true);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(palette);
    viewport()->setAcceptDrops(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);

    QFontMetrics metrics(font());
    cxChar_ = std::max(1, metrics.averageCharWidth());
    cxCaps_ = QFontInfo(font()).fixedPitch() ? cxChar_ : 3 * cxChar_ / 2;
    cyChar_ = std::max(1, metrics.lineSpacing());
    resize(80 * cxChar_, 25 * cyChar_);

    seenGeneration_ = sp1.generation();
    followList_.setInterval(kFollowListMs);
    connect(&followList_, &QTimer::timeout, this, [this] {
        unsigned now = sp1.generation();
        if (now != seenGeneration_) {
            seenGeneration_ = now;
            updateScrollRanges();
            viewport()->update();
        }
    });
    followList_.start();
    updateScrollRanges();
}

int PlaylistWindow::selected() {
    return g_selected;
}

void PlaylistWindow::setSelected(int row) {
    g_selected = row;
}

void PlaylistWindow::updateScrollRanges() {
    int count = sp1.getsize();
    int page = viewport()->height() / cyChar_;
    // Ranges as the entry counts and column widths give them; the last position shows the
    // last full page.
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(std::max(1, page));
    v->setRange(0, std::max(0, count - page));
    int maxWidth = 40 * cxChar_ + 22 * cxCaps_;
    int hPage = viewport()->width() / cxChar_;
    QScrollBar* h = horizontalScrollBar();
    h->setPageStep(std::max(1, hPage));
    h->setRange(0, std::max(0, 2 + maxWidth / cxChar_ + 1 - hPage));
}

int PlaylistWindow::rowAt(int y) const {
    return std::max(0, verticalScrollBar()->value()) + y / cyChar_;
}

void PlaylistWindow::scrollLines(int lines) {
    QScrollBar* v = verticalScrollBar();
    v->setValue(v->value() + lines);
}

void PlaylistWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    QFontMetrics metrics(font());
    int current = -1;
    std::vector<item> entries = sp1.snapshot(&current);
    if (entries.empty()) {
        painter.setPen(Qt::black);
        painter.drawText(10, 10 + metrics.ascent(),
                         QString::fromStdString(I18l.getString("Pl.DragAndDrop")));
        return;
    }
    int v = verticalScrollBar()->value();
    int h = horizontalScrollBar()->value();
    int count = static_cast<int>(entries.size());
    int first = std::max(0, v + event->rect().top() / cyChar_);
    int last = std::min(count - 1, v + event->rect().bottom() / cyChar_);
    for (int i = first; i <= last; ++i) {
        int x = (1 - h) * cxChar_;
        int y = (i - v) * cyChar_ + metrics.ascent();
        QColor colour = i == current      ? QColor(0, 0, 255)
                        : i == g_selected ? QColor(255, 0, 0)
                                          : QColor(89, 0, 0);
        painter.setPen(colour);
        const item& entry = entries[i];
        painter.drawText(x, y, QString::fromStdString(Numbered(i, entry.name)));
        QString number = QString::fromStdString(NumberColumn(entry.number));
        int right = x + 22 * cxCaps_ + 40 * cxChar_;
        // A long path is shortened in its middle rather than written over the number.
        int room = 40 * cxChar_ - metrics.horizontalAdvance(number) - cxChar_;
        painter.drawText(x + 22 * cxCaps_, y,
                         metrics.elidedText(QString::fromStdString(entry.path), Qt::ElideMiddle,
                                            std::max(room, cxChar_)));
        painter.drawText(right - metrics.horizontalAdvance(number), y, number);
    }
}

void PlaylistWindow::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void PlaylistWindow::scrollContentsBy(int, int) {
    viewport()->update();
}

void PlaylistWindow::keyPressEvent(QKeyEvent* event) {
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageUp:
        v->setValue(v->value() - v->pageStep());
        break;
    case Qt::Key_PageDown:
        v->setValue(v->value() + v->pageStep());
        break;
    case Qt::Key_Home:
        v->setValue(v->minimum());
        break;
    case Qt::Key_End:
        v->setValue(v->maximum());
        break;
    case Qt::Key_Up:
        scrollLines(-1);
        break;
    case Qt::Key_Down:
        scrollLines(1);
        break;
    case Qt::Key_Left:
        h->setValue(h->value() - h->pageStep());
        break;
    case Qt::Key_Right:
        h->setValue(h->value() + h->pageStep());
        break;
    case Qt::Key_Delete:
        sp1.remove(g_selected);
        updateScrollRanges();
        viewport()->update();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PlaylistWindow::wheelEvent(QWheelEvent* event) {
    wheelAccumulator_ += event->angleDelta().y();
    while (wheelAccumulator_ >= kWheelUnitsPerLine) {
        scrollLines(-1);
        wheelAccumulator_ -= kWheelUnitsPerLine;
    }
    while (wheelAccumulator_ <= -kWheelUnitsPerLine) {
        scrollLines(1);
        wheelAccumulator_ += kWheelUnitsPerLine;
    }
    event->accept();
}

void PlaylistWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    int row = rowAt(event->position().toPoint().y());
    if (row >= sp1.getsize())
        return;
    if (row == g_selected)
        dragging_ = true;
    else if (!dragging_)
        g_selected = row;
    viewport()->update();
}

void PlaylistWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
}

void PlaylistWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    int row = rowAt(event->position().toPoint().y());
    if (row == g_selected || row < 0 || row >= sp1.getsize() || g_selected < 0)
        return;
    // One place per row crossed, also when the pointer skipped rows between two events.
    while (g_selected != row) {
        int next = g_selected + (row > g_selected ? 1 : -1);
        sp1.exchange(g_selected, next);
        g_selected = next;
    }
    viewport()->update();
}

void PlaylistWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    int row = rowAt(event->position().toPoint().y());
    if (row < 0 || row >= sp1.getsize())
        return;
    PlayEntry(row);
    viewport()->update();
}

void PlaylistWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName("3003");
    for (auto [id, text] : {std::pair{2029, "&Load.."}, {2030, "&Save.."}, {2031, "&Clear"}})
        menu.addAction(UiText("Window.Playlist", text))->setData(id);
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen != nullptr)
        runMenuCommand(chosen->data().toInt());
}

void PlaylistWindow::runMenuCommand(int id) {
    if (id == 2029)
        LoadPlaylist();
    else if (id == 2030)
        SavePlaylist();
    else if (id == 2031)
        sp1.clear();
    updateScrollRanges();
    viewport()->update();
}

void PlaylistWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PlaylistWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PlaylistWindow::dropEvent(QDropEvent* event) {
    bool added = false;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        std::string path = url.toLocalFile().toStdString();
        if (QFileInfo(url.toLocalFile()).isDir()) {
            for (const std::string& movie : MovieFilesOfFolder(path))
                sp1.add(movie);
        } else {
            sp1.add(path);
        }
        added = true;
    }
    if (added) {
        std::lock_guard<std::recursive_mutex> lock(sp1.mutex);
        sp1.modified = 1;
    }
    event->acceptProposedAction();
    updateScrollRanges();
    viewport()->update();
}

void LoadPlaylist() {
    std::string name =
        Hooks().openFile({{"Wszystkie znane  ", "*.m3u;*.mbl;*.p4s"}, {"All *.*", "*.*"}});
    if (name.empty())
        return;
    int before = sp1.getsize();
    LoadPlaylistfile(name);
    // Entries loaded into the list are the user's change like a drop: the exit keeps them.
    if (sp1.getsize() != before) {
        std::lock_guard<std::recursive_mutex> lock(sp1.mutex);
        sp1.modified = 1;
    }
}

void SavePlaylist() {
    std::string name = Hooks().saveFile({{"All knowns ", "*.p4s"}, {"All *.*", "*.*"}});
    if (name.empty())
        return;
    SavePlaylistfile(PlaylistSaveName(name));
}

PlaylistWindow* OpenPlaylistWindow() {
    LoadStandingPlaylistOnce();
    auto* window = new PlaylistWindow();
    window->show();
    window->raise();
    return window;
}

void StartPlaylist() {
    OpenPlaylistWindow();
}

void SavePlaylistOnExit() {
    SaveStandingPlaylistIfModified();
}
