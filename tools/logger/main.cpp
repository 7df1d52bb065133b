// tarnwick-logger: logs sound levels without a window.

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <string>
#include <vector>

#include "tools/logger/logger_options.h"
#include "tools/logger/logger_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Standard error carries the logger's own lines, each with its date and
    // time, which the journal keeps; the toolkit's remarks about the session
    // (no XDG_RUNTIME_DIR under a service, say) are not about the logging.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // The meter picture's text needs Qt's GUI library; without a screen it
    // draws on the offscreen platform. Without snapshots none of it is loaded.
    std::unique_ptr<QCoreApplication> application;
    if (tarnwick::WantsSnapshots(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName("Tarnwick");
    return tarnwick::RunLogger(args);
}
