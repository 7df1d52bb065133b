// The sweep graph, pixel by pixel: the cleared graph, each drawing mode of a
// column, the marks, the dots and the "REPLAY" text.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/pixel_checks.h"
#include "display/sweep_graph.h"
#include "fakes.h"

namespace tarnwick {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kBackground = 0x101010;
constexpr uint32_t kPeak = 0x0000C0;      // Mcolor
constexpr uint32_t kRight = 0xC00000;     // Rcolor
constexpr uint32_t kAverage = 0x00C000;   // Lavcolor
constexpr uint32_t kRAverage = 0xC0C000;  // Ravcolor
// With every graph option off, a column that draws nothing but its marks: the
// peaks lie 2 pixels above the averages, which stay where they were.
constexpr TSweepColumn kQuiet{6, 6, 0, 4, 4, 0, 0};

// Column x from row y1 to row y2, both included.
::testing::AssertionResult Rows(const MeterBitmap& bm, int32_t x, int32_t y1, int32_t y2,
                                uint32_t colour) {
    return AllOf(bm, {x, y1, x + 1, y2 + 1}, colour);
}

class SweepPixels : public ::testing::Test {
protected:
    SweepPixels() {
        s = DefaultSettings();
        s.Scolor = kBackground;
        s.Mcolor = kPeak;
        s.Rcolor = kRight;
        s.Lavcolor = kAverage;
        s.Ravcolor = kRAverage;
        Options(false, false, false, false);
        BuildScale(scale, kDefaultScale, s.FullScale);
        Clear();
    }

    void Clear() { ClearGraph(bm, s, scale.heights); }

    void Options(bool peaks, bool fillPeaks, bool fillAverage, bool average) {
        s.ShowPeaks = peaks;
        s.FillPeaks = fillPeaks;
        s.FillAverage = fillAverage;
        s.ShowAverage = average;
    }

    bool Plot(const TSweepColumn& c, bool testRunning = true, bool replaying = false,
              int32_t storePosition = 0) {
        const TGraphContext context{s, scale.marks, testRunning, replaying, storePosition};
        return PlotSweepColumn(&bm, g, c, context, secondElapsed);
    }

    int32_t HeightOf(int32_t db) const {
        return AmplitudeToHeight(DbToAmplitude(db), s.CalibrationFactor, scale.heights);
    }

    fakes::BoxGlyphText text;
    MeterBitmap bm{text};
    TMeterSettings s;
    TMeterScale scale;
    TSweepGraph g;
    bool secondElapsed = false;
};

TEST_F(SweepPixels, ClearGraphPaintsTheBackgroundAndTheTargetLines) {
    const int32_t th = HeightOf(s.Threshold), t2 = HeightOf(s.LowerVol), t1 = HeightOf(s.UpperVol);
    EXPECT_EQ(th, 34);
    EXPECT_EQ(t2, 133);
    EXPECT_EQ(t1, 274);
    for (int32_t y = 12; y < 396; ++y) {
        const uint32_t line = y == 396 - th   ? s.Lowcolor
                              : y == 396 - t2 ? s.Midcolor
                              : y == 396 - t1 ? s.Topcolor
                                              : kBackground;
        ASSERT_TRUE(AllOf(bm, {15, y, 505, y + 1}, line));
        ASSERT_TRUE(AllOf(bm, {11, y, 15, y + 1}, kBackground));
        ASSERT_TRUE(AllOf(bm, {505, y, 511, y + 1}, kBackground));
    }
    // Nothing outside the graph area.
    EXPECT_TRUE(AllOf(bm, {10, 11, 512, 12}, kWhite));
    EXPECT_TRUE(AllOf(bm, {10, 396, 512, 397}, kWhite));
    EXPECT_TRUE(AllOf(bm, {10, 12, 11, 396}, kWhite));
    EXPECT_TRUE(AllOf(bm, {511, 12, 512, 396}, kWhite));

    // A threshold of height 0 draws no line, not even on row 396.
    s.Threshold = -99;
    ASSERT_EQ(HeightOf(s.Threshold), 0);
    Clear();
    EXPECT_TRUE(AllOf(bm, {15, 396 - th, 505, 397 - th}, kBackground));
    EXPECT_TRUE(AllOf(bm, {10, 396, 512, 397}, kWhite));
    EXPECT_TRUE(AllOf(bm, {15, 396 - t1, 505, 397 - t1}, s.Topcolor));
}

TEST_F(SweepPixels, NothingMovesWithoutATestOrAReplay) {
    const std::vector<uint32_t> before(bm.Picture(), bm.Picture() + kMeterWidth * kMeterHeight);
    g.PreviousPeak1Y = 123;
    secondElapsed = true;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_FALSE(Plot({200, 150, 94, 80, 60, 188, 27}, false, false));
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), bm.Picture()));
    EXPECT_TRUE(secondElapsed);
    EXPECT_EQ(g.PreviousPeak1Y, 123);
    EXPECT_EQ(g.PreviousAverage1, 4);
}

