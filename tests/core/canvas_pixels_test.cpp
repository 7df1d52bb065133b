// The raster canvas of the meter picture: which pixels rectangles, lines, copies
// and text touch, and the graph scroll against a plain pixel-by-pixel copy.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/pixel_checks.h"
#include "display/meter_bitmap.h"
#include "fakes.h"

namespace tarnwick {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;

// A plain copy of the picture, RGB32 row by row.
using Pixels = std::vector<uint32_t>;

Pixels Snapshot(const MeterBitmap& bm) {
    return Pixels(bm.Picture(), bm.Picture() + kMeterWidth * kMeterHeight);
}

size_t Index(int32_t x, int32_t y) {
    return static_cast<size_t>(y * kMeterWidth + x);
}

// The picture equals `expected`, read through Picture() or pixel by pixel.
::testing::AssertionResult Matches(const MeterBitmap& bm, const Pixels& expected,
                                   bool wholePicture) {
    const uint32_t* picture = bm.Picture();
    for (int32_t y = 0; y < kMeterHeight; ++y) {
        for (int32_t x = 0; x < kMeterWidth; ++x) {
            const uint32_t actual =
                wholePicture ? picture[Index(x, y)] : ToRgb32(bm.PixelColour(x, y));
            if (actual != expected[Index(x, y)]) {
                return ::testing::AssertionFailure(::testing::Message()
                                                   << "(" << x << ", " << y << ") is " << std::hex
                                                   << actual << ", not " << expected[Index(x, y)]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class Canvas : public ::testing::Test {
protected:
    void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t width) {
        bm.SetPenColour(colour);
        bm.SetPenWidth(width);
        bm.MoveTo(x1, y1);
        bm.LineTo(x2, y2);
    }

    fakes::BoxGlyphText text;
    MeterBitmap bm{text};
};

TEST_F(Canvas, StartsWhiteAndRectanglesLeaveOutTheirRightAndBottomEdges) {
    for (uint32_t pixel : Snapshot(bm)) {
        ASSERT_EQ(pixel, 0xFFFFFFFFu);
    }
    // Across the corner of the graph area, whose pixels are kept apart.
    bm.SetBrushColour(kRed);
    bm.FillRect({505, 390, 515, 400});
    EXPECT_TRUE(AllOf(bm, {505, 390, 515, 400}, kRed));
    EXPECT_TRUE(Is(bm, 515, 395, kWhite));
    EXPECT_TRUE(Is(bm, 510, 400, kWhite));
    EXPECT_TRUE(Is(bm, 504, 395, kWhite));
    EXPECT_TRUE(Is(bm, 505, 389, kWhite));
    const Pixels picture = Snapshot(bm);
    EXPECT_EQ(picture[390 * kMeterWidth + 505], ToRgb32(kRed));
    EXPECT_EQ(picture[399 * kMeterWidth + 514], ToRgb32(kRed));

    // A clear brush fills nothing until a brush colour makes it solid again.
    bm.SetBrushStyle(BrushStyle::kClear);
    bm.FillRect({20, 20, 30, 30});
    EXPECT_TRUE(AllOf(bm, {20, 20, 30, 30}, kWhite));
    bm.SetBrushColour(kBlue);
    bm.FillRect({20, 20, 30, 30});
    EXPECT_TRUE(AllOf(bm, {20, 20, 30, 30}, kBlue));
}

TEST_F(Canvas, LinesPaintTheirStartAndNotTheirEnd) {
    Line(20, 100, 30, 100, kRed, 1);
    EXPECT_TRUE(AllOf(bm, {20, 100, 30, 101}, kRed));
    EXPECT_TRUE(Is(bm, 30, 100, kWhite));
    EXPECT_TRUE(AllOf(bm, {20, 99, 31, 100}, kWhite));

    Line(30, 110, 20, 110, kRed, 1);
    EXPECT_TRUE(AllOf(bm, {21, 110, 31, 111}, kRed));
    EXPECT_TRUE(Is(bm, 20, 110, kWhite));

    // A line of no length paints nothing with a thin pen; a wide pen leaves its
    // two pixels at the start point.
    Line(60, 120, 60, 120, kRed, 1);
    EXPECT_TRUE(AllOf(bm, {58, 118, 63, 123}, kWhite));
    Line(60, 130, 60, 130, kRed, 2);
    EXPECT_TRUE(AllOf(bm, {59, 130, 61, 131}, kRed));
    EXPECT_TRUE(AllOf(bm, {58, 129, 63, 130}, kWhite));
    EXPECT_TRUE(AllOf(bm, {61, 130, 63, 131}, kWhite));

    // Width 2: a vertical line at x covers x - 1 and x, a horizontal one at y
    // covers y - 1 and y.
    Line(100, 50, 100, 60, kBlue, 2);
    EXPECT_TRUE(AllOf(bm, {99, 50, 101, 60}, kBlue));
    EXPECT_TRUE(AllOf(bm, {98, 50, 99, 61}, kWhite));
    EXPECT_TRUE(AllOf(bm, {101, 50, 102, 61}, kWhite));
    EXPECT_TRUE(AllOf(bm, {99, 60, 101, 61}, kWhite));

    Line(540, 200, 550, 200, kBlue, 2);
    EXPECT_TRUE(AllOf(bm, {540, 199, 550, 201}, kBlue));
    EXPECT_TRUE(AllOf(bm, {540, 198, 551, 199}, kWhite));
    EXPECT_TRUE(AllOf(bm, {540, 201, 551, 202}, kWhite));
    EXPECT_TRUE(Is(bm, 550, 200, kWhite));
}

// A width-2 diagonal is the width-1 line plus the pixel to the left of each of
// its pixels (steep) or above it (flat).
TEST_F(Canvas, WideDiagonalsAddThePixelLeftOrAbove) {
    struct Case {
        int32_t x1, y1, x2, y2;
        int32_t dx, dy;  // where the added pixel lies
    };
    const Case cases[] = {{300, 50, 303, 62, -1, 0},
                          {330, 62, 326, 50, -1, 0},
                          {300, 100, 312, 103, 0, -1},
                          {350, 110, 338, 106, 0, -1}};
    for (const Case& c : cases) {
        fakes::BoxGlyphText thinText;
        MeterBitmap thin(thinText);
        thin.SetPenColour(kRed);
        thin.MoveTo(c.x1, c.y1);
        thin.LineTo(c.x2, c.y2);
        EXPECT_TRUE(Is(thin, c.x1, c.y1, kRed));
        EXPECT_TRUE(Is(thin, c.x2, c.y2, kWhite));

        Line(c.x1, c.y1, c.x2, c.y2, kRed, 2);
        for (int32_t y = 40; y < 120; ++y) {
            for (int32_t x = 290; x < 360; ++x) {
                const bool painted =
                    thin.PixelColour(x, y) == kRed || thin.PixelColour(x - c.dx, y - c.dy) == kRed;
                ASSERT_TRUE(Is(bm, x, y, painted ? kRed : kWhite)) << "line to " << c.x2;
            }
        }
        bm.SetBrushColour(kWhite);
        bm.FillRect({0, 0, kMeterWidth, kMeterHeight});
    }
}

TEST_F(Canvas, DrawingStaysInsideTheClipRectangle) {
    bm.SetClip({50, 50, 60, 60});
    bm.SetBrushColour(kRed);
    bm.FillRect({40, 40, 70, 70});
    Line(50, 30, 50, 80, kBlue, 2);
    EXPECT_TRUE(AllOf(bm, {51, 50, 60, 60}, kRed));
    EXPECT_TRUE(AllOf(bm, {50, 50, 51, 60}, kBlue));
    EXPECT_TRUE(AllOf(bm, {40, 40, 70, 50}, kWhite));
    EXPECT_TRUE(AllOf(bm, {40, 60, 70, 70}, kWhite));
    EXPECT_TRUE(AllOf(bm, {40, 50, 50, 60}, kWhite));
    EXPECT_TRUE(AllOf(bm, {60, 50, 70, 60}, kWhite));

    bm.RemoveClip();
    bm.FillRect({40, 40, 41, 41});
    EXPECT_TRUE(Is(bm, 40, 40, kRed));
}

TEST_F(Canvas, CopiesOverlappingRectanglesInBothDirections) {
    // A pattern in which every pixel differs, inside the graph, across its right
    // edge and in the panel.
    for (const int32_t left : {100, 498, 540}) {
        for (int32_t y = 200; y < 212; ++y) {
            for (int32_t x = left; x < left + 20; ++x) {
                bm.SetBrushColour(static_cast<uint32_t>(x * 512 + y));
                bm.FillRect({x, y, x + 1, y + 1});
            }
        }
    }
    Pixels expected = Snapshot(bm);
    auto copy = [&](const TRect& dest, const TRect& source) {
        bm.CopyRect(dest, source);
        const Pixels before = expected;
        for (int32_t y = 0; y < source.y2 - source.y1; ++y) {
            for (int32_t x = 0; x < source.x2 - source.x1; ++x) {
                expected[Index(dest.x1 + x, dest.y1 + y)] =
                    before[Index(source.x1 + x, source.y1 + y)];
            }
        }
    };
    for (const int32_t left : {100, 498, 540}) {
        copy({left + 3, 202, left + 18, 210}, {left, 200, left + 15, 208});
        EXPECT_TRUE(Matches(bm, expected, true)) << "right and down at " << left;
        copy({left, 200, left + 15, 208}, {left + 2, 203, left + 17, 211});
        EXPECT_TRUE(Matches(bm, expected, true)) << "left and up at " << left;
    }
}

TEST_F(Canvas, TextWithASolidOrClearBrush) {
    // Box glyphs of 10 points: cells 6 x 12, each box inset by one pixel. The
    // text crosses the graph's right edge.
    bm.Font().colour = kBlue;
    bm.SetBrushColour(kRed);
    bm.TextOut(500, 100, "A B");
    EXPECT_TRUE(AllOf(bm, {501, 101, 505, 111}, kBlue));
    EXPECT_TRUE(AllOf(bm, {513, 101, 517, 111}, kBlue));
    EXPECT_TRUE(AllOf(bm, {500, 100, 518, 101}, kRed));
    EXPECT_TRUE(AllOf(bm, {505, 101, 513, 111}, kRed));  // the blank cell and the gaps
    EXPECT_TRUE(AllOf(bm, {500, 111, 518, 112}, kRed));
    EXPECT_TRUE(AllOf(bm, {518, 100, 519, 112}, kWhite));
    EXPECT_TRUE(AllOf(bm, {500, 112, 518, 113}, kWhite));

    bm.SetBrushColour(kGreen);
    bm.FillRect({500, 150, 520, 170});
    bm.SetBrushStyle(BrushStyle::kClear);
    bm.TextOut(500, 150, "A B");
    EXPECT_TRUE(AllOf(bm, {501, 151, 505, 161}, kBlue));
    EXPECT_TRUE(AllOf(bm, {513, 151, 517, 161}, kBlue));
    EXPECT_TRUE(AllOf(bm, {500, 150, 518, 151}, kGreen));
    EXPECT_TRUE(AllOf(bm, {505, 151, 513, 161}, kGreen));
}

// Random drawing between scrolls, on the picture and on a plain pixel array
// scrolled by copying (12, 12)-(511, 396) onto (11, 12): every pixel read back must
// agree, also after the graph's window has gone round its strip twice.
TEST(GraphScroll, MatchesAPlainCopyAcrossManyScrolls) {
    fakes::BoxGlyphText text;
    MeterBitmap bm(text);
    Pixels expected = Snapshot(bm);
    std::mt19937 rng(20261208);
    auto uniform = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(rng);
    };
    auto fill = [&](const TRect& r) {
        const uint32_t colour = rng() & 0xFFFFFFu;
        bm.SetBrushColour(colour);
        bm.FillRect(r);
        for (int32_t y = std::max(r.y1, 0); y < std::min(r.y2, kMeterHeight); ++y) {
            for (int32_t x = std::max(r.x1, 0); x < std::min(r.x2, kMeterWidth); ++x) {
                expected[Index(x, y)] = ToRgb32(colour);
            }
        }
    };
    auto dot = [&](int32_t x, int32_t y) {
        const uint32_t colour = rng() & 0xFFFFFFu;
        bm.SetPenColour(colour);
        bm.MoveTo(x, y);
        bm.LineTo(x + 1, y);
        expected[Index(x, y)] = ToRgb32(colour);
    };

    for (int step = 0; step < 1200; ++step) {
        // The newest columns, including 510, which the scroll keeps.
        const int32_t top = uniform(12, 390);
        fill({509, top, 511, top + uniform(1, 6)});
        dot(uniform(11, 510), uniform(12, 395));
        if (step % 7 == 0) {
            // Over the edges of the graph area.
            const int32_t x = uniform(0, 560), y = uniform(0, 390);
            fill({x, y, x + uniform(1, 30), y + uniform(1, 30)});
        }
        if (step % 3 == 0) {
            ASSERT_TRUE(Matches(bm, expected, true)) << "before scroll " << step;
        }
        bm.ScrollGraphLeft();
        for (int32_t y = 12; y < 396; ++y) {
            for (int32_t x = 11; x < 510; ++x) {
                expected[Index(x, y)] = expected[Index(x + 1, y)];
            }
        }
        ASSERT_TRUE(Matches(bm, expected, step % 2 == 0)) << "after scroll " << step;
    }
}

// A window's copy of the picture, kept up to date the way the meter window
// does it: scroll its graph area by the columns the picture scrolled (what
// moves in from beyond the area is taken from the picture), then copy the
// dirty rectangle.
void ApplyChanges(Pixels& screen, const MeterBitmap& bm, const PictureChanges& changes) {
    const uint32_t* picture = bm.Picture();
    const int32_t n = changes.scrolledColumns;
    if (n > 0) {
        for (int32_t y = kGraphArea.y1; y < kGraphArea.y2; ++y) {
            for (int32_t x = kGraphArea.x1; x < kGraphArea.x2; ++x) {
                screen[Index(x, y)] =
                    x + n < kGraphArea.x2 ? screen[Index(x + n, y)] : picture[Index(x, y)];
            }
        }
    }
    for (int32_t y = changes.dirty.y1; y < changes.dirty.y2; ++y) {
        for (int32_t x = changes.dirty.x1; x < changes.dirty.x2; ++x) {
            screen[Index(x, y)] = picture[Index(x, y)];
        }
    }
}

TEST(PictureChanges, AWindowThatScrollsAndRepaintsOnlyTheChangesShowsThePicture) {
    fakes::BoxGlyphText text;
    MeterBitmap bm(text);
    std::mt19937 random(20261209);
    auto coordinate = [&](int32_t limit) {
        return std::uniform_int_distribution<int32_t>(-20, limit + 20)(random);
    };
    Pixels screen(static_cast<size_t>(kMeterWidth) * kMeterHeight, 0);
    ApplyChanges(screen, bm, bm.TakeChanges());  // the first showing: everything
    int64_t repainted = 0;
    for (int step = 0; step < 4000; ++step) {
        const uint32_t colour = random() & 0xFFFFFF;
        switch (random() % 10) {
            case 0: {
                bm.SetBrushColour(colour);
                bm.FillRect({coordinate(kMeterWidth), coordinate(kMeterHeight),
                             coordinate(kMeterWidth), coordinate(kMeterHeight)});
                break;
            }
            case 1:
            case 2: {
                bm.SetPenColour(colour);
                bm.SetPenWidth(1 + static_cast<int32_t>(random() % 2));
                bm.MoveTo(coordinate(kMeterWidth), coordinate(kMeterHeight));
                bm.LineTo(coordinate(kMeterWidth), coordinate(kMeterHeight));
                break;
            }
            case 3: {
                const int32_t x = coordinate(kMeterWidth), y = coordinate(kMeterHeight);
                const int32_t w = static_cast<int32_t>(random() % 60) + 1;
                const int32_t h = static_cast<int32_t>(random() % 60) + 1;
                const int32_t tx = coordinate(kMeterWidth), ty = coordinate(kMeterHeight);
                bm.CopyRect({tx, ty, tx + w, ty + h}, {x, y, x + w, y + h});
                break;
            }
            case 4: {
                bm.SetBrushStyle(random() % 2 == 0 ? BrushStyle::kSolid : BrushStyle::kClear);
                bm.Font().colour = colour;
                bm.TextOut(coordinate(kMeterWidth), coordinate(kMeterHeight), "-12.3");
                bm.SetBrushStyle(BrushStyle::kSolid);
                break;
            }
            case 5: {
                if (random() % 4 == 0) {
                    bm.RemoveClip();
                } else {
                    bm.SetClip({coordinate(kMeterWidth), coordinate(kMeterHeight),
                                coordinate(kMeterWidth), coordinate(kMeterHeight)});
                }
                break;
            }
            default:
                bm.ScrollGraphLeft();
                break;
        }
        // The window catches up now and then, as at each screen frame.
        if (random() % 7 == 0) {
            const PictureChanges changes = bm.TakeChanges();
            repainted += std::max(0, changes.dirty.x2 - changes.dirty.x1) *
                         std::max(0, changes.dirty.y2 - changes.dirty.y1);
            ApplyChanges(screen, bm, changes);
            ASSERT_EQ(screen, Snapshot(bm)) << "after step " << step;
        }
    }
    // Changes stay local: far less than the whole picture is repainted.
    EXPECT_LT(repainted, 600LL * kMeterWidth * kMeterHeight / 4);
}

TEST(PictureChanges, ScrollingTheGraphAloneRepaintsNothing) {
    fakes::BoxGlyphText text;
    MeterBitmap bm(text);
    bm.TakeChanges();
    bm.ScrollGraphLeft();
    bm.ScrollGraphLeft();
    const PictureChanges changes = bm.TakeChanges();
    EXPECT_EQ(changes.scrolledColumns, 2);
    EXPECT_GE(changes.dirty.x1, changes.dirty.x2);
    // A new column at the right edge: only it is dirty, and it moves with the
    // graph.
    bm.SetPenColour(kRed);
    bm.MoveTo(509, 100);
    bm.LineTo(509, 200);
    bm.ScrollGraphLeft();
    const PictureChanges column = bm.TakeChanges();
    EXPECT_EQ(column.scrolledColumns, 1);
    EXPECT_LE(column.dirty.x2 - column.dirty.x1, 4);
}

}  // namespace
}  // namespace tarnwick
