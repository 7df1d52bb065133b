#include "display/bar_meter.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

void MoveBar(int32_t& bar, int32_t level, int32_t step) {
    if (bar > level) {
        bar -= step;
    } else {
        bar = level;
    }
    if (bar < kBarMinHeight) {
        bar = kBarMinHeight;
    }
    if (bar > kBarMaxHeight) {
        bar = kBarMaxHeight;
    }
}

// Takes a new hold when the level rises above the held height; returns the mark
// to draw this block and counts the hold down.
int32_t Hold(int32_t& holdHeight, int32_t& holdCount, int32_t level, int32_t bar, int32_t length) {
    if (level > holdHeight) {
        holdHeight = bar;
        holdCount = length;
    }
    int32_t mark = 0;
    if (holdCount > 0) {
        mark = holdHeight;
        holdCount -= 1;
        if (holdCount == 0) {
            holdHeight = 0;
        }
    }
    return mark;
}

}  // namespace

int32_t BarDecayStep(double sweepSeconds) {
    const double step = std::trunc(sweepSeconds / 5.0);
    return step < 1.0 ? 1 : step > kBarMaxHeight ? kBarMaxHeight : static_cast<int32_t>(step);
}

int32_t HoldLength(double sweepSeconds) {
    const double length = std::trunc(500.0 / sweepSeconds);
    // A hand-edited sweep of 0 or below gives no sensible length; hold one second's
    // worth of default blocks.
    if (!(length >= 0.0) || length > 1.0e9) {
        return 50;
    }
    return static_cast<int32_t>(length);
}

TBarFrame UpdateBarMeters(TBarState& bars, bool stereo, double sweepSeconds, int32_t levelHeight,
                          int32_t leftHeight, int32_t rightHeight) {
    const int32_t step = BarDecayStep(sweepSeconds);
    const int32_t length = HoldLength(sweepSeconds);
    MoveBar(bars.MonoBar, levelHeight, step);
    MoveBar(bars.LeftBar, leftHeight, step);
    MoveBar(bars.RightBar, rightHeight, step);

    TBarFrame frame;
    frame.stereo = stereo;
    if (!stereo) {
        frame.bar1 = bars.MonoBar;
        frame.peakReadoutDue = bars.MonoBar > bars.HoldHeight1;
        frame.mark1 = Hold(bars.HoldHeight1, bars.HoldCount1, levelHeight, bars.MonoBar, length);
    } else {
        frame.bar1 = bars.LeftBar;
        frame.bar2 = bars.RightBar;
        frame.peakReadoutDue = bars.LeftBar > bars.HoldHeight1;
        frame.mark1 = Hold(bars.HoldHeight1, bars.HoldCount1, leftHeight, bars.LeftBar, length);
        frame.mark2 = Hold(bars.HoldHeight2, bars.HoldCount2, rightHeight, bars.RightBar, length);
    }
    return frame;
}

void DrawBar(MeterBitmap& bitmap, int32_t h, int32_t x, int32_t L, int32_t U,
             const TMeterSettings& colours) {
    h = std::max(h, 0);
    L = std::max(L, 0);
    // The rows at heights min(a, b) + 1 up to max(a, b).
    auto band = [&](int32_t a, int32_t b, uint32_t colour) {
        const int32_t low = std::min(a, b), high = std::max(a, b);
        bitmap.SetBrushColour(colour);
        bitmap.FillRect({x, kBarBaseline - high, x + 10, kBarBaseline - low});
    };
    // Independent tests: with the targets the wrong way round (U below L) a bar
    // between them is painted by the first and then by the third.
    if (h < L) {
        band(0, h, colours.Lowcolor);
        band(h, L, colours.Lowcolor & kDarkShadeMask);
        band(L, U, kUnlitColour);
        band(U, kBarMaxHeight, kUnlitColour);
    }
    if (L <= h && h < U) {
        band(0, L, colours.Lowcolor);
        band(L, h, colours.Midcolor);
        band(h, U, kUnlitColour);
        band(U, kBarMaxHeight, kUnlitColour);
    }
    if (h >= U) {
        band(0, L, colours.Lowcolor);
        band(L, U, colours.Midcolor);
        band(U, h, colours.Topcolor);
        band(h, kBarMaxHeight, kUnlitColour);
    }
}

void DrawBars(MeterBitmap& bitmap, const TBarFrame& frame, int32_t target2Height,
              int32_t target1Height, const TMeterSettings& colours) {
    if (!frame.stereo) {
        DrawBar(bitmap, frame.bar1, 516, target2Height, target1Height, colours);
    } else {
        DrawBar(bitmap, frame.bar1, 512, target2Height, target1Height, colours);
        DrawBar(bitmap, frame.bar2, 524, target2Height, target1Height, colours);
    }
    DrawHoldMarks(bitmap, frame);
}

void DrawHoldMarks(MeterBitmap& bitmap, const TBarFrame& frame) {
    auto mark = [&](int32_t height, int32_t x1, int32_t x2) {
        if (height > 0) {
            bitmap.SetPenWidth(2);
            bitmap.SetPenColour(kHoldMarkColour);
            bitmap.MoveTo(x1, kBarBaseline - height);
            bitmap.LineTo(x2, kBarBaseline - height);
        }
    };
    if (!frame.stereo) {
        mark(frame.mark1, 517, 525);
        return;
    }
    mark(frame.mark1, 512, 521);
    mark(frame.mark2, 524, 533);
}

}  // namespace tarnwick
