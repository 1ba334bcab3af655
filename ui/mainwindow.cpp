#include "ui/mainwindow.h"

#include "persist/translate.h"
#include "persist/translationtable.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/settings.h"
#include "player/subtitletracks.h"
#include "ui/accelerators.h"
#include "ui/controlstrip.h"
#include "ui/dispatch.h"
#include "ui/displaychoice.h"
#include "ui/droppedfile.h"
#include "ui/seekpreview.h"
#include "ui/timeslider.h"
#include "ui/uistate.h"
#include "ui/uitext.h"
#include "ui/uploadcommands.h"
#include "ui/videorules.h"
#include "ui/videowindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QWindow>

MainWindow* GlobalH = nullptr;

MuteButton::MuteButton(QWidget* parent)
    : QPushButton(parent), hbm1_(":/quorvan/OwnBit1.xpm"), hbm2_(":/quorvan/OwnBit2.xpm"),
      hbm3_(":/quorvan/OwnBit3.xpm") {
    setObjectName("1011");
    setText("mute");
}

void MuteButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& picture = isDown() ? hbm3_ : stan == 1 ? hbm1_ : hbm2_;
    painter.drawPixmap(rect(), picture);
}

MainWindow::MainWindow() {
    GlobalH = this;
    ShowTitle(ProgramTitle);
    setWindowIcon(QIcon(":/quorvan/icon.xpm"));
    client_ = new QWidget(this);
    client_->setMouseTracking(true);
    setCentralWidget(client_);
    setMouseTracking(true);
    menus_.BuildMenuBar(menuBar());
    connect(menuBar(), &QMenuBar::triggered, this, [this](QAction* action) {
        if (int command = CommandOf(action))
            Command(command);
    });

    video_ = new VideoWindow(client_);
    auto button = [this](int id, const char* text) {
        auto* b = new QPushButton(text, client_);
        b->setObjectName(QString::number(id));
        connect(b, &QPushButton::clicked, this, [this, id] { Command(id); });
        return b;
    };
    play_ = button(2018, "> ||");
    open_ = button(107, "&Open...");
    sub_ = button(108, "Sub");
    eq_ = button(114, "Eq");
    playlist_ = button(2028, "Pl");
    error_ = button(IDC_ERROR_BUTTON, "!");
    error_->hide();
    mute_ = new MuteButton(client_);
    connect(mute_, &QPushButton::clicked, this, [this] { Command(1011); });
    play_->setToolTip(UiText("Tooltips", "Play and pause."));

    volume_ = new QSlider(Qt::Horizontal, client_);
    volume_->setObjectName("105");
    volume_->setRange(0, 100);
    volume_->setValue(Mp1.volume);
    auto* timeSlider = new ::TimeSlider(client_);
    time_ = timeSlider;
    time_->setObjectName("106");
    preview_ = new SeekPreview(timeSlider);
    preview_->SetWidth(PreviewWidth);
    clock_ = new QLabel(client_);
    clock_->setObjectName("time");
    clock_->setAlignment(Qt::AlignCenter);
    ConnectSliders();
    ShowClock();

    setAcceptDrops(true);
    resize(520, 420);
    // Centred on the screen, as the window starts at its corner.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect desktop = screen->availableGeometry();
        move((desktop.right() - width()) / 2, (desktop.bottom() - height()) / 2);
    }

    Mp1.mainDialog = static_cast<WindowHandle>(winId());
    // Without an X server the player is given no window of ours (it could not draw in it).
    Mp1.videoWindow = PictureCanBeEmbedded(QGuiApplication::platformName().toStdString())
                          ? static_cast<WindowHandle>(video_->winId())
                          : 0;
    Mp1.embeddedVideoWindow = Mp1.videoWindow;
    Mp1.init();
    connect(&timer1_, &QTimer::timeout, this, &MainWindow::TimerTick);
    timer1_.start(200);
    InstallUploadTimer(this);
    qApp->installEventFilter(this);
    LayOut();
}

