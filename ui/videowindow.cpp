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

namespace {
// The floating window of compact mode, when `video` is in it (not full screen).
VideoHolder* CompactHolderOf(QWidget* video) {
    auto* holder = qobject_cast<VideoHolder*>(video->parentWidget());
    if (holder == nullptr || holder->kind() != VideoHolder::Kind::Compact || stan_oncompact != 0)
        return nullptr;
    return holder;
}

int WmDirection(int edges) {
    const bool left = edges & kEdgeLeft, right = edges & kEdgeRight;
    if (edges & kEdgeTop)
        return left ? kWmSizeTopLeft : right ? kWmSizeTopRight : kWmSizeTop;
    if (edges & kEdgeBottom)
        return left ? kWmSizeBottomLeft : right ? kWmSizeBottomRight : kWmSizeBottom;
    return left ? kWmSizeLeft : kWmSizeRight;
}

Qt::CursorShape FrameCursor(int edges) {
    const bool horizontal = (edges & (kEdgeLeft | kEdgeRight)) != 0;
    const bool vertical = (edges & (kEdgeTop | kEdgeBottom)) != 0;
    if (horizontal && vertical)
        return ((edges & kEdgeLeft) != 0) == ((edges & kEdgeTop) != 0) ? Qt::SizeFDiagCursor
                                                                       : Qt::SizeBDiagCursor;
    if (horizontal)
        return Qt::SizeHorCursor;
    if (vertical)
        return Qt::SizeVerCursor;
    return Qt::CrossCursor;
}
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
    // Over the sizing frame of the floating window the cursor says which way it sizes.
    const QPoint pointer = event->position().toPoint();
    const int edges = CompactHolderOf(this) != nullptr
                          ? CompactFrameEdges(pointer.x(), pointer.y(), width(), height())
                          : 0;
    setCursor(FrameCursor(edges));
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
    if (VideoHolder* holder = CompactHolderOf(this)) {
        const int edges = CompactFrameEdges(x, y, width(), height());
        if (edges != 0) {
            if (down)
                StartWindowManagerDrag(holder, mapToGlobal(QPoint(x, y)), WmDirection(edges));
            return;
        }
    }
    if (IsSeekClick(y, cyClient_)) {
        SeekClickAt(down, x);
        return;
    }
    if (down)
        Drag(mapToGlobal(QPoint(x, y)));
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

void VideoWindow::Drag(QPoint globalPos) {
    // Embedded, a drag moves the main window; floating, it moves the compact window. With the
    // OpenGL output the player owns the picture's window, and a full screen stays put.
    QWidget* moved = window();
    if ((stan_oncompact == 1 && Mp1.IsUseGLDriver()) || VideoFullScreenShown())
        moved = nullptr;
    if (moved != nullptr && !StartWindowManagerDrag(moved, globalPos, kWmMove) &&
        moved->windowHandle() != nullptr)
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
