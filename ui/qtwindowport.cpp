#include "ui/qtwindowport.h"

#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/uihooks.h"
#include "ui/videowindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QThread>

QtWindowPort::QtWindowPort(MainWindow* window) : window_(window) {}

void QtWindowPort::Queue(std::function<void(MainWindow&)> work) {
    QPointer<MainWindow> window = window_;
    QMetaObject::invokeMethod(
        this,
        [window, work = std::move(work)] {
            if (!window.isNull())
                work(*window);
        },
        Qt::QueuedConnection);
}

void QtWindowPort::SetTitle(const std::string& title) {
    Queue([title](MainWindow& w) { w.ShowTitle(QString::fromStdString(title)); });
}

void QtWindowPort::SetSliderRange(int control, int minimum, int maximum) {
    Queue([=](MainWindow& w) {
        if (auto* slider = qobject_cast<QSlider*>(w.Control(control))) {
            QSignalBlocker block(slider);
            slider->setRange(minimum, maximum);
        }
        w.ShowClock();
    });
}

void QtWindowPort::SetSliderPos(int control, int position) {
    Queue([=](MainWindow& w) {
        if (auto* slider = qobject_cast<QSlider*>(w.Control(control))) {
            // The user's hand wins over the player's report while the thumb is held.
            if (slider->isSliderDown())
                return;
            if (control == IDC_VOLUME_SLIDER) {
                ShowVolume(position);
                return;
            }
            QSignalBlocker block(slider);
            slider->setValue(position);
        }
        w.ShowClock();
    });
}

void QtWindowPort::SetSliderPageSize(int control, int pageSize) {
    Queue([=](MainWindow& w) {
        if (auto* slider = qobject_cast<QSlider*>(w.Control(control)))
            slider->setPageStep(pageSize);
    });
}

void QtWindowPort::ShowControl(int control, bool visible) {
    Queue([=](MainWindow& w) {
        if (QWidget* widget = w.Control(control))
            widget->setVisible(visible);
    });
}

void QtWindowPort::ResizeMainWindow(int width, int height) {
    Queue([=](MainWindow& w) { w.ResizeForPicture(width, height); });
}

int QtWindowPort::MessageBox(const std::string& text, const std::string& caption, int flags) {
    if (QThread::currentThread() == thread())
        return Hooks().messageBox(text, caption, flags);
    int answer = IDOK_;
    QMetaObject::invokeMethod(
        this, [&] { answer = Hooks().messageBox(text, caption, flags); },
        Qt::BlockingQueuedConnection);
    return answer;
}

void QtWindowPort::SetMenuItemText(int command, const std::string& text) {
    Queue([=](MainWindow& w) { w.Menus().SetItemTextByCommand(command, text); });
}

void QtWindowPort::PostToUi(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void QtWindowPort::OpenWithDefaultApplication(const std::string& path) {
    QMetaObject::invokeMethod(
        this, [path] { Hooks().openDocument(path); }, Qt::QueuedConnection);
}

void QtWindowPort::FullScreenAnswered(bool on) {
    Queue([on](MainWindow&) { ApplyFullScreen(on); });
}

bool QtWindowPort::CopyImageToClipboard(const QImage& image) {
    QMetaObject::invokeMethod(
        this, [image] { QGuiApplication::clipboard()->setImage(image); }, Qt::AutoConnection);
    return true;
}

bool QtWindowPort::CopyTextToClipboard(const std::string& text) {
    // The clipboard belongs to the window thread; other threads only queue the text.
    QString copy = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        this, [copy] { QGuiApplication::clipboard()->setText(copy); }, Qt::AutoConnection);
    return true;
}
