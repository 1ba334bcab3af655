#pragma once
// The one interface through which the core reaches the windows. The Qt program implements it
// (marshalling every call to the GUI thread); tests implement it with a recorder; without a
// GUI the headless port writes message boxes to stderr and runs posted work on its own loop.
#include <functional>
#include <string>

class QImage;

// Control ids of the main dialog that the core addresses.
enum ControlId : int {
    IDC_VOLUME_SLIDER = 105,
    IDC_TIME_SLIDER = 106,
    IDC_ERROR_BUTTON = 2302,
};

// Message box flags (the Win32 values the callers pass).
enum MessageBoxFlags : int {
    MB_OK_ = 0x0,
    MB_ICONERROR_ = 0x10,
    MB_ICONQUESTION_ = 0x20,
    MB_ICONWARNING_ = 0x30,
    MB_ICONINFORMATION_ = 0x40,
    MB_YESNO_ = 0x4,
};
constexpr int IDYES_ = 6;
constexpr int IDNO_ = 7;
constexpr int IDOK_ = 1;

class WindowPort {
  public:
    virtual ~WindowPort() = default;

    virtual void SetTitle(const std::string& title) = 0;
    virtual void SetSliderRange(int control, int minimum, int maximum) = 0;
    virtual void SetSliderPos(int control, int position) = 0;
    virtual void SetSliderPageSize(int control, int pageSize) = 0;
    virtual void ShowControl(int control, bool visible) = 0;
    // Resizes the main window without moving it or changing its stacking order.
    virtual void ResizeMainWindow(int width, int height) = 0;
    // Returns the button pressed (IDOK_, IDYES_, IDNO_).
    virtual int MessageBox(const std::string& text, const std::string& caption, int flags) = 0;
    // Gives a menu item (by command id) a new text.
    virtual void SetMenuItemText(int command, const std::string& text) = 0;
    // Runs `work` on the user-interface thread, later; never waits for it.
    virtual void PostToUi(std::function<void()> work) = 0;
    // Opens a document with the desktop's default application for it (the shell's "open"
    // verb) and does not wait. Failures are not reported: the callers have nothing to add.
    // The default runs xdg-open; a GUI may use its own desktop services instead.
    virtual void OpenWithDefaultApplication(const std::string& path);
    // The player answered a full-screen switch (VO_FULLSCREEN=). A window that shows the
    // player's picture carries the switch out itself; the default does nothing.
    virtual void FullScreenAnswered(bool on);
    // The clipboard (the GUI's; none without one: false).
    virtual bool CopyImageToClipboard(const QImage& image);
    // Text is UTF-8; it is put on the clipboard by the window thread, the caller does not wait.
    virtual bool CopyTextToClipboard(const std::string& text);
};

// The port in force; never null (the headless port until a GUI or a test sets its own).
WindowPort& Port();
// Installs `port` (nullptr restores the headless port). The caller keeps ownership.
void SetWindowPort(WindowPort* port);

// Message box without owner and with an OK button; both ints are ignored.
int MessageBoxS(int, const char* text, const char* caption, int);
