#include "ui/seekpreview.h"

#include "player/mplayerinfo.h"
#include "player/settings.h"
#include "ui/controlstrip.h"
#include "ui/mainwindow.h"
#include "ui/timeslider.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace {
// Between the picture's bottom edge and the slider's top.
constexpr int kGapAboveSlider = 4;
} // namespace

SeekPreview::SeekPreview(TimeSlider* slider) : QObject(slider), slider_(slider) {
    // A tool-tip window: no frame, above the main window, never takes the focus.
    popup_ = new QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    popup_->setObjectName("seekpreview");
    popup_->setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(popup_);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(1);
    picture_ = new QLabel(popup_);
    picture_->setObjectName("seekpreview.picture");
    time_ = new QLabel(popup_);
    time_->setObjectName("seekpreview.time");
    time_->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture_);
    layout->addWidget(time_);
    slider_->installEventFilter(this);
}

SeekPreview::~SeekPreview() {
    slider_->removeEventFilter(this);
    server_.reset(); // its thread hands nothing over any more once this returns
    delete popup_;
}

void SeekPreview::MakeServer() {
    FrameServerOptions o;
    o.width = width_;
    o.idleMs = idleMs_;
    QPointer<SeekPreview> self(this);
    // From the server's thread to the window thread.
    o.onFrame = [self](const PreviewFrame& frame) {
        QMetaObject::invokeMethod(
            qApp,
            [self, frame] {
                if (self)
                    self->Show(frame);
            },
            Qt::QueuedConnection);
    };
    o.onRefused = [self](const std::string& movie, const std::string&) {
        QMetaObject::invokeMethod(
            qApp,
            [self, movie] {
                if (self)
                    self->refused_ = movie;
            },
            Qt::QueuedConnection);
    };
    o.blocked = [] { return Mp1.screenshotSeries.load(); };
    server_ = std::make_unique<FrameServer>(o);
}

void SeekPreview::SetWidth(int width) {
    width = std::max(0, width);
    if (width == width_)
        return;
    width_ = width;
    server_.reset();
    refused_.clear();
    popup_->hide();
}

void SeekPreview::SetIdleLimit(int ms) {
    idleMs_ = ms;
    if (server_)
        server_->SetIdleLimit(ms);
}

void SeekPreview::Follow(const std::string& movie) {
    if (movie == movie_)
        return;
    movie_ = movie;
    refused_.clear();
    value_ = -1;
    if (server_)
        server_->EndPlayer();
    popup_->hide();
}

void SeekPreview::EndServer() {
    if (server_)
        server_->EndPlayer();
    popup_->hide();
}

pid_t SeekPreview::ServerPid() const {
    return server_ ? server_->PlayerPid() : 0;
}

bool SeekPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched != slider_)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        Hover(static_cast<QMouseEvent*>(event)->position().toPoint().x());
        break;
    case QEvent::Enter:
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        Leave();
        break;
    case QEvent::ToolTip:
        // The picture tells the time itself.
        return hovering_;
    default:
        break;
    }
    return false;
}

void SeekPreview::Hover(int x) {
    const std::string movie = Mp1.MovieFileSnapshot();
    if (movie != movie_)
        Follow(movie);
    if (width_ <= 0 || slider_->maximum() <= slider_->minimum() || !PreviewableName(movie) ||
        movie == refused_) {
        if (hovering_)
            Leave();
        return;
    }
    if (!hovering_) {
        hovering_ = true;
        firstRequest_ = 0;
        value_ = -1;
    }
    pointerX_ = x;
    if (popup_->isVisible())
        Place();
    const int value = slider_->ValueAt(x);
    if (value == value_) {
        if (server_)
            server_->KeepAlive();
        return;
    }
    value_ = value;
    if (!server_)
        MakeServer();
    const unsigned long long number = server_->Request(movie, value);
    if (firstRequest_ == 0)
        firstRequest_ = number;
}

void SeekPreview::Leave() {
    hovering_ = false;
    value_ = -1;
    if (server_)
        server_->Cancel();
    popup_->hide();
}

void SeekPreview::Show(const PreviewFrame& frame) {
    // Frames of an earlier hover, or older than the one shown, are late.
    if (!hovering_ || firstRequest_ == 0 || frame.request < firstRequest_ ||
        frame.request < shownRequest_)
        return;
    shownRequest_ = frame.request;
    picture_->setPixmap(QPixmap::fromImage(frame.image));
    // The answers come in tenths of a second: 54.96 is 0:00:55's frame.
    time_->setText(QString::fromStdString(FormatClock(static_cast<int>(frame.seconds + 0.05))));
    popup_->adjustSize();
    Place();
    popup_->show();
    popup_->raise();
}

void SeekPreview::Place() {
    const QPoint top = slider_->mapToGlobal(QPoint(pointerX_, 0));
    int x = top.x() - popup_->width() / 2;
    int y = top.y() - kGapAboveSlider - popup_->height();
    if (QScreen* screen = slider_->screen()) {
        const QRect area = screen->geometry();
        x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - popup_->width()));
        y = std::max(y, area.top());
    }
    popup_->move(x, y);
}

void ToggleSeekPreviews() {
    if (PreviewWidth > 0) {
        PreviewWidthWhenOn = PreviewWidth;
        PreviewWidth = 0;
    } else {
        PreviewWidth = PreviewWidthWhenOn > 0 ? PreviewWidthWhenOn : 160;
    }
    if (GlobalH != nullptr) {
        GlobalH->Menus().Check(kCommandSeekPreviews, PreviewWidth > 0);
        GlobalH->Preview()->SetWidth(PreviewWidth);
    }
}
