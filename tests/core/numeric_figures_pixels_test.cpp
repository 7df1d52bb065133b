// The numeric window's figures: font size from the height, placement from the
// measured "-99.99" and "9", black on white.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/numeric_figures.h"
#include "fakes.h"

namespace tarnwick {
namespace {

constexpr uint32_t kGrey = 0x808080;

// Box glyphs that keep what they measured before drawing, and what they drew.
class RecordingText : public fakes::BoxGlyphText {
public:
    struct Drawn {
        int32_t x = 0, y = 0;
        TFont font;
        std::string text;
        std::optional<uint32_t> background;
    };
    TextSize Measure(const TFont& font, const std::string& text) override {
        if (drawn.empty()) {
            measured.push_back(text);
            measuredPoints.push_back(font.pointSize);
        }
        return BoxGlyphText::Measure(font, text);
    }
    void Draw(const RasterImage& image, int32_t x, int32_t y, const TFont& font,
              const std::string& text, std::optional<uint32_t> background) override {
        drawn.push_back({x, y, font, text, background});
        BoxGlyphText::Draw(image, x, y, font, text, background);
    }
    std::vector<std::string> measured;
    std::vector<int32_t> measuredPoints;
    std::vector<Drawn> drawn;
};

TEST(NumericFigures, HalfTheHeightInPointsCentredOnSixCharactersThatFitTheWidth) {
    struct Case {
        int32_t width, height;
        std::string peak;
        int32_t points, x, y;
    };
    // Box cells are 0.6 x 1.2 the point size: at 109 points "-99.99" is 6 x 65
    // wide and "9" 130 high; at 43 points 6 x 25 and 51. A window 200 wide
    // holds six cells of 33 at most: 55 points, "9" 66 high.
    const Case cases[] = {{522, 218, " -12.3", 109, 261 - 195, 109 - 65},
                          {522, 218, "low ", 109, 66, 44},
                          {301, 87, " -9.5", 43, 150 - 75, 43 - 25},
                          {200, 218, "-20.2", 55, 100 - 99, 109 - 33}};
    for (const Case& c : cases) {
        RecordingText text;
        std::vector<uint32_t> pixels(static_cast<size_t>(c.width * c.height), ToRgb32(kGrey));
        const RasterImage image{pixels.data(), c.width, c.height, c.width};
        DrawNumericFigures(text, image, c.width, c.height, c.peak);

        // The last two measures are those of the size drawn.
        ASSERT_GE(text.measured.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(text.measured.end() - 2, text.measured.end()),
                  (std::vector<std::string>{"-99.99", "9"}));
        EXPECT_EQ(std::vector<int32_t>(text.measuredPoints.end() - 2, text.measuredPoints.end()),
                  (std::vector<int32_t>{c.points, c.points}));
        ASSERT_EQ(text.drawn.size(), 1u);
        const RecordingText::Drawn& d = text.drawn[0];
        EXPECT_EQ(d.text, c.peak + "   ");
        EXPECT_EQ(d.x, c.x) << c.width;
        EXPECT_EQ(d.y, c.y) << c.height;
        EXPECT_EQ(d.font.pointSize, c.points);
        EXPECT_EQ(d.font.colour, 0x000000u);
        EXPECT_EQ(d.background, std::optional<uint32_t>(0xFFFFFF));

        // The cell is white from (x, y), its first glyph black; left of and above
        // it the image keeps what it held.
        auto pixel = [&](int32_t px, int32_t py) {
            return FromRgb32(pixels[static_cast<size_t>(py * c.width + px)]);
        };
        const int32_t cell = c.points * 6 / 10;
        EXPECT_EQ(pixel(c.x, c.y), 0xFFFFFFu);
        EXPECT_EQ(pixel(c.x - 1, c.y + 5), kGrey);
        EXPECT_EQ(pixel(c.x + 5, c.y - 1), kGrey);
        const int32_t glyph = c.peak[0] == ' ' ? 1 : 0;
        EXPECT_EQ(pixel(c.x + glyph * cell + 2, c.y + 5), 0x000000u) << c.peak;
    }
}

}  // namespace
}  // namespace tarnwick
