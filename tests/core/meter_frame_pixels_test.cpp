// The fixed parts of the meter picture: ground, panel, bevel frame, ticks and
// labels, as RedrawMeter leaves them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/pixel_checks.h"
#include "display/meter_frame.h"
#include "fakes.h"

namespace tarnwick {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kDarkGrey = 0x808080;
constexpr uint32_t kSilver = 0xC0C0C0;
constexpr uint32_t kPanel = kMeterPanelColour;
constexpr uint32_t kGraphBackground = 0x402000;

// Box glyphs that also keep what was drawn. The coordinates MeterBitmap passes
// are those of its text cell, so only texts and fonts are kept.
class RecordingText : public fakes::BoxGlyphText {
public:
    struct Drawn {
        std::string text;
        TFont font;
        std::optional<uint32_t> background;
    };
    void Draw(const RasterImage& image, int32_t x, int32_t y, const TFont& font,
              const std::string& text, std::optional<uint32_t> background) override {
        drawn.push_back({text, font, background});
        BoxGlyphText::Draw(image, x, y, font, text, background);
    }
    std::vector<Drawn> drawn;
};

// The picture after the window has shown with the default scale.
class RedrawnMeter : public ::testing::Test {
protected:
    RedrawnMeter() {
        TMeterSettings s = fakes::PlainLevelSettings();
        s.Scolor = kGraphBackground;
        harness.Create(s);
    }
    const MeterBitmap& bm() { return *harness.app.meterBitmap(); }

    fakes::AppHarness harness;
};

TEST_F(RedrawnMeter, GroundPanelAndBevelFrame) {
    // Row 0, above the frame, is the panel; the top right corner lies outside
    // everything drawn.
    EXPECT_TRUE(AllOf(bm(), {0, 0, kMeterWidth, 1}, kPanel));
    EXPECT_TRUE(AllOf(bm(), {581, 1, 582, 2}, kWhite));
    // Dark grey top (rows 1-2) and left (columns 0-1).
    EXPECT_TRUE(AllOf(bm(), {0, 1, 580, 3}, kDarkGrey));
    EXPECT_TRUE(AllOf(bm(), {580, 1, 581, 2}, kDarkGrey));
    EXPECT_TRUE(AllOf(bm(), {0, 3, 1, 406}, kDarkGrey));
    EXPECT_TRUE(AllOf(bm(), {1, 5, 2, 405}, kDarkGrey));
    // The silver inner rectangle: top, left, right, bottom.
    EXPECT_TRUE(AllOf(bm(), {1, 3, 579, 5}, kSilver));
    EXPECT_TRUE(AllOf(bm(), {2, 5, 4, 404}, kSilver));
    EXPECT_TRUE(AllOf(bm(), {578, 4, 580, 404}, kSilver));
    EXPECT_TRUE(AllOf(bm(), {4, 403, 580, 405}, kSilver));
    EXPECT_TRUE(AllOf(bm(), {2, 404, 4, 405}, kBlack));  // the corner the silver lines miss
    // White bottom (row 406 lies outside) and right.
    EXPECT_TRUE(AllOf(bm(), {1, 405, 580, 406}, kWhite));
    EXPECT_TRUE(AllOf(bm(), {580, 2, 582, 406}, kWhite));
    // Black ground around the graph, the panel beside it.
    EXPECT_TRUE(AllOf(bm(), {4, 5, 11, 403}, kBlack));
    EXPECT_TRUE(AllOf(bm(), {11, 5, 511, 12}, kBlack));
    EXPECT_TRUE(AllOf(bm(), {11, 396, 511, 403}, kBlack));
    EXPECT_TRUE(AllOf(bm(), {511, 5, 535, 403}, kPanel));
    EXPECT_TRUE(AllOf(bm(), {568, 5, 578, 403}, kPanel));
    // The graph, clear of its target lines at the ends.
    EXPECT_TRUE(AllOf(bm(), {11, 12, 15, 396}, kGraphBackground));
    EXPECT_TRUE(AllOf(bm(), {505, 12, 511, 396}, kGraphBackground));
}

TEST_F(RedrawnMeter, TicksOfTheDefaultScale) {
    // Majors from x 535, minors from x 537, both up to 542; the tick at 1 pixel
    // has no label.
    const int32_t majors[] = {382, 328, 273, 219, 163, 109, 54, 1};
    const int32_t minors[] = {355, 300, 246, 192, 136, 82, 36, 22};
    auto onRow = [](const auto& positions, int32_t y) {
        return std::find(std::begin(positions), std::end(positions), 396 - y) !=
               std::end(positions);
    };
    for (int32_t y = 5; y < 403; ++y) {
        const bool major = onRow(majors, y), minor = onRow(minors, y);
        ASSERT_TRUE(AllOf(bm(), {534, y, 535, y + 1}, kPanel));
        ASSERT_TRUE(AllOf(bm(), {535, y, 537, y + 1}, major ? kWhite : kPanel));
        ASSERT_TRUE(AllOf(bm(), {537, y, 543, y + 1}, major || minor ? kWhite : kPanel));
        ASSERT_TRUE(AllOf(bm(), {543, y, 545, y + 1}, kPanel));
    }
    EXPECT_TRUE(AllOf(bm(), {544, 390, 578, 403}, kPanel));
}

class ScaleLabels : public ::testing::Test {
protected:
    void Draw(int32_t scale, int32_t fullScale) {
        const int32_t offset = BuildScale(meterScale, scale, fullScale);
        DrawMeterFrame(bm, meterScale, scale, offset);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const RecordingText::Drawn& d : text.drawn) {
            texts.push_back(d.text);
        }
        return texts;
    }

