#pragma once
// TLevelStatistics: the short-term average, the run-time average of a test
// period, the time over target 1 and under target 2, and the system maximum.
// The block pipeline calls the four operations once per block, in the order
// UpdateShortTermAverage, DecideAutoStartStop, UpdateRunTimeAverage,
// UpdateTargetTimes.

#include <array>
#include <cstdint>

#include "core/meter_settings.h"
#include "core/ports/timers.h"

namespace tarnwick {

// The value of `Auto Level` that stops a test only after 500 ms of silence.
constexpr int32_t kAutoLevelSilence = -99;

struct TLevelStatistics {
    std::array<int32_t, kShortRingCapacity> ShortRing1{};  // SelectedPeak per block
    std::array<int32_t, kShortRingCapacity> ShortRing2{};  // RightPeak per block
    int32_t RingPosition = 0;                              // next slot
    double ShortAverage1 = 0.0;                            // amplitudes
    double ShortAverage2 = 0.0;

    double SumOfSquares = 0.0;   // of admitted Levels in the period
    int32_t SquareCount = 1;     // 1 + admitted blocks: the first block counts half
    int32_t RunTimeAverage = 0;  // Trunc(sqrt(SumOfSquares / SquareCount))

    int32_t OverTargetMs = 0;
    int32_t UnderTargetMs = 0;
    uint32_t OverMarkTick = 0;
    uint32_t UnderMarkTick = 0;

    int32_t SystemMax = 0;  // largest |(L + R) div 2| of the period while a test runs
};

// Empties both rings and returns the position to 0 (a change of sweep or average
// time).
void ClearShortRings(TLevelStatistics& stats);

// Stores the block's peaks and recomputes both short-term averages over
// `averageLength` blocks. True when the ring has just wrapped to 0: the
// short-term readout is due.
bool UpdateShortTermAverage(TLevelStatistics& stats, int32_t averageLength, int32_t selectedPeak,
                            int32_t rightPeak);

// Arms or disarms the automatic start and stop timers from the block level.
// Does nothing unless `AutoStart` is on.
void DecideAutoStartStop(const TMeterSettings& settings, bool testRunning, int32_t level,
                         ITimer& autoStartTimer, ITimer& autoStopTimer);

// Called only while a test runs: admits the level when it reaches the gate (or
// the gate is off) and recomputes RunTimeAverage. True when the run-time readout
// is due (the ring position is 0).
bool UpdateRunTimeAverage(TLevelStatistics& stats, const TMeterSettings& settings, int32_t level);

// The gate of the run-time average: DbToAmplitude(Threshold - CalibrationFactor).
// The plain factor is subtracted from the dB value, so at calibration 0 the gate
// lies 10 dB below the threshold line.
int32_t RunTimeGate(const TMeterSettings& settings);

// Adds the time since the previous block to the over-target and under-target
// totals. All arguments are heights from the height table; `now` is the tick.
void UpdateTargetTimes(TLevelStatistics& stats, uint32_t now, int32_t levelHeight,
                       int32_t target1Height, int32_t target2Height, int32_t thresholdHeight);

}  // namespace tarnwick