MainWindow::~MainWindow() {
    timer1_.stop();
    qApp->removeEventFilter(this);
    delete preview_; // its frame server's player ends with it
    preview_ = nullptr;
    // The video window goes with the main window, wherever it is shown now.
    if (video_->parentWidget() != client_)
        video_->setParent(client_);
    delete fullHolder_;
    delete compactHolder_;
    if (GlobalH == this)
        GlobalH = nullptr;
}

void MainWindow::ShowTitle(const QString& title) {
    if (!PictureCanBeEmbedded(QGuiApplication::platformName().toStdString()))
        setWindowTitle(title + kOwnPlayerWindowNote);
    else
        setWindowTitle(title);
}

bool MainWindow::Command(int id) {
    return InitProcCommand(id);
}

QWidget* MainWindow::Video() const {
    return video_;
}

VideoHolder* MainWindow::Holder(VideoHolder::Kind kind) {
    VideoHolder*& holder = kind == VideoHolder::Kind::FullScreen ? fullHolder_ : compactHolder_;
    if (holder == nullptr)
        holder = new VideoHolder(kind);
    return holder;
}

void MainWindow::EmbedVideo() {
    if (video_->parentWidget() != client_)
        video_->setParent(client_);
    LayOut();
    video_->lower();
    video_->show();
}

QWidget* MainWindow::Control(int id) const {
    switch (id) {
    case 2018:
        return play_;
    case 105:
        return volume_;
    case 106:
        return time_;
    case 107:
        return open_;
    case 108:
        return sub_;
    case 1011:
        return mute_;
    case 114:
        return eq_;
    case 2028:
        return playlist_;
    case IDC_ERROR_BUTTON:
        return error_;
    default:
        return nullptr;
    }
}

void MainWindow::SetControlText(int id, const std::string& text) {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) {
        b->setText(QString::fromStdString(text));
        // The play button's tooltip is translated with it.
        if (b == play_)
            play_->setToolTip(UiText("Tooltips", "Play and pause."));
        // A longer text widens its button and moves the rest of the row.
        LayOut();
    }
}

void MainWindow::ResizeForPicture(int width, int height) {
    QScreen* screen = this->screen();
    if (screen == nullptr) {
        resize(width, height);
        return;
    }
    const QRect available = screen->availableGeometry();
    // The frame as the window manager draws it (none before the window was first shown).
    const QSize frame = frameGeometry().size() - geometry().size();
    WindowSize fit = FitMainWindow(width, height, available.width() - frame.width(),
                                   available.height() - frame.height());
    resize(fit.width, fit.height);
    const QRect wanted(frameGeometry().topLeft(), size() + frame);
    const int x = std::clamp(wanted.x(), available.left(),
                             std::max(available.left(), available.right() + 1 - wanted.width()));
    const int y = std::clamp(wanted.y(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - wanted.height()));
    if (x != wanted.x() || y != wanted.y())
        move(x, y);
}

void MainWindow::RepaintMuteButton() {
    mute_->update();
}

void MainWindow::ShowVideo(bool visible) {
    video_->setVisible(visible);
}

void MainWindow::ConnectSliders() {
    auto code = [](int action, const QSlider* slider) {
        switch (action) {
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollCode::PageDown;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollCode::PageUp;
        case QAbstractSlider::SliderMove:
            return slider->isSliderDown() ? ScrollCode::ThumbTrack : ScrollCode::Other;
        default:
            return ScrollCode::Other;
        }
    };
    connect(volume_, &QSlider::actionTriggered, this, [this, code](int action) {
        VolumeSliderScroll(code(action, volume_), volume_->sliderPosition());
    });
    connect(volume_, &QSlider::sliderReleased, this,
            [this] { VolumeSliderScroll(ScrollCode::ThumbPosition, volume_->sliderPosition()); });
    connect(time_, &QSlider::actionTriggered, this, [this, code](int action) {
        TimeSliderScroll(code(action, time_), time_->sliderPosition(), lastTimeClickX_,
                         time_->width());
    });
    connect(time_, &QSlider::sliderReleased, this, [this] {
        TimeSliderScroll(ScrollCode::ThumbPosition, time_->sliderPosition(), lastTimeClickX_,
                         time_->width());
    });
    connect(time_, &QSlider::valueChanged, this, &MainWindow::ShowClock);
    connect(time_, &QSlider::sliderMoved, this, &MainWindow::ShowClock);
    connect(time_, &QSlider::rangeChanged, this, &MainWindow::ShowClock);
}

