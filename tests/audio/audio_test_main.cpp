// The audio adapters deliver through the Qt event loop: one QCoreApplication
// for the whole run.

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    // A test that stops its sound server while writing to the server's pipe
    // gets EPIPE, not a signal.
    signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
