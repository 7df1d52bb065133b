#pragma once
// The bar meters beside the graph: one bar (Left, Right, Sum, Difference) or two
// (Stereo). A bar rises at once to a louder block and falls by a fixed step per
// block; a hold mark keeps the recent peak for about one second.

#include <cstdint>

#include "core/meter_settings.h"
#include "display/meter_bitmap.h"

namespace tarnwick {

constexpr int32_t kBarMinHeight = 1;
constexpr int32_t kBarMaxHeight = 384;
constexpr int32_t kBarBaseline = 396;  // y of height 0

struct TBarState {
    int32_t MonoBar = 0;  // the single bar, tracked in every mode
    int32_t LeftBar = 0;  // the stereo bars, tracked in every mode
    int32_t RightBar = 0;
    int32_t HoldHeight1 = 0;  // single bar, or left bar in Stereo; 0: no hold
    int32_t HoldCount1 = 0;   // blocks for which the mark is still drawn
    int32_t HoldHeight2 = 0;  // right bar in Stereo
    int32_t HoldCount2 = 0;
};

// Pixels a bar falls per block: Trunc(sweep / 5), at least 1.
int32_t BarDecayStep(double sweepSeconds);
// Blocks a hold lasts: Trunc(500 / sweep).
int32_t HoldLength(double sweepSeconds);

// What one block's update shows: the bars to paint and the hold marks to draw.
struct TBarFrame {
    bool stereo = false;
    int32_t bar1 = 0;   // the single bar, or the left bar in Stereo
    int32_t bar2 = 0;   // the right bar in Stereo
    int32_t mark1 = 0;  // height of the hold mark drawn on bar 1; 0: none
    int32_t mark2 = 0;
    // The bar in use rose above its held height: the peak readout is rewritten.
    bool peakReadoutDue = false;
};

// Moves the bars towards their levels (heights in pixels), takes and counts down
// the holds. `stereo` is Channel 0.
TBarFrame UpdateBarMeters(TBarState& bars, bool stereo, double sweepSeconds, int32_t levelHeight,
                          int32_t leftHeight, int32_t rightHeight);

// Unlit zones: the low colour masked to a dark shade, every other zone dark red.
constexpr uint32_t kDarkShadeMask = 0x292929;
constexpr uint32_t kUnlitColour = 0x000029;
constexpr uint32_t kHoldMarkColour = 0x3EFFFF;

// Paints one bar, 10 columns from x, of height h with its zones split at L
// (target 2) and U (target 1), all in pixels above the baseline.
void DrawBar(MeterBitmap& bitmap, int32_t h, int32_t x, int32_t L, int32_t U,
             const TMeterSettings& colours);

// Paints the bars and hold marks of one block's update.
void DrawBars(MeterBitmap& bitmap, const TBarFrame& frame, int32_t target2Height,
              int32_t target1Height, const TMeterSettings& colours);

// Draws only the hold marks of one block's update. The wide pen leaves a row
// above the highest mark that no bar paints over: what a picture keeps of a
// block whose bars the next blocks paint again.
void DrawHoldMarks(MeterBitmap& bitmap, const TBarFrame& frame);

}  // namespace tarnwick
