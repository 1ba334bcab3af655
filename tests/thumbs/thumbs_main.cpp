// Test main of the thumbnail tests: text on a sheet needs a GUI application object, which
// runs on Qt's offscreen platform (no display).
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