TEST_F(SweepPixels, PeakTracesAndTheirPenWidths) {
    Options(true, false, false, false);
    // p1 from y 150 to y 100 with pen width 2 covers all of column 509 between.
    // p2 from y 300 to y 250: drawn first (a2 >= a1) with width 1 it reaches 509
    // only in its lower half and never 508; drawn last it has width 2.
    for (const bool p2First : {true, false}) {
        Clear();
        g.PreviousPeak1Y = 150;
        g.PreviousPeak2Y = 300;
        ASSERT_TRUE(Plot({296, 146, 0, p2First ? 10 : 20, p2First ? 20 : 10, 0, 0}));
        EXPECT_TRUE(Rows(bm, 509, 101, 150, kPeak)) << p2First;
        EXPECT_TRUE(Is(bm, 508, 150, kPeak)) << p2First;
        EXPECT_TRUE(Is(bm, 509, 100, kBackground)) << p2First;
        EXPECT_TRUE(Is(bm, 509, 300, kRight)) << p2First;
        EXPECT_TRUE(Is(bm, 508, 300, p2First ? kBackground : kRight));
        EXPECT_TRUE(Is(bm, 509, 251, p2First ? kBackground : kRight));
        if (p2First) {
            EXPECT_TRUE(Rows(bm, 508, 251, 300, kBackground));
        }
        EXPECT_TRUE(Rows(bm, 510, 12, 395, kBackground)) << p2First;
        EXPECT_EQ(g.PreviousPeak1Y, 100);
        EXPECT_EQ(g.PreviousPeak2Y, 250);
    }

    // A single signal draws no second trace.
    s.Channel = kChannelLeft;
    g.PreviousPeak2Y = 300;
    Plot({296, 146, 0, 10, 20, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 151, 395, kBackground));
    EXPECT_EQ(g.PreviousPeak2Y, 300);
}

TEST_F(SweepPixels, StereoFillShowsTheLouderChannelUpToItsPeak) {
    Options(false, true, false, false);
    struct Case {
        int32_t left, right;
        uint32_t colour;
    };
    for (const Case c : {Case{100, 150, kRight}, Case{150, 100, kPeak}, Case{120, 120, kRight}}) {
        Plot({c.left, c.right, 0, 0, 0, 0, 0});
        const int32_t top = 396 - std::max(c.left, c.right);
        EXPECT_TRUE(Rows(bm, 509, top + 1, 395, c.colour)) << c.left << "/" << c.right;
        EXPECT_TRUE(Rows(bm, 509, 15, top, kBackground)) << c.left << "/" << c.right;
        EXPECT_TRUE(Rows(bm, 510, 12, 395, kBackground)) << c.left << "/" << c.right;
    }
    // A silent column fills nothing.
    Plot({0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 15, 395, kBackground));
}

TEST_F(SweepPixels, AverageFillsNeedMoreThanFourPixels) {
    Options(false, false, true, false);
    s.Channel = kChannelLeft;
    Plot({0, 0, 0, 4, 0, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 15, 395, kBackground));
    Plot({0, 0, 0, 5, 0, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 391, 394, kPeak));
    EXPECT_TRUE(Is(bm, 509, 395, kBackground));
    EXPECT_TRUE(Is(bm, 509, 390, kBackground));

    // Stereo: with a2 >= a1 the right fill comes first with pen width 1, at x =
    // 510, outside the clip; with a2 < a1 it comes last and shows.
    s.Channel = kChannelStereo;
    Plot({0, 0, 0, 50, 80, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 346, 394, kPeak));
    EXPECT_TRUE(Rows(bm, 509, 15, 345, kBackground));
    Plot({0, 0, 0, 80, 50, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 346, 394, kRight));
    EXPECT_TRUE(Rows(bm, 509, 316, 345, kPeak));
    Plot({0, 0, 0, 80, 4, 0, 0});
    EXPECT_TRUE(Rows(bm, 509, 316, 394, kPeak));
    EXPECT_TRUE(Rows(bm, 510, 12, 395, kBackground));
}

