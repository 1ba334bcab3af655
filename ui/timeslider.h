#pragma once
// The time slider (control 106): a click on its groove puts the thumb where it was clicked
// (the release then seeks there, as after a drag), and its tooltip tells the time under the
// pointer.
#include <QSlider>

class TimeSlider : public QSlider {
    Q_OBJECT
  public:
    explicit TimeSlider(QWidget* parent);

    // The slider value under the x coordinate `x`, by the same rule the thumb follows.
    int ValueAt(int x) const;

  protected:
    bool event(QEvent* event) override;
};
