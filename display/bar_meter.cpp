#include "display/bar_meter.h"

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

}  // namespace tarnwick
