#include "ui/videowindow.h"

#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/uistate.h"
#include "ui/videoholder.h"
#include "ui/videorules.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWindow>

namespace {
const QColor kKey{QRgb(kKeyColour)};
} // namespace

VideoWindow::VideoWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("video");
    setWindowTitle("Pelnix Compact");
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    repaintAfterResize_.setSingleShot(true);
    repaintAfterResize_.setInterval(300);
    connect(&repaintAfterResize_, &QTimer::timeout, this, [this] { update(); });
}

void VideoWindow::resizeEvent(QResizeEvent*) {
    cxClient_ = width();
    cyClient_ = height();
    repaintAfterResize_.start();
}

void VideoWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kKey);
    // The seek bar is only ever set while the pseudo slider is on.
    if (barX_ >= 0 && Mp1.pseudoSlider != 0)
        painter.fillRect(QRect(QPoint(2, barTop_), QPoint(barX_, cyClient_ - 10)), Qt::white);
}

void VideoWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        if (GlobalH != nullptr)
            GlobalH->ShowPopupMenu1(event->globalPosition().toPoint());
    } else if (event->button() == Qt::LeftButton) {
        LeftButton(true, at.x(), at.y());
    }
}

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        LeftButton(false, at.x(), at.y());
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (coursorvisable != 0)
        HideCursor();
    GotoFullscreen();
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) {
    if (auto* holder = qobject_cast<VideoHolder*>(parentWidget()))
        holder->PointerMoved();
    else
        ShowCursorAgain();
    if (Mp1.pseudoSlider == 0)
        return;
    const QPoint at = event->position().toPoint();
    if (IsPseudoSliderZone(at.y(), cyClient_)) {
        pseudosliderdrawn_ = 1;
        barX_ = at.x();
        barTop_ = cyClient_ - 15;
        update();
    } else if (pseudosliderdrawn_ != 0) {
        barX_ = -1;
        pseudosliderdrawn_ = 0;
        update(QRect(QPoint(2, cyClient_ - 17), QPoint(width(), cyClient_ - 10)));
    }
}

void VideoWindow::wheelEvent(QWheelEvent* event) {
    WheelTurned(event->angleDelta().y());
}

void VideoWindow::LeftButton(bool down, int x, int y) {
    if (IsSeekClick(y, cyClient_)) {
        SeekClickAt(down, x);
        return;
    }
    if (down)
        Drag();
}

void VideoWindow::SeekClickAt(bool down, int x) {
    if (down || x != ostatnioprzesunietyx_) {
        SeekClick seek = SeekClickCommand(x, cxClient_, Mp1.movieLength);
        if (seek.sliderValue >= 0 && GlobalH != nullptr)
            GlobalH->TimeSlider()->setValue(seek.sliderValue);
        SendCommand("osd 0");
        SendCommand(seek.command);
        Mp1.SetDefoultOsd();
        isPaused = false;
    }
    ostatnioprzesunietyx_ = x;
    if (Mp1.pseudoSlider != 0) {
        barX_ = x;
        barTop_ = cyClient_ - 17;
        update();
    }
}

void VideoWindow::Drag() {
    // Embedded, a drag moves the main window; floating, it moves the compact window. With the
    // OpenGL output the player owns the picture's window, and a full screen stays put.
    QWidget* moved = window();
    if ((stan_oncompact == 1 && Mp1.IsUseGLDriver()) || VideoFullScreenShown())
        moved = nullptr;
    if (moved != nullptr && moved->windowHandle() != nullptr)
        moved->windowHandle()->startSystemMove();
}

void ShowCursorAgain() {
    if (coursorvisable == 0) {
        QApplication::restoreOverrideCursor();
        coursorvisable = 1;
    }
}

void HideCursor() {
    QApplication::setOverrideCursor(Qt::BlankCursor);
    coursorvisable = 0;
}
