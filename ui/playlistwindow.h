#pragma once
// The playlist window "Playlista.1": the list in three columns (number and name, path, the
// entry's number), scrolled by bars, keys and the wheel, reordered by dragging, started by a
// double click, filled by dropping files and folders, and loaded, saved or cleared through its
// context menu. The list itself is the core's (persist/playlist.h); the window only edits it.
#include <QAbstractScrollArea>
#include <QTimer>
#include <string>

class PlaylistWindow : public QAbstractScrollArea {
    Q_OBJECT
  public:
    PlaylistWindow();

    // Metrics of the default font, as the columns are laid out with them.
    int cxChar() const { return cxChar_; }
    int cxCaps() const { return cxCaps_; }
    int cyChar() const { return cyChar_; }
    // The row chosen with the mouse (shared by every playlist window), -1 when none.
    static int selected();
    static void setSelected(int row);
    // Sets the scroll ranges from the list's size and the client size.
    void updateScrollRanges();
    // Hands an event to the window as its viewport would. Tests deliver synthetic drops this
    // way: the application routes drops only to the target of a drag in progress.
    bool deliverViewportEvent(QEvent* event) { return viewportEvent(event); }
    // The commands of the context menu (2029 load, 2030 save, 2031 clear).
    void runMenuCommand(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    int rowAt(int y) const;
    void scrollLines(int lines);

    int cxChar_ = 8;
    int cxCaps_ = 8;
    int cyChar_ = 16;
    bool dragging_ = false;
    int wheelAccumulator_ = 0;
    unsigned seenGeneration_ = 0;
    QTimer followList_;
};

// Opens a new playlist window (the first opening of a run loads the standing playlist).
void StartPlaylist();
// The same, returning the window (tests drive it).
PlaylistWindow* OpenPlaylistWindow();
// The context menu's file commands, through the open and save dialogs.
void LoadPlaylist();
void SavePlaylist();
// The exit command's playlist write: a changed list with entries is written back.
void SavePlaylistOnExit();
