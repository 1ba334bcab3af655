#pragma once
// The application of the tests that run in a real X server (xvfb-run), and waiting while its
// events are processed.
#include "tests/support/testenv.h"

#include <QApplication>
#include <functional>

// The one QApplication of the test program, on the X server of $DISPLAY.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui_xvfb";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

inline bool WaitProcessing(const std::function<bool()>& condition, int timeoutMs) {
    return WaitUntil(
        [&] {
            QApplication::processEvents();
            return condition();
        },
        timeoutMs);
}
