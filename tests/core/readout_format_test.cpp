#include "display/readout_format.h"

#include <gtest/gtest.h>

#include "core/level_math.h"
#include "core/number_format.h"
#include "results/duration_format.h"
#include "results/results_records.h"

namespace tarnwick {
namespace {

TEST(ReadoutFormat, LevelReadouts) {
    EXPECT_EQ(FormatLevelReadout(-23.456, U'.'), " -23.5");
    EXPECT_EQ(FormatLevelReadout(95.0, U'.'), " 95.0");
    EXPECT_EQ(FormatLevelReadout(-101.0, U'.'), " -101.0");
    EXPECT_EQ(FormatLevelReadout(-23.45, U'.'), " -23.5");  // ties away from zero
    EXPECT_EQ(FormatLevelReadout(ReadoutDb(1000, -2.0, 0), U'.'), " -30.3");
    EXPECT_EQ(FormatLevelReadout(ReadoutDb(1000, -2.0, 95), U'.'), " 64.7");
    EXPECT_EQ(FormatLevelReadout(ReadoutDb(0, -2.0, 0), U'.'), " -101.0");
    EXPECT_EQ(FormatLevelReadout(0.0, U'.'), " 0.0");
    EXPECT_EQ(FormatLevelReadout(-0.04, U'.'), " 0.0");
    EXPECT_EQ(FormatLevelReadout(-23.456, U','), " -23,5");
    EXPECT_EQ(kLowReadout, "low ");
}

TEST(ReadoutFormat, SystemMax) {
    EXPECT_EQ(FormatSystemMax(AmplitudeToDb(16384, 0.0), U'.'), "System Max -6.0");
    EXPECT_EQ(FormatSystemMax(-90.309, U'.'), "System Max -90.3");
    EXPECT_EQ(FormatSystemMax(0.0, U'.'), "System Max 0.0");
    EXPECT_EQ(FormatSystemMax(AmplitudeToDb(1, 0.0), U'.'), "System Max -90.3");
    EXPECT_EQ(FormatSystemMax(-12.36, U'.'), "System Max -12.4");
    EXPECT_EQ(FormatSystemMax(-6.0206, U','), "System Max -6,0");
    EXPECT_EQ(FormatSystemMax(-3.4487, U'.'), "System Max -3.4");
    // 32767 is 0.00027 dB below full scale.
    const std::string nearTop = FormatSystemMax(AmplitudeToDb(32767, 0.0), U'.');
    EXPECT_TRUE(nearTop == "System Max 0.0" || nearTop == "System Max -0.0") << nearTop;
}

TEST(ReadoutFormat, AverageTime) {
    EXPECT_EQ(FormatAverageTime(0.3, U'.'), "Time 0.3 Secs");
    EXPECT_EQ(FormatAverageTime(14 * 882 / 44100.0, U'.'), "Time 0.28 Secs");
    EXPECT_EQ(FormatAverageTime(1.0, U'.'), "Time 1 Secs");
    EXPECT_EQ(FormatAverageTime(10.0, U'.'), "Time 10 Secs");
    EXPECT_EQ(FormatAverageTime(0.02, U'.'), "Time 0.02 Secs");
    EXPECT_EQ(FormatAverageTime(2.994, U'.'), "Time 3 Secs");
    EXPECT_EQ(FormatAverageTime(0.28, U','), "Time 0,28 Secs");
}

TEST(NumberFormat, ResultsNumbers) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {9.17, "9.2"},
        {12.34, "12.3"},
        {99.96, "100.0"},
        {100.4, "100.0"},
        {105.37, "105.0"},
        {-3.46, "-3.5"},
        {0.0, "0.0"},
        {100.0, "100.0"},
        {-99.0, "-99.0"},
        {-101.0, "-101.0"},
        {0.04, "0.0"},
        {89.539, "89.5"},
        {1.1666, "1.2"},
        {9.2222, "9.2"},
        {0.123, "0.1"},
        {999.6, "1000.0"},
        // Rounded once: to three digits first and then to one decimal would
        // give 3.9, -3.5 and 9.2.
        {3.846, "3.8"},
        {-3.4487, "-3.4"},
        {9.149, "9.1"},
        {-0.049, "0.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatResultsNumber(c.value, U'.'), c.text) << c.value;
    }
    EXPECT_EQ(FormatResultsNumber(9.17, U','), "9,2");
    EXPECT_EQ(FormatResultsNumber(-3.46, U','), "-3,5");
    // Separators outside ASCII are written as UTF-8.
    EXPECT_EQ(FormatResultsNumber(9.17, U'\u066B'),
              "9\xD9\xAB"
              "2");
}

TEST(NumberFormat, FixedAndGeneral) {
    EXPECT_EQ(FormatFixed(1234567.89, 7, 1, U'.'), "1234568.0");
    EXPECT_EQ(FormatFixed(-0.04, 3, 1, U'.'), "0.0");
    EXPECT_EQ(FormatFixed(0.05, 3, 1, U'.'), "0.1");
    EXPECT_EQ(FormatFixed(2.25, 3, 1, U'.'), "2.3");
    EXPECT_EQ(FormatGeneral(0.28, 2, U'.'), "0.28");
    EXPECT_EQ(FormatGeneral(0.275, 2, U'.'), "0.28");
    EXPECT_EQ(FormatGeneral(0.0, 2, U'.'), "0");
    EXPECT_EQ(FormatGeneral(-0.5, 2, U'.'), "-0.5");
    EXPECT_EQ(DecimalSeparatorText(U','), ",");
    EXPECT_EQ(DecimalSeparatorText(U'\u00B7'), "\xC2\xB7");
}

// Durations use true units: 1000 ms a second, 60,000 a minute, 3,600,000 an hour.
TEST(DurationFormat, ReadoutsAndRecords) {
    struct Case {
        uint32_t ms;
        const char* plain;
        const char* tenths;
        const char* record;
    };
    const Case cases[] = {
        {0, "0:00:00", "0:00:00.0", "00:00:00"},
        {99, "0:00:00", "0:00:00.0", "00:00:00"},
        {100, "0:00:00", "0:00:00.1", "00:00:00"},
        {999, "0:00:00", "0:00:00.9", "00:00:00"},
        {1000, "0:00:01", "0:00:01.0", "00:00:01"},
        {59999, "0:00:59", "0:00:59.9", "00:00:59"},
        {60000, "0:01:00", "0:01:00.0", "00:01:00"},
        {83000, "0:01:23", "0:01:23.0", "00:01:23"},
        {90000, "0:01:30", "0:01:30.0", "00:01:30"},
        {900000, "0:15:00", "0:15:00.0", "00:15:00"},
        {3599999, "0:59:59", "0:59:59.9", "00:59:59"},
        {3600000, "1:00:00", "1:00:00.0", "01:00:00"},
        {3723456, "1:02:03", "1:02:03.4", "01:02:03"},
        {36000000, "10:00:00", "10:00:00.0", "10:00:00"},
        {360000000, "100:00:00", "100:00:00.0", "100:00:00"},
        {4294967295u, "1193:02:47", "1193:02:47.2", "1193:02:47"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDuration(c.ms, false), c.plain) << c.ms;
        EXPECT_EQ(FormatDuration(c.ms, true), c.tenths) << c.ms;
        EXPECT_EQ(FormatRecordDuration(c.ms), c.record) << c.ms;
    }
}

}  // namespace
}  // namespace tarnwick
