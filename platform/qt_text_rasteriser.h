#pragma once
// Text on the meter picture through QPainter: the caller's pixels are wrapped in
// a QImage, never copied. Needs a QGuiApplication (any platform, offscreen too)
// for the whole life of the object.

#include <QFont>
#include <QFontMetrics>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "core/ports/text_rasteriser.h"

namespace tarnwick {

class QtTextRasteriser : public ITextRasteriser {
public:
    // Widths are whole pixels of advance (QFontMetrics::horizontalAdvance); the
    // height is the font's line height (ascent + descent), whatever the text.
    TextSize Measure(const TFont& font, const std::string& text) override;
    // Glyphs are antialiased against the pixels behind them and clipped to the
    // text's cell as well as to the image, so nothing lands beyond the area that
    // Measure reported.
    void Draw(const RasterImage& image, int32_t x, int32_t y, const TFont& font,
              const std::string& text, std::optional<uint32_t> background) override;

private:
    struct ResolvedFont {
        QFont font;
        QFontMetrics metrics;
    };
    // Face, point size and weight: the colour does not change the glyphs.
    using FontKey = std::tuple<std::string, int32_t, bool>;

    // The numeric window measures and draws on every block, so each font is
    // resolved through fontconfig once and kept.
    const ResolvedFont& Resolve(const TFont& font);

    std::map<FontKey, std::unique_ptr<ResolvedFont>> fonts_;
};

}  // namespace tarnwick
