#include "ui/thumbwindow.h"

#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "thumbs/thumbmenu.h"
#include "ui/mainwindow.h"
#include "ui/uihooks.h"
#include "ui/uistate.h"
#include "ui/uitext.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

namespace {
constexpr const char* kSection = "Window.ThumbMenu";

// Kept for the whole run, not reset when a window opens.
int g_horizontal = 1;
int g_vertical = 1;
QPointer<ThumbMenuWindow> g_window;

const std::vector<FileFilter> kBitmapFilters = {{"Bitmap Files (*.BMP)", "*.bmp"},
                                                {"All Files (*.*)", "*.*"}};

std::string QtSaveBitmap() {
    return QFileDialog::getSaveFileName(nullptr, QString(), QString(),
                                        UiText("Dialog.Files", "Bitmap Files (*.BMP)") +
                                            " (*.bmp);;" +
                                            UiText("Dialog.Files", "All Files (*.*)") + " (*)")
        .toStdString();
}
} // namespace

std::function<std::string()>& ThumbSaveFileDialog() {
    static std::function<std::string()> dialog = QtSaveBitmap;
    return dialog;
}

class ThumbCanvas : public QWidget {
  public:
    explicit ThumbCanvas(ThumbMenuWindow* owner) : QWidget(owner), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAutoFillBackground(false);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const QImage& picture = owner_->Picture();
        if (picture.isNull())
            return;
        const int dx = owner_->OffsetX(), dy = owner_->OffsetY();
        painter.drawImage(0, 0, picture, dx, dy);
        int hit = owner_->Outlined();
        if (hit >= 0 && static_cast<size_t>(hit) < graphicthumbmenu.size()) {
            const thumbitem& f = graphicthumbmenu[static_cast<size_t>(hit)];
            painter.setPen(Qt::black);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(f.x - dx, f.y - dy, f.cx - 1, f.cy - 1);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            owner_->Click(event->position().toPoint().x(), event->position().toPoint().y());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }

  private:
    ThumbMenuWindow* owner_;
};

ThumbMenuWindow::ThumbMenuWindow() {
    setObjectName("ThumbMenu");
    setWindowTitle(UiText(kSection, "Thumb Menu 1"));
    setAttribute(Qt::WA_DeleteOnClose);
    QMenu* file = menuBar()->addMenu(UiText(kSection, "&File"));
    QAction* open = file->addAction(UiText(kSection, "&Open..."), this, &ThumbMenuWindow::Open);
    open->setData(40001);
    save_ = file->addAction(UiText(kSection, "&Save..."), this, &ThumbMenuWindow::Save);
    save_->setData(40002);
    save_->setEnabled(false);

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    canvas_ = new ThumbCanvas(this);
    horizontal_ = new QScrollBar(Qt::Horizontal, central);
    vertical_ = new QScrollBar(Qt::Vertical, central);
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setRange(0, 100);
        bar->setSingleStep(1);
        bar->setPageStep(5);
    }
    horizontal_->setValue(g_horizontal);
    vertical_->setValue(g_vertical);
    connect(horizontal_, &QScrollBar::valueChanged, this, &ThumbMenuWindow::Scrolled);
    connect(vertical_, &QScrollBar::valueChanged, this, &ThumbMenuWindow::Scrolled);
    grid->addWidget(canvas_, 0, 0);
    grid->addWidget(vertical_, 0, 1);
    grid->addWidget(horizontal_, 1, 0);
    setCentralWidget(central);
    resize(820, 620);
}

ThumbMenuWindow::~ThumbMenuWindow() = default;

bool ThumbMenuWindow::Load(const std::string& path, bool asSheetOfMovie) {
    image_.reset();
    picture_ = QImage();
    outlined_ = -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    image_ = DibLoadImage3(path.c_str());
    if (image_)
        picture_ = DibToQImage(image_.get());
    QApplication::restoreOverrideCursor();
    if (!image_ || picture_.isNull()) {
        image_.reset();
        save_->setEnabled(false);
        Hooks().messageBox(I18l.text(kSection, "Cannot load DIB file"), "ThumbMenu", MB_OK_);
        canvas_->update();
        return false;
    }
    save_->setEnabled(true);
    if (asSheetOfMovie) {
        SheetMarks marks = ReadLayoutMarks(image_.get());
        if (graphicthumbmenu.empty())
            graphicthumbmenu = RebuildFrameList(getDBIx(image_.get()), getDBIy(image_.get()), marks,
                                                Mp1.movieLength.load());
    }
    g_horizontal = g_vertical = 1;
    horizontal_->setValue(1);
    vertical_->setValue(1);
    canvas_->update();
    return true;
}

int ThumbMenuWindow::OffsetX() const {
    return ScrollOffset(picture_.width(), canvas_->width(), g_horizontal);
}

int ThumbMenuWindow::OffsetY() const {
    return ScrollOffset(picture_.height(), canvas_->height(), g_vertical);
}

void ThumbMenuWindow::Scrolled() {
    int h = ThumbScrollPosition(g_horizontal, ThumbScroll::Thumb, horizontal_->value());
    int v = ThumbScrollPosition(g_vertical, ThumbScroll::Thumb, vertical_->value());
    if (h == g_horizontal && v == g_vertical)
        return;
    g_horizontal = h;
    g_vertical = v;
    canvas_->update();
}

void ThumbMenuWindow::Click(int x, int y) {
    if (firstClick_) {
        firstClick_ = false;
        if (GlobalH != nullptr)
            GlobalH->Command(116);
    }
    int hit = HitTest(graphicthumbmenu, x + OffsetX(), y + OffsetY());
    if (hit < 0)
        return;
    outlined_ = hit;
    canvas_->update();
    SendCommand(Format("seek %d 2", graphicthumbmenu[static_cast<size_t>(hit)].seekPos));
}

void ThumbMenuWindow::Open() {
    std::string path = Hooks().openFile(kBitmapFilters);
    if (!path.empty())
        Load(path, false);
}

void ThumbMenuWindow::Save() {
    if (!image_)
        return;
    std::string path = ThumbSaveFileDialog()();
    if (path.empty())
        return;
    if (DibSaveImage(path.c_str(), image_.get()) != 1)
        Hooks().messageBox(I18l.text(kSection, "Cannot save DIB file"), "ThumbMenu", MB_OK_);
}

void ThumbMenuWindow::closeEvent(QCloseEvent* event) {
    image_.reset();
    picture_ = QImage();
    if (GlobalH != nullptr)
        GlobalH->Command(116);
    event->accept();
}

void StartThumbMenu() {
    if (!g_window.isNull())
        g_window->close();
    g_window = new ThumbMenuWindow();
    std::string sheet;
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        sheet = Mp1.thumbnailFile;
    }
    if (!sheet.empty())
        g_window->Load(sheet, true);
    g_window->show();
}

ThumbMenuWindow* CurrentThumbMenu() {
    return g_window.data();
}
