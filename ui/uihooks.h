#pragma once
// The few places where the main window waits for the user or leaves the process. Each has a
// Qt implementation; tests replace them to answer without a person in front of the screen.
#include <functional>
#include <string>
#include <vector>

struct FileFilter {
    std::string description;
    std::string patterns; // "*.AVI;*.mp4"
};

struct UiHooks {
    // A modal message box; returns the button pressed (IDOK_, IDYES_, IDNO_).
    std::function<int(const std::string& text, const std::string& caption, int flags)> messageBox;
    // The open-file dialog (existing files only); "" when cancelled.
    std::function<std::string(const std::vector<FileFilter>& filters)> openFile;
    // The one-line input dialogs ("Password", "Open URL"): 1 with the text in buf6, 0 when
    // the dialog was closed.
    std::function<int(const std::string& caption, const std::string& preset)> lineInput;
    // The font dialog of the subtitle size: true with the chosen size (tenths of a point) in
    // `size`, false when cancelled. `size` holds the current size on entry.
    std::function<bool(float& size)> chooseFontSize;
    // Opens a document or address with the desktop's default application.
    std::function<void(const std::string& target)> openDocument;
    // Starts a program and returns at once.
    std::function<void(const std::string& commandLine)> runProgram;
    // Ends the program with `code` once the current command is done.
    std::function<void(int code)> endProcess;
    // Ends the program at once and leaves the running player playing in its own window.
    std::function<void(int code)> endLeavingPlayer;
    // Opens a text file the program ships (the FAQ): with the desktop's application, else in
    // the program's own text window; a failure is told.
    std::function<void(const std::string& path)> openTextFile;
    // The save-file dialog (the folder must exist); "" when cancelled.
    std::function<std::string(const std::vector<FileFilter>& filters)> saveFile;
};

// The hooks in force (the Qt ones unless a test installed others).
UiHooks& Hooks();
// Puts back the Qt implementations.
void ResetHooks();
