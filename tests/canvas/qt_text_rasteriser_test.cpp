#include "platform/qt_text_rasteriser.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

constexpr uint32_t kPanel = 0x332A30;         // the meter panel, 0x00BBGGRR
constexpr uint32_t kPanelPixel = 0xFF302A33;  // the same colour as an RGB32 pixel
constexpr uint32_t kGuard = 0xFF5A5A5A;       // memory the rasteriser must not touch
constexpr uint32_t kGround = 0xFF808080;      // pixels under clear-background text
constexpr int32_t kGuardRows = 4, kGuardColumns = 3;

const TFont kLabelFont{"Arial", 14, true, 0xFFFFFF};

// An image inside guard memory: rows above and below it and columns past its
// right edge (the stride is wider than the image).
class GuardedImage {
public:
    GuardedImage(int32_t width, int32_t height, uint32_t fill)
        : width_(width),
          height_(height),
          stride_(width + kGuardColumns),
          memory_(static_cast<size_t>((height + 2 * kGuardRows) * stride_), kGuard) {
        for (int32_t y = 0; y < height_; ++y) {
            for (int32_t x = 0; x < width_; ++x) {
                Pixel(x, y) = fill;
            }
        }
    }
    RasterImage Image() { return {&Pixel(0, 0), width_, height_, stride_}; }
    uint32_t& Pixel(int32_t x, int32_t y) {
        return memory_[static_cast<size_t>((y + kGuardRows) * stride_ + x)];
    }
    // True when no guard pixel outside the image changed.
    bool GuardsIntact() {
        for (int32_t y = -kGuardRows; y < height_ + kGuardRows; ++y) {
            for (int32_t x = 0; x < stride_; ++x) {
                const bool inImage = y >= 0 && y < height_ && x < width_;
                if (!inImage && Pixel(x, y) != kGuard) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    int32_t width_, height_, stride_;
    std::vector<uint32_t> memory_;
};

uint8_t Channel(uint32_t pixel, int shift) {
    return static_cast<uint8_t>((pixel >> shift) & 0xFF);
}

TEST(QtTextRasteriser, MeasuresLiberationSansAtNinetySixDpi) {
    QtTextRasteriser text;
    // Bold Arial 14 pt is a 19-pixel font: the scale's PPM labels.
    EXPECT_EQ(text.Measure(kLabelFont, "7").width, 11);
    EXPECT_EQ(text.Measure(kLabelFont, "7").height, 21);
    EXPECT_EQ(text.Measure(kLabelFont, "").width, 0);
    EXPECT_EQ(text.Measure(kLabelFont, "").height, 21);
    EXPECT_EQ(text.Measure({"Arial", 10, true, 0}, "-24").width, 19);
    EXPECT_EQ(text.Measure({"Arial", 8, true, 0}, "dB").height, 12);
    // Advances of 10.57 pixels add up before rounding; the colour plays no part.
    EXPECT_EQ(text.Measure({"Arial", 14, true, 0x0000FF}, "77").width, 21);
    // The desktop's face at the numeric window's size: a 145-pixel font.
    const TextSize big = text.Measure({"", 109, false, 0}, "-99.99");
    EXPECT_GT(big.width, 6 * 40);
    EXPECT_GE(big.height, 145);
}

TEST(QtTextRasteriser, OpaqueTextFillsExactlyItsCell) {
    QtTextRasteriser text;
    GuardedImage canvas(40, 40, kGround);
    const int32_t x = 10, y = 6;
    text.Draw(canvas.Image(), x, y, kLabelFont, "7", kPanel);
    const TextSize cell = text.Measure(kLabelFont, "7");

    int panel = 0, white = 0;
    for (int32_t py = 0; py < 40; ++py) {
        for (int32_t px = 0; px < 40; ++px) {
            const uint32_t p = canvas.Pixel(px, py);
            const bool inCell = px >= x && px < x + cell.width && py >= y && py < y + cell.height;
            if (!inCell) {
                ASSERT_EQ(p, kGround) << px << "," << py;
                continue;
            }
            panel += p == kPanelPixel;
            white += p == 0xFFFFFFFF;
            // White blended over the panel: no channel darker than the panel's.
            for (const int shift : {0, 8, 16}) {
                ASSERT_GE(Channel(p, shift), Channel(kPanelPixel, shift)) << px << "," << py;
            }
        }
    }
    EXPECT_GT(white, 15);
    EXPECT_GT(panel, cell.width * cell.height / 2);
    // The glyph sits on the baseline: the rows above the figure's top and the
    // descender rows below it show only the panel.
    for (int32_t px = x; px < x + cell.width; ++px) {
        EXPECT_EQ(canvas.Pixel(px, y), kPanelPixel);
        EXPECT_EQ(canvas.Pixel(px, y + cell.height - 1), kPanelPixel);
    }
    EXPECT_TRUE(canvas.GuardsIntact());
}

TEST(QtTextRasteriser, TextAcrossTheImageEdgesIsClipped) {
    QtTextRasteriser text;
    const TextSize cell = text.Measure(kLabelFont, "-7");
    GuardedImage whole(cell.width, cell.height, kGround);
    text.Draw(whole.Image(), 0, 0, kLabelFont, "-7", kPanel);

    // Each corner of a small image cuts the cell; what shows matches the whole.
    const int32_t size = 12;
    for (const auto& [x, y] : std::vector<std::pair<int32_t, int32_t>>{
             {-5, -8}, {size - 6, -8}, {-5, size - 9}, {size - 6, size - 9}}) {
        GuardedImage canvas(size, size, kGround);
        text.Draw(canvas.Image(), x, y, kLabelFont, "-7", kPanel);
        EXPECT_TRUE(canvas.GuardsIntact()) << x << "," << y;
        for (int32_t py = 0; py < size; ++py) {
            for (int32_t px = 0; px < size; ++px) {
                const int32_t cx = px - x, cy = py - y;
                const bool inCell = cx >= 0 && cx < cell.width && cy >= 0 && cy < cell.height;
                ASSERT_EQ(canvas.Pixel(px, py), inCell ? whole.Pixel(cx, cy) : kGround)
                    << "text at " << x << "," << y << ", pixel " << px << "," << py;
            }
        }
    }
    // Entirely outside: nothing at all.
    GuardedImage canvas(size, size, kGround);
    text.Draw(canvas.Image(), size, 0, kLabelFont, "-7", kPanel);
    text.Draw(canvas.Image(), 0, -cell.height, kLabelFont, "-7", kPanel);
    EXPECT_TRUE(canvas.GuardsIntact());
    EXPECT_EQ(canvas.Pixel(size - 1, 0), kGround);
}

TEST(QtTextRasteriser, ClearBackgroundBlendsGlyphsOverThePicture) {
    QtTextRasteriser text;
    const TFont red{"Arial", 14, true, 0x0000FF};
    GuardedImage canvas(30, 30, kGround);
    text.Draw(canvas.Image(), 4, 3, red, "7", std::nullopt);
    const TextSize cell = text.Measure(red, "7");

    int changed = 0;
    uint32_t strongest = kGround;
    for (int32_t py = 0; py < 30; ++py) {
        for (int32_t px = 0; px < 30; ++px) {
            const uint32_t p = canvas.Pixel(px, py);
            if (p == kGround) {
                continue;
            }
            ++changed;
            ASSERT_TRUE(px >= 4 && px < 4 + cell.width && py >= 3 && py < 3 + cell.height)
                << px << "," << py;
            // Red over grey: red rises, green and blue fall.
            ASSERT_GE(Channel(p, 16), 0x80);
            ASSERT_LE(Channel(p, 8), 0x80);
            ASSERT_LE(Channel(p, 0), 0x80);
            if (Channel(p, 16) - Channel(p, 8) > Channel(strongest, 16) - Channel(strongest, 8)) {
                strongest = p;
            }
        }
    }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(strongest, 0xFFFF0000u);  // 0x00BBGGRR red is RGB32 red
    EXPECT_TRUE(canvas.GuardsIntact());
}

}  // namespace
}  // namespace tarnwick
