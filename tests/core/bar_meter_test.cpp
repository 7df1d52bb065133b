#include "display/bar_meter.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(BarMeter, DecayStepAndHoldLengthFollowTheSweep) {
    EXPECT_EQ(BarDecayStep(10.0), 2);
    EXPECT_EQ(HoldLength(10.0), 50);
    EXPECT_EQ(BarDecayStep(1.0), 1);  // Trunc(0.2) raised to 1
    EXPECT_EQ(HoldLength(1.0), 500);
    EXPECT_EQ(BarDecayStep(60.0), 12);
    EXPECT_EQ(HoldLength(60.0), 8);
    EXPECT_EQ(BarDecayStep(7.5), 1);
    EXPECT_EQ(HoldLength(7.5), 66);
}

TEST(BarMeter, SingleLoudBlockFallsAndHoldsForOneSecond) {
    TBarState bars;
    // Block 1 is loud: the bar jumps, a hold is taken and the readout is due.
    TBarFrame frame = UpdateBarMeters(bars, false, 10.0, 300, 0, 0);
    EXPECT_EQ(frame.bar1, 300);
    EXPECT_EQ(frame.mark1, 300);
    EXPECT_TRUE(frame.peakReadoutDue);

    for (int after = 1; after <= 160; ++after) {
        frame = UpdateBarMeters(bars, false, 10.0, 0, 0, 0);
        const int32_t expectedBar = 300 - 2 * after < 1 ? 1 : 300 - 2 * after;
        ASSERT_EQ(frame.bar1, expectedBar) << "block " << after << " after";
        // The loud block and the 49 after it carry the mark.
        ASSERT_EQ(frame.mark1, after <= 49 ? 300 : 0) << "block " << after << " after";
        ASSERT_EQ(bars.HoldHeight1, after < 49 ? 300 : 0) << "block " << after << " after";
        // While the hold stands the falling bar is below it; after it the bar
        // lies above the cleared hold, so the readout is rewritten ("low ").
        ASSERT_EQ(frame.peakReadoutDue, after >= 50) << "block " << after << " after";
    }
    EXPECT_EQ(bars.MonoBar, 1);
    EXPECT_EQ(bars.HoldCount1, 0);
}

TEST(BarMeter, BarMayEndBelowItsLevelForOneBlock) {
    TBarState bars;
    UpdateBarMeters(bars, false, 10.0, 100, 0, 0);
    EXPECT_EQ(UpdateBarMeters(bars, false, 10.0, 99, 0, 0).bar1, 98);
    EXPECT_EQ(UpdateBarMeters(bars, false, 10.0, 99, 0, 0).bar1, 99);
    EXPECT_EQ(UpdateBarMeters(bars, false, 10.0, 500, 0, 0).bar1, kBarMaxHeight);
}

TEST(BarMeter, SilenceKeepsBarsAtOneAndNoHold) {
    TBarState bars;
    for (int i = 0; i < 100; ++i) {
        for (bool stereo : {false, true}) {
            const TBarFrame frame = UpdateBarMeters(bars, stereo, 10.0, 0, 0, 0);
            ASSERT_EQ(frame.bar1, 1);
            ASSERT_EQ(frame.mark1, 0);
            ASSERT_EQ(frame.mark2, 0);
        }
    }
    EXPECT_EQ(bars.MonoBar, 1);
    EXPECT_EQ(bars.LeftBar, 1);
    EXPECT_EQ(bars.RightBar, 1);
    EXPECT_EQ(bars.HoldHeight1, 0);
    EXPECT_EQ(bars.HoldHeight2, 0);
}

TEST(BarMeter, StereoLeftSilentRightLoud) {
    TBarState bars;
    TBarFrame frame = UpdateBarMeters(bars, true, 10.0, 250, 0, 250);
    EXPECT_TRUE(frame.stereo);
    EXPECT_EQ(frame.bar1, 1);
    EXPECT_EQ(frame.mark1, 0);
    EXPECT_EQ(frame.bar2, 250);
    EXPECT_EQ(frame.mark2, 250);
    // The readout follows the left bar: 1 above a hold of 0.
    EXPECT_TRUE(frame.peakReadoutDue);

    frame = UpdateBarMeters(bars, true, 10.0, 200, 0, 200);
    EXPECT_EQ(frame.bar2, 248);
    EXPECT_EQ(frame.mark2, 250);
    // A louder right block takes a new hold at once.
    frame = UpdateBarMeters(bars, true, 10.0, 260, 0, 260);
    EXPECT_EQ(frame.bar2, 260);
    EXPECT_EQ(frame.mark2, 260);
    EXPECT_EQ(bars.HoldCount2, 49);
    EXPECT_EQ(bars.HoldHeight1, 0);
    // All bars move in every mode.
    EXPECT_EQ(bars.MonoBar, 260);
}

TEST(BarMeter, PeakReadoutIsDueWhenTheBarRisesAboveItsHold) {
    TBarState bars;
    EXPECT_TRUE(UpdateBarMeters(bars, false, 10.0, 100, 0, 0).peakReadoutDue);
    EXPECT_FALSE(UpdateBarMeters(bars, false, 10.0, 100, 0, 0).peakReadoutDue);
    EXPECT_FALSE(UpdateBarMeters(bars, false, 10.0, 90, 0, 0).peakReadoutDue);
    EXPECT_TRUE(UpdateBarMeters(bars, false, 10.0, 101, 0, 0).peakReadoutDue);
    EXPECT_EQ(bars.HoldHeight1, 101);
    EXPECT_EQ(bars.HoldCount1, 49);

    // A level above the hold while the bar is still falling from higher takes
    // the hold at the bar's height.
    TBarState falling;
    UpdateBarMeters(falling, false, 60.0, 300, 0, 0);  // hold 8 blocks
    for (int i = 0; i < 7; ++i) {
        UpdateBarMeters(falling, false, 60.0, 0, 0, 0);
    }
    EXPECT_EQ(falling.HoldHeight1, 0);
    EXPECT_EQ(falling.MonoBar, 300 - 7 * 12);
    const TBarFrame frame = UpdateBarMeters(falling, false, 60.0, 10, 0, 0);
    EXPECT_EQ(frame.bar1, 300 - 8 * 12);
    EXPECT_EQ(frame.mark1, 300 - 8 * 12);
    EXPECT_TRUE(frame.peakReadoutDue);
}

}  // namespace
}  // namespace tarnwick