// Left uses Mcolor and Lavcolor, Right Rcolor and Ravcolor, except in the
// fill-to-peak mode, which draws the signal in Mcolor in column 508.
TEST_F(SweepPixels, ColoursOfTheSelectedSignal) {
    for (const int32_t channel : {kChannelLeft, kChannelRight}) {
        s.Channel = channel;
        const uint32_t peak = channel == kChannelRight ? kRight : kPeak;
        const uint32_t average = channel == kChannelRight ? kRAverage : kAverage;

        Options(true, false, false, false);
        g.PreviousPeak1Y = 296;
        Plot({100, 0, 0, 0, 0, 0, 0});
        EXPECT_TRUE(Rows(bm, 509, 295, 296, peak)) << channel;

        Options(false, true, false, false);
        Plot({100, 0, 0, 0, 0, 0, 0});
        EXPECT_TRUE(Rows(bm, 509, 297, 395, peak)) << channel;

        Options(false, false, true, false);
        Plot({0, 0, 0, 100, 0, 0, 0});
        EXPECT_TRUE(Rows(bm, 509, 296, 394, peak)) << channel;

        Options(false, false, false, true);
        g.PreviousAverage1 = 100;
        Plot({0, 0, 0, 120, 0, 0, 0});
        EXPECT_TRUE(AllOf(bm, {508, 277, 510, 297}, average)) << channel;
        EXPECT_EQ(g.PreviousAverage1, 120);

        Options(false, false, false, false);
        Clear();
        g.PreviousAverage1 = 50;
        Plot({100, 0, 0, 0, 0, 0, 0});
        EXPECT_TRUE(Rows(bm, 508, 297, 344, kPeak)) << channel;
        EXPECT_TRUE(Is(bm, 508, 296, kBackground)) << channel;
        EXPECT_TRUE(Is(bm, 508, 345, kBackground)) << channel;
        EXPECT_TRUE(Rows(bm, 509, 15, 395, kBackground)) << channel;
    }

    // Stereo fill-to-peak: the right channel in Rcolor from above its average.
    s.Channel = kChannelStereo;
    g.PreviousAverage1 = 50;
    g.PreviousAverage2 = 200;
    Plot({100, 250, 0, 0, 0, 0, 0});
    EXPECT_TRUE(Rows(bm, 508, 297, 344, kPeak));
    EXPECT_TRUE(Rows(bm, 508, 147, 194, kRight));
}

TEST_F(SweepPixels, SecondMarksInTheContrastColourOrAsGridLines) {
    struct Case {
        uint32_t background, tick;
    };
    for (const Case c : {Case{0x000000, kWhite}, Case{0xFFFFFF, kBlack}, Case{0x808080, kBlack},
                         Case{0x7F7F7F, kWhite}}) {
        s.Scolor = c.background;
        Clear();
        secondElapsed = true;
        Plot(kQuiet);
        EXPECT_FALSE(secondElapsed);
        EXPECT_TRUE(Rows(bm, 507, 391, 392, c.tick)) << std::hex << c.background;
        EXPECT_TRUE(Rows(bm, 507, 15, 390, c.background)) << std::hex << c.background;
        EXPECT_TRUE(Is(bm, 507, 393, c.background)) << std::hex << c.background;
        Plot(kQuiet);
        EXPECT_TRUE(Rows(bm, 506, 391, 392, c.tick)) << std::hex << c.background;
        EXPECT_TRUE(Rows(bm, 507, 15, 395, c.background)) << std::hex << c.background;
    }

    s.ShowGrid = true;
    Clear();
    secondElapsed = true;
    Plot(kQuiet);
    EXPECT_TRUE(Rows(bm, 507, 15, 392, kGrey));
    EXPECT_TRUE(Rows(bm, 507, 393, 394, s.Scolor));
}

TEST_F(SweepPixels, GridDotsAtTheLabelPositions) {
    s.ShowGrid = true;
    Plot(kQuiet);
    // The unit label at 9 pixels and the major ticks; the off ticks would fall on
    // row 396, outside the graph.
    const std::vector<int32_t> rows = {396 - 9,   396 - 382, 396 - 328, 396 - 273, 396 - 219,
                                       396 - 163, 396 - 109, 396 - 54,  396 - 1};
    for (int32_t y = 12; y < 396; ++y) {
        const bool dot = std::find(rows.begin(), rows.end(), y) != rows.end();
        ASSERT_TRUE(Is(bm, 507, y, dot ? kGrey : kBackground)) << y;
        ASSERT_FALSE(Is(bm, 508, y, kGrey)) << y;
    }
    EXPECT_TRUE(AllOf(bm, {505, 396, 511, 397}, kWhite));
}

