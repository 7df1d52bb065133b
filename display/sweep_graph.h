#pragma once
// The sweep graph: a strip chart in the graph area of the meter picture. While a
// test or a replay runs, each block scrolls it one column to the left and draws
// the newest column at the right edge: peaks, fills, averages, target dots, grid
// and second marks.

#include <cstdint>

#include "core/meter_settings.h"
#include "display/meter_bitmap.h"
#include "display/meter_scale.h"

namespace tarnwick {

constexpr int32_t kGraphBaseline = 396;  // y of height 0

struct TSweepGraph {
    int32_t PreviousAverage1 = 4;  // height of the last average-1 point
    int32_t PreviousAverage2 = 4;
    int32_t PreviousPeak1Y = 4;  // y (not height) of the last peak-1 trace point
    int32_t PreviousPeak2Y = 4;
};

// The previous-point values a test starts from.
void ResetForTestStart(TSweepGraph& graph);

// The heights of one column, in pixels, in the order the pipeline passes them.
struct TSweepColumn {
    int32_t p1 = 0;  // LeftHeight in Stereo, else LevelHeight
    int32_t p2 = 0;  // RightHeight
    int32_t t2 = 0;  // target 2
    int32_t a1 = 0;  // Trunc(Average1Height)
    int32_t a2 = 0;
    int32_t t1 = 0;  // target 1
    int32_t th = 0;  // threshold
};

// What the column is drawn with besides its heights.
struct TGraphContext {
    const TMeterSettings& settings;  // channel mode, graph options and colours
    const ScaleMarks& marks;         // the grid follows the scale's labels
    bool testRunning = false;
    bool replaying = false;
    int32_t storePosition = 0;  // places the "REPLAY" text
};

// True when (R + G + B) div 3 is 128 or more.
bool IsLightColour(uint32_t colour);

// Black on a light graph background, white on a dark one.
uint32_t ContrastColour(uint32_t background);

// Repaints the graph area in the background colour with its three target lines.
void ClearGraph(MeterBitmap& bitmap, const TMeterSettings& settings, const HeightTable& heights);

// Adds one column while a test or a replay runs, lowering `secondElapsed` when it
// draws the second mark; returns false, changing nothing, when neither runs.
// Without a bitmap only the graph state moves on.
bool PlotSweepColumn(MeterBitmap* bitmap, TSweepGraph& graph, const TSweepColumn& column,
                     const TGraphContext& context, bool& secondElapsed);

}  // namespace tarnwick
