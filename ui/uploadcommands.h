#pragma once
// The window's side of giving subtitles back: command 2631 (the user's upload of the shown
// subtitle, its exchanges on a worker with the wait texts, the IMDB dialog in between) and
// timer 2, the automatic upload's 20-minute timer.
class QWidget;

// 2631.
void sendsubtitlesByUser();
void MenuUploadActualSubtitle();
// Gives SubAutoUploadOS1 timer 2 of `window`; its firing runs SubAutoUploadOS1.run().
void InstallUploadTimer(QWidget* window);
