#include "uifixture.h"

#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/optins.h"
#include "persist/reopen.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "ui/mainwindow.h"
#include "ui/qtwindowport.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"

#include <QApplication>
#include <filesystem>

namespace {
QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    // Off screen unless a test program asks for the X server it runs in (xvfb-run).
    if (qEnvironmentVariable("QUORVAN_TEST_QPA") != "xcb")
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else
        qputenv("QT_QPA_PLATFORM", "xcb");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
} // namespace

void ProcessEvents() {
    QApplication::processEvents();
}

void UiTest::SetUp() {
    App();
    launchesBefore_ = LaunchCount();
    StageFakePlayerFolder(dir_.path());
    std::filesystem::create_directories(dir_.file("locale"));
    WriteFile(dir_.file("fake.script"), "print Quorvan fake\n"
                                        "on get_time_length|ANS_LENGTH=300.00\n"
                                        "on pausing_keep get_time_pos|ANS_TIME_POSITION=42.0\n");
    WriteFile(dir_.file("movie.avi"), "not really a movie");
    WriteFile(dir_.file("other.avi"), "another movie");
    ResetUiState();
    isPaused = false;
    Mp1.movieFile.clear();
    Mp1.extraOptions.clear();
    Mp1.timePosition = 0;
    Mp1.muted = 0;
    Mp1.fullScreen = false;
    history1.clear();
    for (std::string& slot : reopenpozycje)
        slot.clear();
    Hooks().messageBox = [this](const std::string& text, const std::string& caption, int) {
        messages_.push_back(caption + "|" + text);
        return 1;
    };
    Hooks().openFile = [this](const std::vector<FileFilter>&) { return openFileAnswer_; };
    Hooks().lineInput = [](const std::string&, const std::string&) { return 0; };
    Hooks().chooseFontSize = [](float&) { return false; };
    Hooks().openDocument = [this](const std::string& target) { documents_.push_back(target); };
    Hooks().openTextFile = [this](const std::string& path) { documents_.push_back(path); };
    Hooks().runProgram = [this](const std::string& line) { documents_.push_back("run " + line); };
    Hooks().endProcess = [this](int code) { exits_.push_back(code); };
    Hooks().endLeavingPlayer = [this](int code) { exits_.push_back(100 + code); };
}

void UiTest::TearDown() {
    ClosePlayer(2000);
    program_.window.reset();
    SetWindowPort(nullptr);
    program_.port.reset();
    ResetHooks();
    SetProgramFolder("");
}

void UiTest::Start(const std::string& arguments) {
    program_ = WinMainStartup("QuorvanPlayer " + arguments);
    ProcessEvents();
}

MainWindow& UiTest::W() {
    return *program_.window;
}

void UiTest::PlayMovie(const std::string& name) {
    Mp1.movieFile = dir_.file(name);
    Mp1.movieLength = 0;
    Mp1.init();
    Mp1.LanchMovie();
    ASSERT_TRUE(WaitUntil(
        [this] {
            ProcessEvents();
            // The launch ends with the length request and the on-screen display level; the
            // length answer must be in too, or it would overwrite what a test sets later.
            std::string log = ReadFile(dir_.file("fake.log"));
            size_t length = log.find("stdin: get_time_length");
            return length != std::string::npos &&
                   log.find("stdin: osd ", length) != std::string::npos &&
                   Mp1.movieLength == 300.0f;
        },
        5000));
    NewLines(); // what the launch itself sent
}

std::vector<std::string> UiTest::NewLines() {
    std::vector<std::string> lines;
    std::vector<std::string> all = ReadLines(dir_.file("fake.log"));
    for (size_t i = seen_; i < all.size(); ++i) {
        const std::string& line = all[i];
        if (line.rfind("stdin: ", 0) == 0 && line.find("get_time_pos") == std::string::npos)
            lines.push_back(line.substr(7));
    }
    seen_ = all.size();
    return lines;
}

std::vector<std::string> UiTest::WaitLines(size_t count) {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            ProcessEvents();
            for (const std::string& line : NewLines())
                lines.push_back(line);
            return lines.size() >= count;
        },
        3000);
    return lines;
}

int UiTest::Launches() {
    // The engine's own count: a launch is there the moment it is made, so a relaunch that
    // should not have happened is seen even before the fake player has logged a line.
    return static_cast<int>(LaunchCount() - launchesBefore_);
}

QObject* UiTest::WaitWindowChild(const std::string& name) {
    QObject* child = nullptr;
    WaitUntil(
        [&] {
            ProcessEvents();
            child = W().findChild<QObject*>(QString::fromStdString(name));
            return child != nullptr;
        },
        3000);
    return child;
}

bool UiTest::WaitLaunchWith(const std::string& text) {
    return WaitUntil(
        [&] {
            ProcessEvents();
            for (const std::string& line : ReadLines(dir_.file("fake.log")))
                if (line.rfind("argv: ", 0) == 0 && line.find(text) != std::string::npos)
                    return true;
            return false;
        },
        5000);
}
