#pragma once
// Port: measuring and drawing text on 32-bit pixels laid out as QImage's RGB32
// (0xFFRRGGBB per pixel). Fonts are named by face and size in points at 96 dpi.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

struct TFont {
    std::string face = "Arial";
    int32_t pointSize = 10;
    bool bold = false;
    uint32_t colour = 0x000000;  // 0x00BBGGRR
    bool operator==(const TFont&) const = default;
};

struct TextSize {
    int32_t width = 0;
    int32_t height = 0;
};

// A block of pixels: `stride` pixels from one row to the next.
struct RasterImage {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

class ITextRasteriser {
public:
    virtual ~ITextRasteriser() = default;
    // The size of the text's cell: its advance width and the font's line height.
    virtual TextSize Measure(const TFont& font, const std::string& text) = 0;
    // Draws the text with its cell's top-left corner at (x, y), clipped to the
    // image. With a background colour (0x00BBGGRR) the cell is filled with it
    // first; without one the pixels behind the glyphs show through.
    virtual void Draw(const RasterImage& image, int32_t x, int32_t y, const TFont& font,
                      const std::string& text, std::optional<uint32_t> background) = 0;
};

}  // namespace tarnwick