    RecordingText text;
    MeterBitmap bm{text};
    TMeterScale meterScale;
};

TEST_F(ScaleLabels, PpmLabelSevenAndTheBareTopTick) {
    Draw(0, 95);
    // "7" at 14 points is one 8 x 16 cell: right edge at 567, top at 33.
    EXPECT_TRUE(AllOf(bm, {560, 34, 566, 48}, kWhite));
    EXPECT_TRUE(AllOf(bm, {559, 33, 567, 34}, kPanel));
    EXPECT_TRUE(AllOf(bm, {559, 48, 567, 49}, kPanel));
    EXPECT_TRUE(AllOf(bm, {559, 34, 560, 48}, kPanel));
    EXPECT_TRUE(AllOf(bm, {566, 33, 568, 49}, kPanel));
    // The tick at 382 pixels carries no text.
    EXPECT_TRUE(AllOf(bm, {535, 14, 543, 15}, kWhite));
    EXPECT_TRUE(AllOf(bm, {544, 5, 578, 33}, kPanel));

    EXPECT_EQ(Texts(), (std::vector<std::string>{"ppm", "7", "6", "5", "4", "3", "2", "1"}));
    ASSERT_EQ(text.drawn.size(), 8u);
    EXPECT_EQ(text.drawn[0].font.pointSize, 8);
    for (const RecordingText::Drawn& d : text.drawn) {
        EXPECT_EQ(d.font.face, "Arial");
        EXPECT_TRUE(d.font.bold);
        EXPECT_EQ(d.font.colour, kWhite);
        EXPECT_EQ(d.background, std::optional<uint32_t>(kPanel));
        if (d.text != "ppm") {
            EXPECT_EQ(d.font.pointSize, 14) << d.text;
        }
    }
    EXPECT_EQ(bm.Font().pointSize, 10);
}

TEST_F(ScaleLabels, UserFullScaleShowsValuesPlusFullScale) {
    Draw(7, 95);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"95", "92", "89", "85", "80", "75", "65", "55",
                                                 "45", "35"}));
    // '95' at 10 points: two 6 x 12 cells ending at 567, top at 396 - 2 - 5 - 382.
    EXPECT_TRUE(AllOf(bm, {556, 8, 560, 18}, kWhite));
    EXPECT_TRUE(AllOf(bm, {562, 8, 566, 18}, kWhite));
    EXPECT_TRUE(AllOf(bm, {555, 7, 556, 19}, kPanel));

    text.drawn.clear();
    Draw(7, 0);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"0", "-3", "-6", "-10", "-15", "-20", "-30", "-40",
                                                 "-50", "-60"}));
}

}  // namespace
}  // namespace tarnwick
