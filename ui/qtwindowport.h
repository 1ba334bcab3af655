#pragma once
// The window port of the Qt program. The player-output reader thread calls it as well as the
// user-interface thread, so every call that touches a widget is queued to the GUI thread;
// nothing here waits for the GUI except a message box asked for from another thread.
#include "platform/windowport.h"

#include <QObject>
#include <QPointer>

class MainWindow;

class QtWindowPort : public QObject, public WindowPort {
    Q_OBJECT
  public:
    explicit QtWindowPort(MainWindow* window);

    void SetTitle(const std::string& title) override;
    void SetSliderRange(int control, int minimum, int maximum) override;
    void SetSliderPos(int control, int position) override;
    void SetSliderPageSize(int control, int pageSize) override;
    void ShowControl(int control, bool visible) override;
    void ResizeMainWindow(int width, int height) override;
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void SetMenuItemText(int command, const std::string& text) override;
    void PostToUi(std::function<void()> work) override;
    void OpenWithDefaultApplication(const std::string& path) override;
    void FullScreenAnswered(bool on) override;
    bool CopyImageToClipboard(const QImage& image) override;
    bool CopyTextToClipboard(const std::string& text) override;

  private:
    // Runs `work` on the GUI thread later, if the window still exists then.
    void Queue(std::function<void(MainWindow&)> work);
    QPointer<MainWindow> window_;
};
