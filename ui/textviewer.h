#pragma once
// Text files the program ships (the FAQ): opened with the desktop's application for them, and
// where none opens them, shown in a window of the program's own.
#include <string>

class QWidget;

// Opens `path` with `opener` (the desktop's "xdg-open") and waits on the window thread's loop,
// without blocking it, for its verdict: an opener that cannot be started or that ends with a
// failure within a few seconds makes the program show the file itself (TextViewerWindow). An
// opener still running then has found an application (some stay until it closes). A file that
// is missing or cannot be read is told in a message box.
void OpenTextFileWith(const std::string& opener, const std::string& path);

// The program's own read-only window for a text file, decoded as UTF-8 (what the shipped
// files are; binary/NFO2TXT reads code page 437 and would garble Polish letters). Returns
// the window shown (deleted when closed), or nullptr after telling the user the file cannot
// be read.
QWidget* ShowTextViewer(const std::string& path);
