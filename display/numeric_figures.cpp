#include "display/numeric_figures.h"

#include <algorithm>

namespace tarnwick {

namespace {

// The widest reading the figures make room for.
const std::string kWidestReading = "-99.99";

}  // namespace

void DrawNumericFigures(ITextRasteriser& text, const RasterImage& image, int32_t clientWidth,
                        int32_t clientHeight, const std::string& peakText) {
    TFont font;
    font.face.clear();  // the desktop's default face
    font.pointSize = clientHeight / 2;
    font.colour = 0x000000;
    int32_t w = text.Measure(font, kWidestReading).width;
    // A window narrower than its height asks for: the largest size whose
    // widest reading fits, so that no reading loses its sign ("-20.2" read as
    // "20."). Text widths grow with the size only about in proportion, so the
    // scaled size is checked and made smaller until it fits.
    if (w > clientWidth && font.pointSize > 1) {
        font.pointSize = std::max(1, font.pointSize * std::max(clientWidth, 0) / w);
        w = text.Measure(font, kWidestReading).width;
        while (w > clientWidth && font.pointSize > 1) {
            --font.pointSize;
            w = text.Measure(font, kWidestReading).width;
        }
    }
    const int32_t h = text.Measure(font, "9").height;
    const int32_t x = clientWidth / 2 - w / 2;
    const int32_t y = clientHeight / 2 - h / 2;
    text.Draw(image, x, y, font, peakText + "   ", 0xFFFFFFu);
}

}  // namespace tarnwick
