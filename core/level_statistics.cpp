#include "core/level_statistics.h"

#include <cmath>

#include "core/level_math.h"

namespace tarnwick {
namespace {

// The totals are 32-bit and wrap after 24.8 days of counted time, as the tick does.
int32_t AddWrapping(int32_t total, uint32_t ms) {
    return static_cast<int32_t>(static_cast<uint32_t>(total) + ms);
}

}  // namespace

void ClearShortRings(TLevelStatistics& stats) {
    stats.ShortRing1.fill(0);
    stats.ShortRing2.fill(0);
    stats.RingPosition = 0;
}

bool UpdateShortTermAverage(TLevelStatistics& stats, int32_t averageLength, int32_t selectedPeak,
                            int32_t rightPeak) {
    const int32_t length = averageLength < 1                    ? 1
                           : averageLength > kShortRingCapacity ? kShortRingCapacity
                                                                : averageLength;
    if (stats.RingPosition < 0 || stats.RingPosition >= kShortRingCapacity) {
        stats.RingPosition = 0;
    }
    const auto at = static_cast<size_t>(stats.RingPosition);
    stats.ShortRing1[at] = selectedPeak;
    stats.ShortRing2[at] = rightPeak;
    stats.RingPosition += 1;
    if (stats.RingPosition >= length) {
        stats.RingPosition = 0;
    }
    // Entries 0..length-1, zeros of a cleared ring included until it has filled.
    int64_t sum1 = 0, sum2 = 0;
    for (int32_t i = 0; i < length; ++i) {
        sum1 += stats.ShortRing1[static_cast<size_t>(i)];
        sum2 += stats.ShortRing2[static_cast<size_t>(i)];
    }
    stats.ShortAverage1 = static_cast<double>(sum1) / length;
    stats.ShortAverage2 = static_cast<double>(sum2) / length;
    return stats.RingPosition == 0;
}

void DecideAutoStartStop(const TMeterSettings& settings, bool testRunning, int32_t level,
                         ITimer& autoStartTimer, ITimer& autoStopTimer) {
    if (!settings.AutoStart) {
        return;
    }
    const int32_t a = DbToAmplitude(settings.AutoLevel);
    if (testRunning) {
        if (level < a || settings.AutoLevel == kAutoLevelSilence) {
            autoStopTimer.Arm();
            autoStartTimer.Disarm();
        }
    } else if (level >= a) {
        autoStartTimer.Arm();
        autoStopTimer.Disarm();
    }
    if (level > a) {
        autoStopTimer.Disarm();
    }
}

int32_t RunTimeGate(const TMeterSettings& settings) {
    return DbToAmplitude(settings.Threshold - settings.CalibrationFactor);
}

bool UpdateRunTimeAverage(TLevelStatistics& stats, const TMeterSettings& settings, int32_t level) {
    if (level >= RunTimeGate(settings) || settings.ThresholdIgnore) {
        stats.SumOfSquares += static_cast<double>(static_cast<int64_t>(level) * level);
        stats.SquareCount += 1;
    }
    stats.RunTimeAverage =
        static_cast<int32_t>(std::trunc(std::sqrt(stats.SumOfSquares / stats.SquareCount)));
    return stats.RingPosition == 0;
}

void UpdateTargetTimes(TLevelStatistics& stats, uint32_t now, int32_t levelHeight,
                       int32_t target1Height, int32_t target2Height, int32_t thresholdHeight) {
    if (levelHeight < target1Height) {
        stats.OverMarkTick = now;
    }
    if (levelHeight >= target1Height) {
        stats.OverTargetMs = AddWrapping(stats.OverTargetMs, now - stats.OverMarkTick);
        stats.OverMarkTick = now;
    }
    if (levelHeight > target2Height) {
        stats.UnderMarkTick = now;
    }
    if (levelHeight <= target2Height && levelHeight >= thresholdHeight) {
        stats.UnderTargetMs = AddWrapping(stats.UnderTargetMs, now - stats.UnderMarkTick);
        stats.UnderMarkTick = now;
    }
}

}  // namespace tarnwick
