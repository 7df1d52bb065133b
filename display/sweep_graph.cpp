#include "display/sweep_graph.h"

namespace tarnwick {

void ResetForTestStart(TSweepGraph& graph) {
    graph.PreviousAverage1 = 4;
    graph.PreviousAverage2 = 4;
    graph.PreviousPeak1Y = 388;
    graph.PreviousPeak2Y = 388;
}

bool PlotSweepColumn(TSweepGraph& graph, const TSweepColumn& column, const TGraphOptions& options,
                     bool testRunning, bool replaying, bool& secondElapsed) {
    if (!testRunning && !replaying) {
        return false;
    }
    if (secondElapsed) {
        secondElapsed = false;
    }
    if (options.showPeaks) {
        graph.PreviousPeak1Y = kGraphBaseline - column.p1;
        if (options.stereo) {
            graph.PreviousPeak2Y = kGraphBaseline - column.p2;
        }
    }
    graph.PreviousAverage1 = column.a1;
    graph.PreviousAverage2 = column.a2;
    return true;
}

}  // namespace tarnwick
