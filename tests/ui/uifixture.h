#pragma once
// A main window started the way the program starts, in a staged program folder whose player
// is the fake player. Message boxes, file dialogs, documents and the end of the program are
// recorded instead of shown.
#include "tests/support/testenv.h"
#include "ui/startup.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

class MainWindow;
class QObject;

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with this command line after the program name.
    void Start(const std::string& arguments = "");
    // Starts a movie (a file of the staged folder) and waits until the player asked its length.
    void PlayMovie(const std::string& name = "movie.avi");
    // The stdin lines the player received since the last call (position polls left out).
    std::vector<std::string> NewLines();
    // Waits until at least `count` new lines arrived and returns them.
    std::vector<std::string> WaitLines(size_t count);
    // Waits until a command line (argv line of the log) containing `text` was started.
    bool WaitLaunchWith(const std::string& text);
    // Players started since the test began (the engine's record).
    int Launches();
    // Waits (3 s at most, running the window's loop) for a child of the main window with this
    // object name, such as a pop-up menu; nullptr when none came.
    QObject* WaitWindowChild(const std::string& name);
    MainWindow& W();

    TempDir dir_;
    unsigned long long launchesBefore_ = 0;
    StartedProgram program_;
    std::vector<std::string> messages_;
    std::vector<std::string> documents_;
    std::vector<int> exits_;
    std::string openFileAnswer_;
    size_t seen_ = 0;
};

// Lets queued calls to the GUI thread run.
void ProcessEvents();