TEST_F(SweepPixels, TargetDotsContinueTheClearedLines) {
    const int32_t th = HeightOf(s.Threshold), t2 = HeightOf(s.LowerVol), t1 = HeightOf(s.UpperVol);
    for (int i = 0; i < 10; ++i) {
        Plot({6, 6, t2, 4, 4, t1, th});
    }
    // The cleared lines (15..504) have moved to 5..494; the dots of ten columns
    // fill 498..507, with the three-column gap between them moving along.
    struct Target {
        int32_t height;
        uint32_t colour;
    };
    for (const Target t :
         {Target{th, s.Lowcolor}, Target{t2, s.Midcolor}, Target{t1, s.Topcolor}}) {
        const int32_t y = 396 - t.height;
        EXPECT_TRUE(AllOf(bm, {11, y, 495, y + 1}, t.colour)) << t.height;
        EXPECT_TRUE(AllOf(bm, {495, y, 498, y + 1}, kBackground)) << t.height;
        EXPECT_TRUE(AllOf(bm, {498, y, 508, y + 1}, t.colour)) << t.height;
        EXPECT_TRUE(AllOf(bm, {508, y, 511, y + 1}, kBackground)) << t.height;
    }
    // A target of height 0 draws no dot.
    Plot(kQuiet);
    EXPECT_TRUE(AllOf(bm, {505, 396, 511, 397}, kWhite));
    EXPECT_TRUE(Is(bm, 507, 396 - t1, kBackground));
}

TEST_F(SweepPixels, ReplayTextMovesWithTheStorePosition) {
    // 14-point box glyphs: cells 8 x 16. At StorePosition 100 x 4400 the text
    // starts at x = 411, in the contrast colour with a clear brush.
    Plot(kQuiet, false, true, 100 * 4400 + 17);
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(AllOf(bm, {412 + 8 * i, 41, 418 + 8 * i, 55}, kWhite)) << i;
        EXPECT_TRUE(AllOf(bm, {418 + 8 * i, 41, 420 + 8 * i, 55}, kBackground)) << i;
    }
    EXPECT_TRUE(AllOf(bm, {411, 40, 460, 41}, kBackground));
    EXPECT_TRUE(AllOf(bm, {411, 55, 460, 56}, kBackground));
    EXPECT_TRUE(Rows(bm, 411, 40, 55, kBackground));

    // Near the right edge only what lies left of x = 510 shows.
    Plot(kQuiet, false, true, 3 * 4400);
    EXPECT_TRUE(Rows(bm, 509, 41, 54, kWhite));
    EXPECT_TRUE(Rows(bm, 508, 40, 55, kBackground));
    EXPECT_TRUE(Rows(bm, 510, 12, 395, kBackground));
    EXPECT_TRUE(AllOf(bm, {511, 40, 520, 56}, kWhite));

    // At 500 x 4400 the text is back at x = 511, out of sight; on a light
    // background it is black.
    s.Scolor = 0xE0E0E0;
    Clear();
    Plot(kQuiet, false, true, 500 * 4400);
    EXPECT_TRUE(Rows(bm, 509, 15, 395, s.Scolor));
    Plot(kQuiet, false, true, 250 * 4400);
    EXPECT_TRUE(AllOf(bm, {262, 41, 268, 55}, kBlack));
}

// At Sweep 10 the word moves 0.8 pixel a block while the graph moves 1: drawn
// into the graph its old copies would slide out from under it into a bar.
TEST_F(SweepPixels, TheReplayWordStaysOneCleanWordAndLeavesNothingBehind) {
    const int32_t blockBytes = BlockBytesForSweep(10.0);
    int32_t position = 0;
    for (int32_t block = 0; block < 300; ++block) {
        position += blockBytes;
        Plot(kQuiet, false, true, position);
    }
    const int32_t x = 511 - (position / 4400) % 500;
    ASSERT_GT(x, 60);
    for (int32_t y = 40; y <= 64; ++y) {
        for (int32_t column = 11; column < x; ++column) {
            ASSERT_NE(bm.PixelColour(column, y), kWhite) << column << "," << y;
        }
    }
    // The cell holds what one drawing of the word on a fresh graph holds.
    MeterBitmap once{text};
    ClearGraph(once, s, scale.heights);
    TSweepGraph fresh;
    bool noMark = false;
    PlotSweepColumn(&once, fresh, kQuiet, {s, scale.marks, false, true, position}, noMark);
    for (int32_t y = 40; y < 64; ++y) {
        for (int32_t column = x; column < 510; ++column) {
            ASSERT_EQ(bm.PixelColour(column, y), once.PixelColour(column, y)) << column << "," << y;
        }
    }
    // The replay over, the word goes and leaves no trace.
    Plot(kQuiet, false, false, position);
    for (int32_t y = 40; y <= 64; ++y) {
        for (int32_t column = 11; column < 511; ++column) {
            ASSERT_NE(bm.PixelColour(column, y), kWhite) << column << "," << y;
        }
    }
}

}  // namespace
}  // namespace tarnwick
