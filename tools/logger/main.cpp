// tarnwick-logger: logs sound levels without a window.

#include <QCoreApplication>
#include <string>
#include <vector>

#include "tools/logger/logger_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tarnwick");
    return tarnwick::RunLogger(args);
}
