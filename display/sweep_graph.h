#pragma once
// The sweep graph's state between columns. Each block adds one column at the
// right edge while a test or a replay runs.

#include <cstdint>

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

struct TGraphOptions {
    bool stereo = false;
    bool showPeaks = true;
};

// Adds one column while a test or replay runs: lowers `secondElapsed` (the second
// mark is drawn) and moves the previous-point values on. Returns false, changing
// nothing, when neither runs.
bool PlotSweepColumn(TSweepGraph& graph, const TSweepColumn& column, const TGraphOptions& options,
                     bool testRunning, bool replaying, bool& secondElapsed);

}  // namespace tarnwick
