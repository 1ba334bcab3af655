#include "ui/videoholder.h"

#include "player/mplayerinfo.h"
#include "ui/uistate.h"
#include "ui/videowindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {
// The pointer at rest this long hides the cursor over a full-screen picture.
constexpr int kCursorIdleMs = 2000;
} // namespace

VideoHolder::VideoHolder(Kind kind) : QWidget(nullptr), kind_(kind) {
    setObjectName(kind == Kind::FullScreen ? "fullscreen" : "compact");
    setWindowTitle("Pelnix Compact");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    if (kind == Kind::FullScreen)
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    else
        // A frame to size it by, no caption.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint);
    idleCursor_.setSingleShot(true);
    idleCursor_.setInterval(kCursorIdleMs);
    connect(&idleCursor_, &QTimer::timeout, this, [this] {
        if (isVisible() && coursorvisable != 0)
            HideCursor();
    });
}

void VideoHolder::Take(QWidget* video) {
    video->setParent(this);
    PlaceVideo();
    video->show();
}

void VideoHolder::PlaceVideo() {
    // The whole window: the player keeps the picture's aspect inside it itself.
    if (QWidget* video = findChild<VideoWindow*>(QString(), Qt::FindDirectChildrenOnly))
        video->setGeometry(rect());
}

void VideoHolder::PointerMoved() {
    ShowCursorAgain();
    if (kind_ == Kind::FullScreen && isVisible())
        idleCursor_.start();
}

void VideoHolder::resizeEvent(QResizeEvent*) {
    PlaceVideo();
}

void VideoHolder::paintEvent(QPaintEvent*) {
    // The bands beside a full-screen picture.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(QRgb(kKeyColour)));
}

void VideoHolder::closeEvent(QCloseEvent* event) {
    // Closing either window (the desktop may ask, even without a close box) brings the picture
    // back instead of leaving the program without one.
    event->ignore();
    if (kind_ == Kind::Compact)
        ToggleCompact();
    else
        LeaveFullScreen();
}

void VideoHolder::hideEvent(QHideEvent*) {
    idleCursor_.stop();
}

namespace {
xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name),
        nullptr);
    xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return atom;
}
} // namespace

void SetStaysOnTop(QWidget* window, bool onTop) {
    // Qt's own stay-on-top flag makes its X11 window be created anew at the next show, and
    // the player's picture (a window inside it) with it; so the window manager is asked
    // directly, as the desktop's pagers do.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (screen == nullptr)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = Atom(connection, "_NET_WM_STATE");
    message.data.data32[0] = onTop ? 1u : 0u; // _NET_WM_STATE_ADD or _REMOVE
    message.data.data32[1] = Atom(connection, "_NET_WM_STATE_ABOVE");
    message.data.data32[2] = 0;
    message.data.data32[3] = 1; // a normal application asks
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

bool StartWindowManagerDrag(QWidget* window, QPoint globalPos, int direction) {
    // Qt's own request names the pointer where it last crossed the top-level window itself;
    // a press on the native video window inside never updates that, and the window manager
    // would move the window by the wrong amount. So the request is made here, with the
    // pointer where the press was, as Qt makes it otherwise (_NET_WM_MOVERESIZE after the
    // press's implicit grab is let go).
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr || window == nullptr)
        return false;
    xcb_connection_t* connection = x11->connection();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen == nullptr)
        return false;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = Atom(connection, "_NET_WM_MOVERESIZE");
    message.data.data32[0] = static_cast<uint32_t>(globalPos.x());
    message.data.data32[1] = static_cast<uint32_t>(globalPos.y());
    message.data.data32[2] = static_cast<uint32_t>(direction);
    message.data.data32[3] = 1; // the left button
    message.data.data32[4] = 1; // a normal application asks
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    return true;
}