void MainWindow::ShowClock() {
    std::string text = FormatClock(time_->sliderPosition());
    if (!clockShort_)
        text += " / " + FormatClock(time_->maximum());
    clock_->setText(QString::fromStdString(text));
}

void MainWindow::LayOut() {
    const int w = client_->width();
    const int h = client_->height();
    PlaceVideoWindow(w, h);
    QPushButton* row[] = {play_, open_, sub_, eq_, playlist_};
    std::array<int, 5> needed{};
    for (size_t i = 0; i < needed.size(); ++i) {
        // The text as shown (a single & marks the shortcut), with the button's frame and margin.
        QString shown = row[i]->text();
        shown.replace(QRegularExpression("&(.)"), "\\1");
        const int padding =
            2 * (style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, row[i]) +
                 style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, row[i]));
        needed[i] = row[i]->fontMetrics().horizontalAdvance(shown) + padding;
    }
    // The time and the length, or the time alone where the row has no room for both.
    const QString full = QString::fromStdString(FormatClock(time_->sliderPosition()) + " / " +
                                                FormatClock(time_->maximum()));
    const QString shortText = QString::fromStdString(FormatClock(time_->sliderPosition()));
    ControlStripLayout layout =
        LayOutControlStrip(w, h, needed, clock_->fontMetrics().horizontalAdvance(full) + 8);
    if (layout.clock.width == 0)
        layout = LayOutControlStrip(w, h, needed,
                                    clock_->fontMetrics().horizontalAdvance(shortText) + 8);
    clockShort_ = layout.clock.width > 0 &&
                  layout.clock.width < clock_->fontMetrics().horizontalAdvance(full) + 8;
    auto place = [](QWidget* widget, const VideoRect& r) {
        widget->setGeometry(r.x, r.y, r.width, r.height);
    };
    for (size_t i = 0; i < needed.size(); ++i)
        place(row[i], layout.buttons[i]);
    place(mute_, layout.mute);
    place(volume_, layout.volume);
    place(time_, layout.time);
    place(error_, layout.error);
    place(clock_, layout.clock);
    clock_->setVisible(layout.clock.width > 0);
    // The row never overlaps itself. The minimum belongs to the client area: the main window's
    // layout adds its own frame to it (the window's width less the client's is no measure of
    // that before the layout has run, and fed back it made the window grow at every call).
    client_->setMinimumWidth(layout.minimumWidth);
    ShowClock();
}

void MainWindow::PlaceVideoWindow(int w, int h) {
    if (video_->parentWidget() != client_) {
        // Full screen follows a new picture size; the floating window keeps the user's size.
        if (fullHolder_ != nullptr && video_->parentWidget() == fullHolder_)
            fullHolder_->PlaceVideo();
        return;
    }
    VideoPlacement placement =
        PlaceVideo(w, h, Mp1.displayWidth, Mp1.displayHeight, Mp1.stretchVideo);
    QRect area(placement.rect.x, placement.rect.y, placement.rect.width,
               std::max(0, placement.rect.height));
    if (!placement.keepsAspect) {
        video_->setGeometry(area);
        return;
    }
    myrect1 = placement.rect;
    // The player's own OpenGL full screen keeps the window where it is.
    if (!(Mp1.IsUseGLDriver() && Mp1.fullScreen))
        video_->setGeometry(area);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOut();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box takes the exit command's way out; the exit decides when the window goes.
    event->ignore();
    Command(2);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (QWindow* handle = windowHandle())
            handle->startSystemMove();
    } else if (event->button() == Qt::RightButton) {
        ShowPopupMenu1(event->globalPosition().toPoint());
    }
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        GotoFullscreen();
}

void MainWindow::mouseMoveEvent(QMouseEvent*) {
    if (coursorvisable == 0) {
        ShowCursorAgain();
        ShowVideo(true);
    }
}

