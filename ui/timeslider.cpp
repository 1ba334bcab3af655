#include "ui/timeslider.h"

#include "ui/controlstrip.h"

#include <QHelpEvent>
#include <QProxyStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

namespace {
// Left clicks set the thumb to the pointer instead of paging towards it.
class ClickWhereStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};
} // namespace

TimeSlider::TimeSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    auto* style = new ClickWhereStyle();
    style->setParent(this);
    setStyle(style);
    setMouseTracking(true);
}

int TimeSlider::ValueAt(int x) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // The thumb's centre goes under the pointer, as when the groove is clicked.
    const int length = handle.width();
    const int first = groove.x();
    const int last = groove.right() - length + 1;
    const int at = x - (handle.center().x() - handle.x());
    return QStyle::sliderValueFromPosition(minimum(), maximum(), at - first, last - first,
                                           option.upsideDown);
}

bool TimeSlider::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (maximum() > minimum())
            QToolTip::showText(help->globalPos(),
                               QString::fromStdString(FormatClock(ValueAt(help->pos().x()))), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QSlider::event(event);
}
