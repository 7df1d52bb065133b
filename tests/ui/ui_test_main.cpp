// The window tests drive real widgets: one QApplication for the whole run,
// under the offscreen platform CMake sets on each test.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Test discovery lists the tests at build time, where there is no display
    // and no platform chosen.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(icons);  // the windows' artwork, as the program registers it
    return RUN_ALL_TESTS();
}
