// The volume and position sliders and the mouse wheel.
#include "platform/textutil.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "ui/dispatch.h"
#include "ui/equaliser.h"
#include "ui/mainwindow.h"
#include "ui/uistate.h"

#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

namespace {
// Up to this many seconds a click beside the thumb seeks to the paged position; longer movies
// seek to the clicked fraction instead.
constexpr int kPagedSeekLimit = 199;
} // namespace

void ShowVolume(int volume) {
    volume = std::clamp(volume, 0, 100);
    Mp1.volume = volume;
    if (GlobalH != nullptr) {
        QSignalBlocker block(GlobalH->VolumeSlider());
        GlobalH->VolumeSlider()->setValue(volume);
    }
    if (InitProc3* equaliser = EqualiserDialog()) {
        QSignalBlocker block(equaliser->Trackbar(6));
        equaliser->Trackbar(6)->setValue(volume);
    }
}

void AskPlayerVolume() {
    SendCommand("pausing_keep_force get_property volume");
}

void VolumeSliderScroll(ScrollCode code, int position) {
    ShowVolume(position);
    if (stan == 1)
        GlobalH->RepaintMuteButton();
    stan = 0;
    Mp1.muted = 0;
    std::string volume = Format("volume %d 1", position);
    switch (code) {
    case ScrollCode::PageUp:
    case ScrollCode::PageDown:
        SendCommand("osd 0");
        SendCommand(volume);
        Mp1.SetDefoultOsd();
        break;
    case ScrollCode::ThumbTrack:
        if (osd_wylaczone_czasowo == 1) {
            SendCommand("osd 0");
            osd_wylaczone_czasowo = 0;
        }
        SendCommand(volume);
        break;
    case ScrollCode::ThumbPosition:
        SendCommand(volume);
        osd_wylaczone_czasowo = 1;
        Mp1.SetDefoultOsd();
        break;
    case ScrollCode::Other:
        break;
    }
}

void TimeSliderScroll(ScrollCode code, int position, int clickX, int width) {
    switch (code) {
    case ScrollCode::PageUp:
    case ScrollCode::PageDown:
        if (position <= kPagedSeekLimit) {
            SendCommand(Format("seek %d 2", position));
            isPaused = false;
        } else if (width > 0) {
            float percent = static_cast<float>(clickX) * 100.0f / static_cast<float>(width);
            SendCommand("osd 0");
            SendCommand(Format("seek %f 1", static_cast<double>(percent)));
            Mp1.SetDefoultOsd();
        }
        break;
    case ScrollCode::ThumbPosition:
        if (Mp1.safeTimer != 0)
            GlobalH->TimeSlider()->setValue(position);
        SendCommand("osd 0");
        SendCommand(Format("seek %d 2", position));
        Mp1.SetDefoultOsd();
        isPaused = false;
        break;
    case ScrollCode::ThumbTrack:
        if (Mp1.safeTimer != 0)
            GlobalH->TimeSlider()->setValue(position);
        break;
    case ScrollCode::Other:
        break;
    }
}

void WheelTurned(int delta) {
    if (delta > 0)
        SendCommand("pausing_keep seek +10");
    else if (delta < 0)
        SendCommand("pausing_keep seek -10");
}
