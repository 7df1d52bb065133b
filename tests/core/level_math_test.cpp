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

}  // namespace
}  // namespace tarnwick
