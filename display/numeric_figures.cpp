#include "display/numeric_figures.h"

namespace tarnwick {

void DrawNumericFigures(ITextRasteriser& text, const RasterImage& image, int32_t clientWidth,
                        int32_t clientHeight, const std::string& peakText) {
    TFont font;
    font.face.clear();  // the desktop's default face
    font.pointSize = clientHeight / 2;
    font.colour = 0x000000;
    const int32_t w = text.Measure(font, "-99.99").width;
    const int32_t h = text.Measure(font, "9").height;
    const int32_t x = clientWidth / 2 - w / 2;
    const int32_t y = clientHeight / 2 - h / 2;
    text.Draw(image, x, y, font, peakText + "   ", 0xFFFFFFu);
}

}  // namespace tarnwick
