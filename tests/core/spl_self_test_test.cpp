// The self-test the user runs passes on this build, every check of it; the
// limits it judges with are the standard's, row for row; and the design
// goals it expects, worked out from the constants of Annex E, round to the
// weightings Table 3 prints.

#include "spl/self_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "spl/class1_limits.h"
#include "spl/iec61672_tables.h"
#include "spl/weighting_design_goal.h"

namespace tarnwick {
namespace {

TEST(SoundLevelSelfTest, EveryCheckPasses) {
    const std::vector<SelfTestRow> rows = RunSoundLevelSelfTest();
    const std::string table = FormatSelfTestTable(rows);
    EXPECT_TRUE(AllPassed(rows)) << table;
    const std::string all = std::to_string(rows.size());
    EXPECT_NE(table.find("\n" + all + " of " + all + " checks passed\n"), std::string::npos);
}

// "31.5", "0.25".
std::string Figure(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// Exactly: both are transcriptions of the same printed figures.
void ExpectLimits(const AcceptanceLimits& judged, const iec61672::PrintedLimits& printed,
                  const std::string& where) {
    EXPECT_EQ(judged.above, printed.plus) << where;
    EXPECT_EQ(judged.below, printed.minus) << where;
}

TEST(SoundLevelSelfTest, JudgesWithTheClass1LimitsOfTheStandard) {
    for (const iec61672::FrequencyWeightingRow& row : iec61672::kTable3) {
        ExpectLimits(FrequencyWeightingLimits(row.nominalHz), row.class1,
                     "Table 3, " + Figure(row.nominalHz) + " Hz");
    }
    for (const iec61672::FastAndExposureToneBurstRow& row : iec61672::kTable4FastAndExposure) {
        const std::string where = "Table 4, " + Figure(row.durationMs) + " ms, ";
        ExpectLimits(ToneBurstLimits(ToneBurstResponse::kFast, row.durationMs), row.class1,
                     where + "F");
        ExpectLimits(ToneBurstLimits(ToneBurstResponse::kExposure, row.durationMs), row.class1,
                     where + "LAE");
    }
    for (const iec61672::SlowToneBurstRow& row : iec61672::kTable4Slow) {
        ExpectLimits(ToneBurstLimits(ToneBurstResponse::kSlow, row.durationMs), row.class1,
                     "Table 4, " + Figure(row.durationMs) + " ms, S");
    }
    for (const iec61672::PeakCRow& row : iec61672::kTable5) {
        ExpectLimits(PeakCLimits(row.nominalHz), row.class1,
                     "Table 5, " + Figure(row.nominalHz) + " Hz");
    }
    ExpectLimits(kWeightingsAt1kHzLimits, iec61672::kWeightingsAt1kHz, "5.5.9");
    ExpectLimits(kLinearityLimits, iec61672::kLevelLinearity, "5.6.5");
    ExpectLimits(kTimeWeightingsAt1kHzLimits, iec61672::kTimeWeightingsAt1kHz, "5.8.3");
    ExpectLimits(kOverloadDifferenceLimits,
                 {iec61672::kOverloadDifferenceDb, -iec61672::kOverloadDifferenceDb}, "5.11.3");
}

TEST(SoundLevelSelfTest, DesignGoalsRoundToTheWeightingsOfTable3) {
    // Table 3 gives the design goals at the exact frequencies of its bands
    // (base 10), rounded to 0.1 dB. The slack over half a step covers a goal
    // that lies on a half step, printed rounded away from zero.
    constexpr double kHalfStepDb = 0.05;
    constexpr double kSlackDb = 0.001;
    for (const iec61672::FrequencyWeightingRow& row : iec61672::kTable3) {
        const double band = std::round(10.0 * std::log10(row.nominalHz / iec61672::kFrHz));
        const double exactHz = iec61672::kFrHz * std::pow(10.0, band / 10.0);
        SCOPED_TRACE(Figure(row.nominalHz) + " Hz");
        EXPECT_NEAR(WeightingDesignGoalDb(FrequencyWeighting::kA, exactHz), row.aDb,
                    kHalfStepDb + kSlackDb);
        EXPECT_NEAR(WeightingDesignGoalDb(FrequencyWeighting::kC, exactHz), row.cDb,
                    kHalfStepDb + kSlackDb);
    }
}

}  // namespace
}  // namespace tarnwick
