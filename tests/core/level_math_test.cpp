#include "core/level_math.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(LevelMath, DecibelsOfAmplitudes) {
    EXPECT_EQ(AmplitudeToDb(0, -2.0), -99.0);
    EXPECT_EQ(AmplitudeToDb(0, 7.0), -99.0);
    EXPECT_DOUBLE_EQ(AmplitudeToDb(32768, 0.0), 0.0);
    EXPECT_NEAR(AmplitudeToDb(16384, 0.0), -6.0206, 1e-4);
    EXPECT_NEAR(AmplitudeToDb(1, 0.0), -90.309, 1e-3);
}

TEST(LevelMath, AmplitudesOfDecibels) {
    EXPECT_EQ(DbToAmplitude(0), 32768);
    EXPECT_EQ(DbToAmplitude(-1), 29205);
    EXPECT_EQ(DbToAmplitude(-10), 10362);
    EXPECT_EQ(DbToAmplitude(-20), 3277);
    EXPECT_EQ(DbToAmplitude(-30), 1036);
    EXPECT_EQ(DbToAmplitude(-40), 328);
    EXPECT_EQ(DbToAmplitude(-60), 33);
    EXPECT_EQ(DbToAmplitude(-99), 0);
}

// A table whose entry i is i, so that a lookup shows the index it used.
HeightTable IdentityTable() {
    HeightTable table{};
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<int32_t>(i);
    }
    return table;
}

TEST(LevelMath, HeightIndexRoundsHalvesToEven) {
    const HeightTable table = IdentityTable();
    EXPECT_EQ(AmplitudeToHeight(15, 10.0, table), 2);
    EXPECT_EQ(AmplitudeToHeight(25, 10.0, table), 2);
    EXPECT_EQ(AmplitudeToHeight(35, 10.0, table), 4);
    EXPECT_EQ(AmplitudeToHeight(14, 10.0, table), 1);
    EXPECT_EQ(AmplitudeToHeight(26, 10.0, table), 3);
    // Averages are doubles: 0.5 of a step rounds to 0, 1.5 to 2.
    EXPECT_EQ(AmplitudeToHeight(5.0, 10.0, table), 0);
    EXPECT_EQ(AmplitudeToHeight(15.0, 10.0, table), 2);
    EXPECT_EQ(AmplitudeToHeight(0, 10.0, table), 0);
}

TEST(LevelMath, HeightIndexStopsAtTheTopOfTheTable) {
    const HeightTable table = IdentityTable();
    // Calibration 0: full scale is 3276.8 steps, rounded to the last index.
    EXPECT_EQ(AmplitudeToHeight(kFullScale, CalibrationFactorFor(0.0), table), 3277);
    EXPECT_EQ(AmplitudeToHeight(32767, CalibrationFactorFor(0.0), table), 3277);
    // Calibration -2: the top is reached 2 dB below full scale, from 26027 on.
    const double factor = CalibrationFactorFor(-2.0);
    EXPECT_EQ(AmplitudeToHeight(26026, factor, table), 3276);
    EXPECT_EQ(AmplitudeToHeight(26027, factor, table), 3277);
    EXPECT_EQ(AmplitudeToHeight(30000, factor, table), 3277);
    EXPECT_EQ(AmplitudeToHeight(kFullScale, factor, table), 3277);
    EXPECT_EQ(AmplitudeToHeight(32768.0, 1.0, table), 3277);
}

TEST(LevelMath, CalibrationFactors) {
    EXPECT_DOUBLE_EQ(CalibrationFactorFor(0.0), 10.0);
    EXPECT_NEAR(CalibrationFactorFor(-2.0), 7.943, 1e-3);
    EXPECT_NEAR(CalibrationFactorFor(-4.0), 6.310, 1e-3);
    EXPECT_NEAR(CalibrationFactorFor(-20.0), 1.0, 1e-12);
    // The loader keeps a factor below 1; the pipeline raises it to 1.
    EXPECT_NEAR(CalibrationFactorFor(-25.0), 0.562, 1e-3);
    EXPECT_DOUBLE_EQ(PipelineCalibrationFactorFor(-25.0), 1.0);
    EXPECT_DOUBLE_EQ(PipelineCalibrationFactorFor(-60.0), 1.0);
    EXPECT_NEAR(PipelineCalibrationFactorFor(-2.0), 7.943, 1e-3);
}

TEST(LevelMath, ReadoutValues) {
    // The calibration cancels out for any amplitude above 0.
    EXPECT_NEAR(ReadoutDb(1000, -2.0, 0), -30.309, 1e-3);
    EXPECT_NEAR(ReadoutDb(1000, 0.0, 0), -30.309, 1e-3);
    EXPECT_NEAR(ReadoutDb(1000, -7.5, 0), -30.309, 1e-3);
    EXPECT_NEAR(ReadoutDb(1000, -2.0, 95), 64.691, 1e-3);
    EXPECT_NEAR(ReadoutDb(kFullScale, -2.0, 0), 0.0, 1e-12);
    // Silence keeps the calibration: -99 + offset + calibration.
    EXPECT_DOUBLE_EQ(ReadoutDb(0, -2.0, 0), -101.0);
    EXPECT_DOUBLE_EQ(ReadoutDb(0, -2.0, 95), -6.0);
}

TEST(LevelMath, RoundingHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3.0);
    EXPECT_EQ(RoundHalfEven(3276.8), 3277.0);
}

}  // namespace
}  // namespace tarnwick
