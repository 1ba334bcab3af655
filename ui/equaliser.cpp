#include "ui/equaliser.h"

#include "persist/translate.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"
#include "ui/uitext.h"
#include "ui/videorules.h"
#include "ui/videowindow.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>

namespace {

struct TrackbarRow {
    int id;
    const char* property; // the trackbar's window text: the player property it sets
    int minimum;
    int maximum;
    int position;
    int label; // the label or button beside it (translated), 0 = none
    const char* labelText;
};

const TrackbarRow kTrackbars[] = {
    {0, "brightness", -100, 100, 0, 2408, "brightness"},
    {1, "contrast", -100, 100, 0, 500, "contrast"},
    {2, "saturation", -100, 100, 0, 501, "saturation"},
    {3, "hue", -100, 100, 0, 509, "hue"},
    {4, "gamma", -100, 100, 0, 0, nullptr},
    {5, "sub_pos", 0, 100, 100, 2409, "sub pos"},
    {6, "volume", 0, 100, 100, 2411, "volume"},
    {7, "change_rectangle", -200, 200, 0, 0, nullptr},
    {90, "aspect", 0, 100, 0, 2410, "aspect"},
};

QPointer<InitProc3> g_equaliser;
int g_visible = 1;

} // namespace

InitProc3::InitProc3(QWidget* owner) : QDialog(owner) {
    setModal(false);
    QPalette key = palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        key.setColor(role, QColor(QRgb(kKeyColour)));
    key.setColor(QPalette::WindowText, Qt::white);
    key.setColor(QPalette::ButtonText, Qt::white);
    setPalette(key);
    setAutoFillBackground(true);

    int y = 8;
    for (const TrackbarRow& row : kTrackbars) {
        if (row.label != 0) {
            auto* label = new QLabel(row.labelText, this);
            label->setObjectName(QString::number(row.label));
            label->setGeometry(8, y, 90, 20);
        }
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QString::number(row.id));
        slider->setWindowTitle(row.property);
        slider->setRange(row.minimum, row.maximum);
        slider->setValue(row.position);
        slider->setGeometry(100, y, 180, 20);
        y += 26;
        if (row.id == 90)
            connect(slider, &QSlider::valueChanged, this,
                    [](int position) { SendCommand(EqualiserRatioCommand(position)); });
        else
            connect(slider, &QSlider::valueChanged, this,
                    [this, slider] { PropertyMoved(slider); });
    }
    // The two buttons stand beside the sliders they read: 4 (gamma) and 7 (sharpening).
    auto* gamma = new QPushButton("gamma", this);
    gamma->setObjectName("104");
    gamma->setGeometry(8, 8 + 4 * 26, 90, 20);
    connect(gamma, &QPushButton::clicked, this, &InitProc3::Gamma);
    auto* sharpen = new QPushButton("Sharpen Now", this);
    sharpen->setObjectName("103");
    sharpen->setGeometry(8, 8 + 7 * 26, 90, 20);
    connect(sharpen, &QPushButton::clicked, this, &InitProc3::SharpenNow);
    setFixedSize(290, y + 4);
    Translate();
}

void InitProc3::Translate() {
    setWindowTitle(UiText("Dialog.Equalizer", "Video equalizer"));
    TranslateButionsEx([this](int control, const std::string& text) {
        QWidget* widget = findChild<QWidget*>(QString::number(control));
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(QString::fromStdString(text));
        else if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(QString::fromStdString(text));
    });
}

QSlider* InitProc3::Trackbar(int id) const {
    return findChild<QSlider*>(QString::number(id));
}

void InitProc3::PropertyMoved(QSlider* slider) {
    SendCommand(EqualiserPropertyCommand(slider->windowTitle().toStdString(), slider->value()));
    // The main window's volume slider shows the same volume.
    if (slider == Trackbar(6))
        ShowVolume(slider->value());
}

void InitProc3::SharpenNow() {
    std::string filter = SharpenFilter(Trackbar(7)->value());
    SendCommand(filter);
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.extraOptions = filter;
    }
    Mp1.init();
    Mp1.LanchRefresh();
}

void InitProc3::Gamma() {
    SendCommand(GammaFilter(Trackbar(4)->value()));
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.extraOptions = " -vf-add eq2 ";
    }
    Mp1.init();
    Mp1.LanchRefresh();
}

void InitProc3::closeEvent(QCloseEvent* event) {
    // The panel stays; the close box hides it through the same toggle as the "Eq" button.
    event->ignore();
    ButionPokretla();
}

int ButionPokretla() {
    if (g_equaliser == nullptr) {
        g_equaliser = new InitProc3(GlobalH);
        g_visible = 1;
    }
    int previous = g_visible;
    if (g_visible == 1)
        g_equaliser->Translate();
    g_equaliser->setVisible(g_visible == 1);
    g_visible = 1 - g_visible;
    return previous;
}

InitProc3* EqualiserDialog() {
    return g_equaliser;
}
