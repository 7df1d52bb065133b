// The bar meters, pixel by pixel: colour zones split at the targets, the unlit
// shades and the hold marks.

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "display/bar_meter.h"
#include "fakes.h"

namespace tarnwick {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// Zones from the baseline up, each the colour of the heights up to its top.
using Zones = std::vector<std::pair<int32_t, uint32_t>>;

// The bar's ten columns from x show `zones` at heights 1..384; its neighbours
// and the row above it stay white.
::testing::AssertionResult BarShows(const MeterBitmap& bm, int32_t x, const Zones& zones) {
    size_t zone = 0;
    for (int32_t h = 1; h <= kBarMaxHeight; ++h) {
        while (zone < zones.size() && zones[zone].first < h) {
            ++zone;
        }
        const uint32_t expected = zone < zones.size() ? zones[zone].second : kWhite;
        for (int32_t col = x - 1; col <= x + 10; ++col) {
            const bool inside = col >= x && col < x + 10;
            const uint32_t actual = bm.PixelColour(col, kBarBaseline - h);
            if (actual != (inside ? expected : kWhite)) {
                return ::testing::AssertionFailure(::testing::Message()
                                                   << "height " << h << " column " << col << " is "
                                                   << std::hex << actual);
            }
        }
    }
    if (bm.PixelColour(x, kBarBaseline - kBarMaxHeight - 1) != kWhite ||
        bm.PixelColour(x, kBarBaseline) != kWhite) {
        return ::testing::AssertionFailure() << "painted above or below the bar";
    }
    return ::testing::AssertionSuccess();
}

class BarPixels : public ::testing::Test {
protected:
    void Wipe() {
        bm.SetBrushColour(kWhite);
        bm.FillRect({0, 0, kMeterWidth, kMeterHeight});
    }

    fakes::BoxGlyphText text;
    MeterBitmap bm{text};
    TMeterSettings s = DefaultSettings();
};

TEST_F(BarPixels, ZonesSplitAtTheTargets) {
    const uint32_t low = s.Lowcolor, mid = s.Midcolor, top = s.Topcolor;
    ASSERT_EQ(low, 0x00A400u);
    const uint32_t shade = 0x002000;  // Lowcolor AND 0x292929
    struct Case {
        int32_t h;
        Zones zones;
    };
    const Case cases[] = {
        {150, {{100, low}, {150, mid}, {384, kUnlitColour}}},
        {50, {{50, low}, {100, shade}, {384, kUnlitColour}}},
        {250, {{100, low}, {200, mid}, {250, top}, {384, kUnlitColour}}},
        {200, {{100, low}, {200, mid}, {384, kUnlitColour}}},
        {100, {{100, low}, {384, kUnlitColour}}},
        {384, {{100, low}, {200, mid}, {384, top}}},
        {-5, {{100, shade}, {384, kUnlitColour}}},
    };
    for (const Case& c : cases) {
        DrawBar(bm, c.h, 516, 100, 200, s);
        EXPECT_TRUE(BarShows(bm, 516, c.zones)) << "bar " << c.h;
    }

    s.Lowcolor = 0x3C5A7E;
    Wipe();
    DrawBar(bm, 20, 524, 100, 200, s);
    EXPECT_TRUE(BarShows(bm, 524, {{20, 0x3C5A7E}, {100, 0x280828}, {384, kUnlitColour}}));
}

// Upper Vol below Lower Vol: a bar between the two meets the first test and the
// third, and the third paints last.
TEST_F(BarPixels, TargetsTheWrongWayRound) {
    const uint32_t low = s.Lowcolor, top = s.Topcolor, shade = 0x002000;
    DrawBar(bm, 150, 516, 200, 100, s);
    EXPECT_TRUE(BarShows(bm, 516, {{100, low}, {150, top}, {384, kUnlitColour}}));
    DrawBar(bm, 50, 516, 200, 100, s);
    EXPECT_TRUE(BarShows(bm, 516, {{50, low}, {100, shade}, {384, kUnlitColour}}));
    DrawBar(bm, 250, 516, 200, 100, s);
    EXPECT_TRUE(BarShows(bm, 516, {{100, low}, {250, top}, {384, kUnlitColour}}));
}

TEST_F(BarPixels, HoldMarksCoverTwoRowsWithinTheBar) {
    TBarFrame single;
    single.bar1 = 100;
    single.mark1 = 300;
    DrawBars(bm, single, 100, 200, s);
    for (int32_t x = 516; x < 526; ++x) {
        const bool marked = x >= 517 && x <= 524;
        EXPECT_EQ(bm.PixelColour(x, 96), marked ? kHoldMarkColour : kUnlitColour) << x;
        EXPECT_EQ(bm.PixelColour(x, 95), marked ? kHoldMarkColour : kUnlitColour) << x;
        EXPECT_EQ(bm.PixelColour(x, 94), kUnlitColour) << x;
        EXPECT_EQ(bm.PixelColour(x, 97), kUnlitColour) << x;
    }

    Wipe();
    TBarFrame stereo;
    stereo.stereo = true;
    stereo.bar1 = 50;
    stereo.bar2 = 60;
    stereo.mark1 = 300;
    stereo.mark2 = 250;
    DrawBars(bm, stereo, 100, 200, s);
    for (int32_t x = 511; x < 535; ++x) {
        const bool left = x >= 512 && x <= 520, right = x >= 524 && x <= 532;
        const uint32_t bar = (x >= 512 && x < 522) || (x >= 524 && x < 534) ? kUnlitColour : kWhite;
        EXPECT_EQ(bm.PixelColour(x, 95), left ? kHoldMarkColour : bar) << x;
        EXPECT_EQ(bm.PixelColour(x, 96), left ? kHoldMarkColour : bar) << x;
        EXPECT_EQ(bm.PixelColour(x, 145), right ? kHoldMarkColour : bar) << x;
        EXPECT_EQ(bm.PixelColour(x, 146), right ? kHoldMarkColour : bar) << x;
    }
}

// A loud block then silence at Sweep 10: the mark stands on the loud block and
// the 49 after it, then vanishes while the bar goes on falling.
TEST_F(BarPixels, HoldMarkLastsFiftyBlocks) {
    TBarState bars;
    for (int block = 0; block <= 160; ++block) {
        const int32_t level = block == 0 ? 300 : 0;
        const TBarFrame frame = UpdateBarMeters(bars, false, 10.0, level, 0, 0);
        DrawBars(bm, frame, 100, 200, s);
        const bool held = block < 50;
        int32_t yellowRows = 0;
        for (int32_t y = 12; y < kBarBaseline; ++y) {
            yellowRows += bm.PixelColour(520, y) == kHoldMarkColour ? 1 : 0;
        }
        ASSERT_EQ(yellowRows, held ? 2 : 0) << "block " << block;
        if (held) {
            ASSERT_EQ(bm.PixelColour(517, 95), kHoldMarkColour) << "block " << block;
            ASSERT_EQ(bm.PixelColour(524, 96), kHoldMarkColour) << "block " << block;
        } else {
            ASSERT_EQ(bm.PixelColour(520, 96), kUnlitColour) << "block " << block;
        }
    }
    EXPECT_EQ(bm.PixelColour(520, 395), s.Lowcolor);
    EXPECT_EQ(bm.PixelColour(520, 394), 0x002000u);
}

}  // namespace
}  // namespace tarnwick
