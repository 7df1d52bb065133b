#include "core/level_statistics.h"

#include <gtest/gtest.h>

#include "core/level_math.h"
#include "core/meter_settings.h"
#include "results/test_run.h"

namespace tarnwick {
namespace {

TEST(DerivedSettings, BlockBytesForSweep) {
    EXPECT_EQ(BlockBytesForSweep(10.0), 3528);  // 882 frames, 20 ms
    EXPECT_EQ(BlockBytesForSweep(1.0), 352);
    EXPECT_EQ(BlockBytesForSweep(2.0), 704);
    EXPECT_EQ(BlockBytesForSweep(60.0), 21168);
    EXPECT_EQ(BlockBytesForSweep(181.0), 63856);
    EXPECT_EQ(BlockBytesForSweep(200.0), 64000);
    // Whole frames only.
    EXPECT_EQ(BlockBytesForSweep(1.01) % 4, 0);
}

TEST(DerivedSettings, AverageLengthFor) {
    EXPECT_EQ(AverageLengthFor(0.3, 3528), 14);  // 14.999... truncated
    EXPECT_EQ(AverageLengthFor(1.0, 3528), 50);
    EXPECT_EQ(AverageLengthFor(0.0, 3528), 1);
    EXPECT_EQ(AverageLengthFor(0.01, 3528), 1);
    EXPECT_EQ(AverageLengthFor(1.0, 352), 501);  // the dialog's cap of 500 is not applied
    // 5011 blocks of 88 frames in 10 s: above the ring, so 1020.
    EXPECT_EQ(AverageLengthFor(10.0, 352), 1020);
    EXPECT_EQ(AverageLengthFor(10.0, 3528), 500);

    const TMeterSettings loaded = DefaultSettings();
    EXPECT_EQ(loaded.BlockBytes, 3528);
    EXPECT_EQ(loaded.AverageLength, 14);
    EXPECT_DOUBLE_EQ(loaded.CalibrationFactor, CalibrationFactorFor(-2.0));
}

TEST(ShortTermAverage, ReadoutIsDueOnceEveryAverageLength) {
    TLevelStatistics stats;
    constexpr int32_t kLength = 14;
    for (int block = 1; block <= 3 * kLength; ++block) {
        const bool due = UpdateShortTermAverage(stats, kLength, 700, 1400);
        EXPECT_EQ(due, block % kLength == 0) << "block " << block;
        EXPECT_EQ(stats.RingPosition, block % kLength);
        // Zeros of the cleared ring count until it has filled.
        const int filled = block < kLength ? block : kLength;
        EXPECT_DOUBLE_EQ(stats.ShortAverage1, 700.0 * filled / kLength);
        EXPECT_DOUBLE_EQ(stats.ShortAverage2, 1400.0 * filled / kLength);
    }

    // A single peak of 7 among zeros averages to 0.5.
    TLevelStatistics single;
    UpdateShortTermAverage(single, kLength, 7, 0);
    for (int i = 1; i < kLength; ++i) {
        UpdateShortTermAverage(single, kLength, 0, 0);
    }
    EXPECT_DOUBLE_EQ(single.ShortAverage1, 0.5);
    EXPECT_EQ(single.RingPosition, 0);
}

TEST(ShortTermAverage, ShorterLengthWrapsAPositionBeyondIt) {
    TLevelStatistics stats;
    for (int i = 0; i < 10; ++i) {
        UpdateShortTermAverage(stats, 14, 100, 100);
    }
    ASSERT_EQ(stats.RingPosition, 10);
    // The length drops to 5 while the position is at 10.
    EXPECT_TRUE(UpdateShortTermAverage(stats, 5, 100, 100));
    EXPECT_EQ(stats.RingPosition, 0);
    EXPECT_DOUBLE_EQ(stats.ShortAverage1, 100.0);

    ClearShortRings(stats);
    EXPECT_EQ(stats.RingPosition, 0);
    EXPECT_FALSE(UpdateShortTermAverage(stats, 5, 50, 0));
    EXPECT_DOUBLE_EQ(stats.ShortAverage1, 10.0);

    // A length of 1: every block is due and the average is the block.
    TLevelStatistics one;
    EXPECT_TRUE(UpdateShortTermAverage(one, 1, 321, 123));
    EXPECT_TRUE(UpdateShortTermAverage(one, 1, 222, 111));
    EXPECT_DOUBLE_EQ(one.ShortAverage1, 222.0);
    EXPECT_DOUBLE_EQ(one.ShortAverage2, 111.0);
}

TMeterSettings GateSettings(double calibration, int32_t threshold) {
    TMeterSettings s = DefaultSettings();
    s.Calibration = calibration;
    s.CalibrationFactor = PipelineCalibrationFactorFor(calibration);
    s.Threshold = threshold;
    return s;
}

TEST(RunTimeAverage, FirstAdmittedBlockCountsHalf) {
    TLevelStatistics stats;
    TTestRun run;
    ResetPeriod(run, stats, 0);
    const TMeterSettings settings = GateSettings(0.0, -30);
    UpdateRunTimeAverage(stats, settings, 1000);
    EXPECT_EQ(stats.SquareCount, 2);
    EXPECT_DOUBLE_EQ(stats.SumOfSquares, 1000000.0);
    EXPECT_EQ(stats.RunTimeAverage, 707);

    UpdateRunTimeAverage(stats, settings, 1000);
    EXPECT_EQ(stats.RunTimeAverage, 816);  // sqrt(2e6 / 3)

    // Full-scale products are exact.
    TLevelStatistics loud;
    UpdateRunTimeAverage(loud, settings, kFullScale);
    EXPECT_DOUBLE_EQ(loud.SumOfSquares, 1073741824.0);
    EXPECT_EQ(loud.RunTimeAverage, 23170);
}

TEST(RunTimeAverage, GateLiesBelowTheThresholdByTheCalibrationFactor) {
    const TMeterSettings zero = GateSettings(0.0, -30);
    EXPECT_EQ(RunTimeGate(zero), 328);  // not 1036
    EXPECT_EQ(RunTimeGate(GateSettings(-2.0, -30)), 415);

    TLevelStatistics stats;
    UpdateRunTimeAverage(stats, zero, 400);  // below the threshold line, above the gate
    EXPECT_EQ(stats.SquareCount, 2);
    UpdateRunTimeAverage(stats, zero, 328);
    EXPECT_EQ(stats.SquareCount, 3);
    UpdateRunTimeAverage(stats, zero, 327);
    EXPECT_EQ(stats.SquareCount, 3);

    // A period in which no block reaches the gate.
    TLevelStatistics quiet;
    for (int i = 0; i < 20; ++i) {
        UpdateRunTimeAverage(quiet, zero, 300);
    }
    EXPECT_EQ(quiet.SquareCount, 1);
    EXPECT_EQ(quiet.RunTimeAverage, 0);

    TMeterSettings ignore = zero;
    ignore.ThresholdIgnore = true;
    UpdateRunTimeAverage(quiet, ignore, 0);
    UpdateRunTimeAverage(quiet, ignore, 300);
    EXPECT_EQ(quiet.SquareCount, 3);
    EXPECT_EQ(quiet.RunTimeAverage, 173);  // sqrt(90000 / 3)
}

TEST(RunTimeAverage, ReadoutIsDueWhenTheRingIsAtZero) {
    TLevelStatistics stats;
    const TMeterSettings settings = GateSettings(0.0, -30);
    EXPECT_TRUE(UpdateRunTimeAverage(stats, settings, 1000));
    stats.RingPosition = 3;
    EXPECT_FALSE(UpdateRunTimeAverage(stats, settings, 1000));
}

TEST(RunTimeAverage, ResetPeriodKeepsRingsMarksAndAverage) {
    TLevelStatistics stats;
    stats.OverTargetMs = 10;
    stats.UnderTargetMs = 20;
    stats.SumOfSquares = 5.0;
    stats.SquareCount = 9;
    stats.SystemMax = 300;
    stats.RunTimeAverage = 44;
    stats.RingPosition = 4;
    stats.ShortRing1[0] = 12;
    stats.OverMarkTick = 77;
    stats.UnderMarkTick = 88;
    TTestRun run;
    ResetPeriod(run, stats, 1234);
    EXPECT_EQ(stats.OverTargetMs, 0);
    EXPECT_EQ(stats.UnderTargetMs, 0);
    EXPECT_EQ(stats.SumOfSquares, 0.0);
    EXPECT_EQ(stats.SquareCount, 1);
    EXPECT_EQ(stats.SystemMax, 0);
    EXPECT_EQ(run.PeriodStartTick, 1234u);
    EXPECT_EQ(stats.RunTimeAverage, 44);
    EXPECT_EQ(stats.RingPosition, 4);
    EXPECT_EQ(stats.ShortRing1[0], 12);
    EXPECT_EQ(stats.OverMarkTick, 77u);
    EXPECT_EQ(stats.UnderMarkTick, 88u);
}

// Heights for the target-time tests: target 1 at 200, target 2 at 100, threshold at 50.
constexpr int32_t kT1 = 200;
constexpr int32_t kT2 = 100;
constexpr int32_t kTh = 50;

TEST(TargetTimes, SteadyBlocksAboveTarget1AddTheirIntervals) {
    TLevelStatistics stats;
    uint32_t now = 100000;
    UpdateTargetTimes(stats, now, 150, kT1, kT2, kTh);  // below target 1: marks the tick
    EXPECT_EQ(stats.OverTargetMs, 0);
    for (int i = 0; i < 500; ++i) {  // 10 s of 20 ms blocks
        now += 20;
        UpdateTargetTimes(stats, now, kT1, kT1, kT2, kTh);
    }
    EXPECT_EQ(stats.OverTargetMs, 10000);
    EXPECT_EQ(stats.UnderTargetMs, 0);
}

TEST(TargetTimes, AlternatingBlocksAddOnlyIntervalsEndingAboveTarget1) {
    TLevelStatistics stats;
    uint32_t now = 100000;
    UpdateTargetTimes(stats, now, 150, kT1, kT2, kTh);
    for (int i = 0; i < 10; ++i) {
        now += 20;
        UpdateTargetTimes(stats, now, 250, kT1, kT2, kTh);  // adds 20
        now += 30;
        UpdateTargetTimes(stats, now, 150, kT1, kT2, kTh);  // adds nothing
    }
    EXPECT_EQ(stats.OverTargetMs, 200);
}

TEST(TargetTimes, UnderTarget2CountsOnlyInsideTheBand) {
    TLevelStatistics stats;
    uint32_t now = 100000;
    UpdateTargetTimes(stats, now, 150, kT1, kT2, kTh);  // above target 2: marks
    now += 20;
    UpdateTargetTimes(stats, now, kT2, kT1, kT2, kTh);  // at target 2: in the band
    EXPECT_EQ(stats.UnderTargetMs, 20);
    now += 20;
    UpdateTargetTimes(stats, now, kTh, kT1, kT2, kTh);  // at the threshold: in the band
    EXPECT_EQ(stats.UnderTargetMs, 40);

    // Below the threshold: neither adds nor moves the mark...
    for (int i = 0; i < 5; ++i) {
        now += 20;
        UpdateTargetTimes(stats, now, kTh - 1, kT1, kT2, kTh);
    }
    EXPECT_EQ(stats.UnderTargetMs, 40);
    EXPECT_EQ(stats.UnderMarkTick, now - 100);
    // ...so the time is added when the level returns into the band.
    now += 20;
    UpdateTargetTimes(stats, now, 75, kT1, kT2, kTh);
    EXPECT_EQ(stats.UnderTargetMs, 160);

    // And dropped when it next rises above target 2.
    for (int i = 0; i < 5; ++i) {
        now += 20;
        UpdateTargetTimes(stats, now, 0, kT1, kT2, kTh);
    }
    now += 20;
    UpdateTargetTimes(stats, now, kT2 + 1, kT1, kT2, kTh);
    EXPECT_EQ(stats.UnderTargetMs, 160);
    EXPECT_EQ(stats.UnderMarkTick, now);
    EXPECT_EQ(stats.OverTargetMs, 0);
}

TEST(TargetTimes, TicksAndTotalsWrapAround) {
    TLevelStatistics stats;
    uint32_t now = 0xFFFFFFF0u;
    UpdateTargetTimes(stats, now, 150, kT1, kT2, kTh);
    now += 20;  // wraps to 4
    EXPECT_EQ(now, 4u);
    UpdateTargetTimes(stats, now, 300, kT1, kT2, kTh);
    EXPECT_EQ(stats.OverTargetMs, 20);

    UpdateTargetTimes(stats, now, 75, kT1, kT2, kTh);
    now += 20;
    UpdateTargetTimes(stats, now, 75, kT1, kT2, kTh);
    EXPECT_EQ(stats.UnderTargetMs, 20);

    // The 32-bit totals wrap after 24.8 days of counted time.
    TLevelStatistics full;
    full.OverTargetMs = 0x7FFFFFF0;
    full.OverMarkTick = 1000;
    UpdateTargetTimes(full, 1032, 300, kT1, kT2, kTh);
    EXPECT_EQ(static_cast<uint32_t>(full.OverTargetMs), 0x80000010u);
}

}  // namespace
}  // namespace tarnwick