void MainWindow::wheelEvent(QWheelEvent* event) {
    WheelTurned(event->angleDelta().y());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    // Only the first of several dropped files is taken.
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            DroppedFile(url.toLocalFile().toStdString());
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::DroppedFile(const std::string& path) {
    HandleDroppedFile(path);
}

QMenu* MainWindow::BuildTranslatedPopup1() {
    QMenu* menu = menus_.BuildPopupMenu1(this);
    TranslatePopupMenu1(menus_);
    return menu;
}

void MainWindow::ShowPopupMenu1(const QPoint& globalPos) {
    QMenu* menu = BuildTranslatedPopup1();
    QAction* chosen = menu->exec(globalPos);
    int command = chosen != nullptr ? CommandOf(chosen) : 0;
    menus_.Forget("Popup1");
    delete menu;
    if (command != 0)
        Command(command);
}

QMenu* MainWindow::BuildSubtitlePopup() {
    auto* menu = new QMenu(this);
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        for (size_t i = 0; i < SubtitleList.size(); ++i) {
            // The "None" entry is the program's own; the tracks are named by the movie.
            const Subtitle& track = SubtitleList[i];
            QAction* action =
                menu->addAction(track.kind == -1 ? UiText("Menu.SubPopup", "None")
                                                 : QString::fromStdString(track.menuLabel));
            action->setData(2481 + static_cast<int>(i));
            action->setCheckable(true);
            action->setChecked(static_cast<int>(i) == zaznaczonaPozycjaSubtitle);
        }
        if (!SubtitleList.empty())
            menu->addSeparator();
    }
    // The two Napiprojekt items say what the Subtitle menu's items say.
    menu->addAction(QString::fromStdString(I18l.text("Menu.Subtitle", kLabelNapiprojektEn)))
        ->setData(2477);
    menu->addAction(QString::fromStdString(I18l.text("Menu.Subtitle", kLabelNapiprojektPl)))
        ->setData(2002);
    menu->addAction(UiText("Menu.SubPopup", "Subtitles list from opensubtitles.org"))
        ->setData(2582);
    menu->addAction(UiText("Menu.SubPopup", "Upload this sub to OS"))->setData(2631);
    return menu;
}

void MainWindow::ShowSubtitlePopup(const QPoint& globalPos) {
    QMenu* menu = BuildSubtitlePopup();
    QAction* chosen = menu->exec(globalPos);
    int command = chosen != nullptr ? CommandOf(chosen) : 0;
    delete menu;
    if (command != 0)
        Command(command);
}

void MainWindow::TimerTick() {
    // A player that stopped leaves its last frame, perhaps half drawn: the key colour again.
    const bool running = PlayerRunning();
    if (playerWasRunning_ && !running)
        video_->update();
    playerWasRunning_ = running;
    // Another movie ends the frame server's player of the one before.
    preview_->Follow(Mp1.MovieFileSnapshot());
    // Under the quiet option the player prints no status lines, so the position is asked for.
    if (Mp1.safeTimer == 0 || isPaused || Mp1.screenshotSeries || !PlayerRunning())
        return;
    if (Mp1.MovieFileSnapshot().empty())
        return;
    SendPositionPoll();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched == time_)
        lastTimeClickX_ = static_cast<QMouseEvent*>(event)->position().toPoint().x();
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The keys also work while the picture is full screen or floats on its own.
    if (widget == nullptr || (widget->window() != this && widget->window() != fullHolder_ &&
                              widget->window() != compactHolder_))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int command = AcceleratorCommand(key->key(), key->modifiers(), key->text());
    if (event->type() == QEvent::ShortcutOverride) {
        // The menus show these keys as their shortcuts; taken here, a key arrives once, as
        // the key table's command, and not a second time as the menu item's.
        if (command == 0)
            return false;
        event->accept();
        return true;
    }
    if (command == 0 && key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        // The dialog's cancel key ends the program, but first it ends full screen.
        if (VideoFullScreenShown()) {
            LeaveFullScreen();
            return true;
        }
        command = 2;
    }
    if (command == 0)
        return false;
    Command(command);
    return true;
}
