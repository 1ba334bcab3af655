#pragma once
// The start-up sequence of the program, step by step, and the main window it creates.
#include "ui/mainwindow.h"
#include "ui/qtwindowport.h"

#include <memory>
#include <string>

struct StartedProgram {
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QtWindowPort> port;
    // Set when the command line asked for something other than a window ("-setlangfile").
    bool exitAtOnce = false;
    int exitCode = 0;
};

// Everything before the event loop: settings, language, history, the window and its menus,
// the command line (the raw line, program path first). Needs a QApplication.
StartedProgram WinMainStartup(const std::string& commandLine);

// The language files as the menu shows them, then the menus and buttons translated.
void FillLanguageMenuAndTranslate(MainWindow& window);
