// The picture module of tarnwick-analyse: Qt's GUI library behind the
// PictureToolkit interface (see picture_toolkit.h).

#include <QGuiApplication>

#include "platform/jpeg_image_writer.h"
#include "platform/qt_text_rasteriser.h"
#include "tools/analyse/picture_toolkit.h"

namespace tarnwick {
namespace {

// Text on the picture needs Qt's fonts, which need a GUI application object;
// the analyser never shows a window, so it asks for the offscreen platform
// unless the user named one.
void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Standard error carries the analyser's own messages, one line each; the
    // toolkit's remarks about the session (no XDG_RUNTIME_DIR, say) are not
    // about the measurement.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char name[] = "tarnwick-analyse";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
}

class QtPictureToolkit : public PictureToolkit {
public:
    ITextRasteriser& Text() override { return text_; }
    IImageWriter& Images() override { return images_; }

private:
    QtTextRasteriser text_;
    JpegImageWriter images_;
};

}  // namespace
}  // namespace tarnwick

extern "C" __attribute__((visibility("default"))) tarnwick::PictureToolkit*
tarnwick_picture_toolkit() {
    tarnwick::EnsureGuiApplication();
    static auto* toolkit = new tarnwick::QtPictureToolkit;
    return toolkit;
}
