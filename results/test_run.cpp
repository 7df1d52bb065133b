#include "results/test_run.h"

#include "results/save_schedule.h"

namespace tarnwick {

void ResetPeriod(TTestRun& run, TLevelStatistics& stats, uint32_t now) {
    stats.OverTargetMs = 0;
    stats.UnderTargetMs = 0;
    stats.SumOfSquares = 0.0;
    stats.SquareCount = 1;
    run.PeriodStartTick = now;
    stats.SystemMax = 0;
}

void ScheduleSaves(TTestRun& run, LocalDateTime now, int32_t saveMins) {
    run.NextHourSaveTime = NextWholeHour(now);
    run.NextMinuteSaveTime = MinutesFromNow(now, saveMins);
    run.ScheduledFrom = now;
}

}  // namespace tarnwick
