#pragma once
// TTestRun: whether a test runs, where its current period began and when the next
// saves fall due. A period runs from the start of a test, or from the last save,
// to the next save.

#include <cstdint>

#include "core/level_statistics.h"
#include "core/local_time.h"

namespace tarnwick {

struct TTestRun {
    bool TestRunning = false;
    uint32_t PeriodStartTick = 0;      // tick at which the current period began
    LocalDateTime NextHourSaveTime;    // the hourly save falls due after this
    LocalDateTime NextMinuteSaveTime;  // the minutes save falls due after this
    // The clock reading the save times were last set from, at scheduling or at a
    // save. A clock that reads earlier than this was set back.
    LocalDateTime ScheduledFrom;
    bool SecondElapsed = false;  // raised by SecondTimer, lowered by the graph
};

// Begins a new period: clears the period's totals and accumulators (SquareCount
// to 1, not 0) and restarts the period clock. The short-term rings are untouched.
void ResetPeriod(TTestRun& run, TLevelStatistics& stats, uint32_t now);

// Sets both save times from now, whether or not those saves are enabled.
void ScheduleSaves(TTestRun& run, LocalDateTime now, int32_t saveMins);

}  // namespace tarnwick
