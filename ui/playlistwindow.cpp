#include "ui/playlistwindow.h"

#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> g_playlist;
} // namespace

void StartPlaylist() {
    if (g_playlist.isNull()) {
        g_playlist = new QWidget(nullptr);
        g_playlist->setAttribute(Qt::WA_DeleteOnClose);
        g_playlist->setObjectName("Playlista");
        g_playlist->setWindowTitle("Playlista.1");
        g_playlist->setStyleSheet("background: white;");
        g_playlist->resize(400, 300);
    }
    g_playlist->show();
    g_playlist->raise();
}

void SavePlaylistOnExit() {
    // No entries can be added yet, so there is never anything to write.
}
