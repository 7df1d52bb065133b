#include "platform/qt_text_rasteriser.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace tarnwick {
namespace {

// Point sizes are those of a 96-dpi canvas; a pixel size keeps the picture the
// same whatever the screen's own resolution.
constexpr int kCanvasDpi = 96;
constexpr int kPointsPerInch = 72;

// The scale, the stamp and the numeric window use a handful of fonts; only
// resizing the numeric window brings new sizes, one per size the window passes.
constexpr size_t kMaxCachedFonts = 32;

int PixelSize(int32_t pointSize) {
    const int pixels = (pointSize * kCanvasDpi + kPointsPerInch / 2) / kPointsPerInch;
    return std::max(pixels, 1);  // QFont rejects sizes below one pixel
}

QColor FromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace

const QtTextRasteriser::ResolvedFont& QtTextRasteriser::Resolve(const TFont& font) {
    FontKey key{font.face, font.pointSize, font.bold};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) {
        return *found->second;
    }
    if (fonts_.size() >= kMaxCachedFonts) {
        fonts_.clear();
    }
    // An empty face is the desktop's user-interface face. Other faces go to
    // fontconfig as they are, which also stands in for faces that are missing
    // ("Arial" becomes Liberation Sans, which has the same metrics).
    QFont qfont(font.face.empty() ? QGuiApplication::font().family()
                                  : QString::fromStdString(font.face));
    qfont.setPixelSize(PixelSize(font.pointSize));
    qfont.setBold(font.bold);
    auto resolved = std::make_unique<ResolvedFont>(ResolvedFont{qfont, QFontMetrics(qfont)});
    return *fonts_.emplace(std::move(key), std::move(resolved)).first->second;
}

TextSize QtTextRasteriser::Measure(const TFont& font, const std::string& text) {
    const QFontMetrics& metrics = Resolve(font).metrics;
    return TextSize{metrics.horizontalAdvance(QString::fromStdString(text)), metrics.height()};
}

void QtTextRasteriser::Draw(const RasterImage& image, int32_t x, int32_t y, const TFont& font,
                            const std::string& text, std::optional<uint32_t> background) {
    if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) {
        return;
    }
    const ResolvedFont& resolved = Resolve(font);
    const QString qtext = QString::fromStdString(text);
    const QRect cell(x, y, resolved.metrics.horizontalAdvance(qtext), resolved.metrics.height());
    const QRect visible = cell.intersected(QRect(0, 0, image.width, image.height));
    if (visible.isEmpty()) {
        return;
    }

    QImage canvas(reinterpret_cast<uchar*>(image.pixels), image.width, image.height,
                  static_cast<qsizetype>(image.stride) * sizeof(uint32_t), QImage::Format_RGB32);
    QPainter painter(&canvas);
    painter.setClipRect(visible);
    if (background) {
        painter.fillRect(visible, FromBgr(*background));
    }
    painter.setFont(resolved.font);
    painter.setPen(FromBgr(font.colour));
    painter.drawText(x, y + resolved.metrics.ascent(), qtext);
}

}  // namespace tarnwick
