#include "ui/mainwindow.h"

#include "persist/translate.h"
#include "persist/translationtable.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "ui/accelerators.h"
#include "ui/dispatch.h"
#include "ui/droppedfile.h"
#include "ui/uistate.h"
#include "ui/videorules.h"
#include "ui/videowindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
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
    setWindowTitle(ProgramTitle);
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
    play_->setToolTip("Play and pause.");

    volume_ = new QSlider(Qt::Horizontal, client_);
    volume_->setObjectName("105");
    volume_->setRange(0, 100);
    volume_->setValue(Mp1.volume);
    time_ = new QSlider(Qt::Horizontal, client_);
    time_->setObjectName("106");
    ConnectSliders();

    setAcceptDrops(true);
    resize(520, 420);
    // Centred on the screen, as the window starts at its corner.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect desktop = screen->availableGeometry();
        move((desktop.right() - width()) / 2, (desktop.bottom() - height()) / 2);
    }

    Mp1.mainDialog = static_cast<WindowHandle>(winId());
    Mp1.videoWindow = static_cast<WindowHandle>(video_->winId());
    Mp1.embeddedVideoWindow = Mp1.videoWindow;
    Mp1.init();
    connect(&timer1_, &QTimer::timeout, this, &MainWindow::TimerTick);
    timer1_.start(200);
    qApp->installEventFilter(this);
    LayOut();
}

MainWindow::~MainWindow() {
    timer1_.stop();
    qApp->removeEventFilter(this);
    if (GlobalH == this)
        GlobalH = nullptr;
}

bool MainWindow::Command(int id) {
    return InitProcCommand(id);
}

QWidget* MainWindow::Video() const {
    return video_;
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
    if (auto* b = qobject_cast<QAbstractButton*>(Control(id)))
        b->setText(QString::fromStdString(text));
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
}

void MainWindow::LayOut() {
    const int w = client_->width();
    const int h = client_->height();
    PlaceVideoWindow(w, h);
    const int row = h - 20;
    play_->setGeometry(0, row, 50, 20);
    open_->setGeometry(55, row, 50, 20);
    sub_->setGeometry(110, row, 50, 20);
    eq_->setGeometry(165, row, 20, 20);
    playlist_->setGeometry(190, row, 20, 20);
    mute_->setGeometry(w - 100, row, 20, 20);
    volume_->setGeometry(w - 80, row, 80, 20);
    time_->setGeometry(0, h - 55, std::max(0, w - 55), 30);
    error_->setGeometry(w - 50, h - 55, 45, 30);
}

void MainWindow::PlaceVideoWindow(int w, int h) {
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
            QAction* action = menu->addAction(QString::fromStdString(SubtitleList[i].menuLabel));
            action->setData(2481 + static_cast<int>(i));
            action->setCheckable(true);
            action->setChecked(static_cast<int>(i) == zaznaczonaPozycjaSubtitle);
        }
        if (!SubtitleList.empty())
            menu->addSeparator();
    }
    menu->addAction(kLabelNapiprojektEn)->setData(2477);
    menu->addAction(kLabelNapiprojektPl)->setData(2002);
    menu->addAction("Subtitles list from opensubtitles.org")->setData(2582);
    menu->addAction("Upload this sub to OS")->setData(2631);
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
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The keys also work in the video window while it floats on its own.
    if (widget == nullptr || (widget->window() != this && widget->window() != video_))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int command = AcceleratorCommand(key->key(), key->modifiers(), key->text());
    if (command == 0 && key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier)
        command = 2; // the dialog's cancel key
    if (command == 0)
        return false;
    Command(command);
    return true;
}
