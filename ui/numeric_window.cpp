#include "ui/numeric_window.h"

#include <QCloseEvent>
#include <QPainter>
#include <algorithm>

#include "display/numeric_figures.h"
#include "platform/window_stacking.h"
#include "ui/window_accessible.h"

namespace tarnwick {

TForm5::TForm5(MeterApp& app, ITextRasteriser& text, std::function<void()> onClosed, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      app_(app),
      text_(text),
      onClosed_(std::move(onClosed)) {
    SpeakAsWindow(*this);  // before anything a screen reader may be told
    setWindowTitle("Peak Level dB");
    setAccessibleName("Peak Level dB");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TForm5::FormShow(const QRect& outer, bool activate) {
    ShareOwnersLayer(*this);
    geometry_.Show(*this, outer, activate);
}

void TForm5::resizeEvent(QResizeEvent*) {
    // The image follows the client area and starts white.
    image_ = QImage(width(), height(), QImage::Format_RGB32);
    image_.fill(Qt::white);
    drawn_.clear();
}

void TForm5::RefreshNumericWindow() {
    if (!isVisible() || image_.isNull()) {
        return;
    }
    const std::string& peak = app_.view().PeakDisplay;
    if (!sinceShown_.isValid()) {
        sinceShown_.start();
    }
    if (description_.Due(sinceShown_.elapsed())) {
        if (const std::optional<std::string> described =
                description_.Offer(sinceShown_.elapsed(), PeakDescription(peak))) {
            setAccessibleDescription(QString::fromStdString(*described));
        }
    }
    // The figures are laid out and drawn again only when they change.
    if (peak == drawn_ && !drawn_.empty()) {
        return;
    }
    drawn_ = peak;
    const RasterImage target{reinterpret_cast<uint32_t*>(image_.bits()), image_.width(),
                             image_.height(), static_cast<int32_t>(image_.bytesPerLine() / 4)};
    DrawNumericFigures(text_, target, width(), height(), peak);
    update();
}

void TForm5::paintEvent(QPaintEvent*) {
    // A window is exposed only after the desktop has framed it.
    geometry_.Fit(*this);
    // The picture sits one row down, as on the form: the window's own colour
    // shows above it and its last row lies below the client area.
    QPainter painter(this);
    painter.fillRect(0, 0, width(), 1, palette().window());
    painter.drawImage(0, 1, image_);
}

void TForm5::closeEvent(QCloseEvent* event) {
    geometry_.Forget();
    if (app_.NumericFormClose() && onClosed_) {
        onClosed_();
    }
    event->accept();
}

}  // namespace tarnwick
