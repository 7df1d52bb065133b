// The block pipeline of MeterApp: blocks from the scripted device through the
// analyser, the lamp, the statistics, the test clock and the readouts.

#include <gtest/gtest.h>

#include <vector>

#include "core/level_math.h"
#include "display/readout_format.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

class BlockPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        // A fixed averaging length, whatever the loader derives.
        settings.AverageLength = 14;
    }
    void Create() { h.Create(settings); }

    TMeterSettings settings = fakes::PlainLevelSettings();
    AppHarness h;
};

TEST_F(BlockPipeline, CaptureKeepsThreeBlocksQueued) {
    Create();
    EXPECT_TRUE(h.wave.started);
    EXPECT_EQ(h.wave.queued.size(), 3u);
    EXPECT_EQ(h.app.captureEngine().OutstandingBlocks, 3);
    EXPECT_EQ(h.wave.queued.front()->bufferLength, 3528);
    h.Blocks(5, Frame{});
    EXPECT_EQ(h.wave.delivered, 5);
    EXPECT_EQ(h.wave.queued.size(), 3u);
    EXPECT_EQ(h.app.captureEngine().OutstandingBlocks, 3);
    EXPECT_EQ(h.process.endCalls, 0);
}

TEST_F(BlockPipeline, SilenceReadsZeroAndNothingPastTheBlock) {
    Create();
    h.Blocks(20, Frame{});
    const TBlockLevels& levels = h.app.lastLevels();
    EXPECT_EQ(levels.LeftPeak, 0);
    EXPECT_EQ(levels.RightPeak, 0);
    EXPECT_EQ(levels.Level, 0);
    EXPECT_EQ(h.app.view().tooHigh, kLampDark);
    EXPECT_EQ(h.app.view().PeakDisplay, "low ");
    EXPECT_EQ(h.app.view().ShortAvglDisplay, "low ");
    EXPECT_EQ(h.app.bars().LeftBar, 1);
    EXPECT_EQ(h.app.bars().HoldHeight1, 0);
}

TEST_F(BlockPipeline, WhatTheDeviceDidNotFillReadsAsSilence) {
    Create();
    // A block returned part-filled by a device reset: 100 frames recorded.
    h.AdvanceTo(20);
    h.wave.Deliver([](int32_t) { return Frame{1000, 2000}; }, 400);
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 1000);
    EXPECT_EQ(h.app.lastLevels().RightPeak, 2000);
    h.AdvanceTo(40);
    h.wave.Deliver([](int32_t) { return Frame{1000, 2000}; }, 0);
    EXPECT_EQ(h.app.lastLevels().Level, 0);

    // The sweep time doubles: the blocks already queued are read with the new
    // length, the part they do not hold as silence.
    h.app.settings().Sweep = 20.0;
    h.app.settings().BlockBytes = BlockBytesForSweep(20.0);
    ASSERT_EQ(h.app.settings().BlockBytes, 7056);
    h.BlockAt(60, Frame{-3000, 3000});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 3000);
    EXPECT_EQ(h.app.lastLevels().SumPeak, 0);
    EXPECT_EQ(h.wave.queued.back()->bufferLength, 7056);
    h.Blocks(3, Frame{-3000, 3000});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 3000);
    EXPECT_EQ(h.app.lastLevels().SumPeak, 0);
}

TEST_F(BlockPipeline, StereoFillsRingOneWithTheLeftPeak) {
    Create();
    h.BlockAt(20, Frame{500, -700});
    const TBlockLevels& levels = h.app.lastLevels();
    EXPECT_EQ(levels.SelectedPeak, 500);
    EXPECT_EQ(levels.Level, 700);
    EXPECT_EQ(h.app.statistics().ShortRing1[0], 500);
    EXPECT_EQ(h.app.statistics().ShortRing2[0], 700);
    EXPECT_EQ(h.app.view().PeakDisplay, " -36.3");
}

TEST_F(BlockPipeline, ChannelModesSelectThePeak) {
    struct Case {
        int32_t channel;
        int32_t selected;
    };
    // Left 3000, right -1000: sum |2000 div 2| = 1000, difference |4000 div 2| = 2000.
    const Case cases[] = {{kChannelLeft, 3000},
                          {kChannelRight, 1000},
                          {kChannelSum, 1000},
                          {kChannelDifference, 2000}};
    for (const Case& c : cases) {
        AppHarness app;
        TMeterSettings s = settings;
        s.Channel = c.channel;
        app.Create(s);
        app.BlockAt(20, Frame{3000, -1000});
        EXPECT_EQ(app.app.lastLevels().SelectedPeak, c.selected) << "channel " << c.channel;
        EXPECT_EQ(app.app.lastLevels().Level, c.selected) << "channel " << c.channel;
        EXPECT_EQ(app.app.statistics().ShortRing1[0], c.selected);
        EXPECT_EQ(app.app.statistics().ShortRing2[0], 1000);
        EXPECT_EQ(app.app.bars().MonoBar, app.app.bars().HoldHeight1);
    }
}

TEST_F(BlockPipeline, StereoWithSilentLeftFollowsTheLeft) {
    Create();
    h.app.StartStopButtonClick();
    h.Blocks(14, Frame{0, 10000});
    EXPECT_EQ(h.app.view().PeakDisplay, "low ");
    EXPECT_EQ(h.app.view().ShortAvglDisplay, "low ");
    // The run-time average follows the louder channel.
    EXPECT_EQ(h.app.view().LongAvgDisplay,
              FormatLevelReadout(ReadoutDb(h.app.statistics().RunTimeAverage, -2.0, 0), U'.'));
    EXPECT_GT(h.app.statistics().RunTimeAverage, 9000);
    EXPECT_EQ(h.app.bars().LeftBar, 1);
    EXPECT_GT(h.app.bars().RightBar, 200);
    EXPECT_EQ(h.app.bars().HoldHeight1, 0);
    EXPECT_EQ(h.app.bars().HoldHeight2, h.app.bars().RightBar);
}

TEST_F(BlockPipeline, ShortTermReadoutOnEveryAverageLengthBlock) {
    Create();
    // A single peak of 7 among zeros: an average of 0.5, read as amplitude 0.
    h.FramesAt(20, {Frame{7, 0}});
    for (int i = 2; i <= 13; ++i) {
        h.Blocks(1, Frame{});
        EXPECT_EQ(h.app.view().ShortAvglDisplay, "") << "block " << i;
    }
    h.Blocks(1, Frame{});
    EXPECT_DOUBLE_EQ(h.app.statistics().ShortAverage1, 0.5);
    EXPECT_EQ(h.app.view().ShortAvglDisplay, " -101.0");

    h.Blocks(13, Frame{1000, 0});
    EXPECT_EQ(h.app.view().ShortAvglDisplay, " -101.0");
    h.Blocks(1, Frame{1000, 0});
    EXPECT_EQ(h.app.view().ShortAvglDisplay, " -30.3");
}

TEST_F(BlockPipeline, PeakReadoutOnTheUserFullScale) {
    settings.Scale = kUserFullScale;
    settings.FullScale = 95;
    Create();
    h.BlockAt(20, Frame{1000, 0});
    EXPECT_EQ(h.app.view().PeakDisplay, " 64.7");
    EXPECT_EQ(h.app.view().Label11, kSystemMaxCaption);  // no test: no system maximum
    h.app.StartStopButtonClick();
    h.BlockAt(40, Frame{16384, 16384});
    EXPECT_EQ(h.app.view().Label11, "System Max -6.0");
    EXPECT_EQ(h.app.statistics().SystemMax, 16384);
}

TEST_F(BlockPipeline, OverLampStaysRedForTenBlocks) {
    Create();
    h.Blocks(3, Frame{1000, 1000});
    EXPECT_EQ(h.app.view().tooHigh, kLampDark);
    // Block k: two new maxima above -1 dB.
    h.FramesAt(h.Elapsed() + 20, {Frame{30000, 0}, Frame{32767, 0}});
    EXPECT_EQ(h.app.view().tooHigh, kLampLit);
    for (int after = 1; after <= 9; ++after) {
        h.Blocks(1, Frame{1000, 1000});
        EXPECT_EQ(h.app.view().tooHigh, kLampLit) << "block k+" << after;
    }
    h.Blocks(1, Frame{1000, 1000});
    EXPECT_EQ(h.app.view().tooHigh, kLampDark);
    // A steady full-scale block has a single rise: no over without integration.
    h.Blocks(1, Frame{32767, 32767});
    EXPECT_EQ(h.app.view().tooHigh, kLampDark);
    // With integration it lights.
    h.app.settings().Integrate = true;
    h.Blocks(1, Frame{32767, 32767});
    EXPECT_EQ(h.app.view().tooHigh, kLampLit);
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 32728);
}

TEST_F(BlockPipeline, TimeReadoutsCountDuringATest) {
    Create();
    h.BlockAt(1000, Frame{1000, 1000});
    EXPECT_EQ(h.app.view().OverTimeDisplay, "");  // only during a test
    h.app.StartStopButtonClick();
    h.Blocks(500, Frame{20000, 20000});  // above target 1 for 10 s
    EXPECT_EQ(h.app.statistics().OverTargetMs, 10000);
    EXPECT_EQ(h.app.view().OverTimeDisplay, "0:00:10.0");
    EXPECT_EQ(h.app.view().Undertimedisplay, "0:00:00.0");
    EXPECT_EQ(h.app.view().ElapTimeDisplay, "0:00:10");
    h.Blocks(25, Frame{2000, 2000});  // inside the band of target 2
    EXPECT_EQ(h.app.view().Undertimedisplay, "0:00:00.5");
    EXPECT_EQ(h.app.view().ElapTimeDisplay, "0:00:10");
    h.app.StartStopButtonClick();
    h.Blocks(100, Frame{20000, 20000});
    // Stopping clears nothing and the readouts stand still.
    EXPECT_EQ(h.app.view().OverTimeDisplay, "0:00:10.0");
    EXPECT_EQ(h.app.view().ElapTimeDisplay, "0:00:10");
}

TEST_F(BlockPipeline, ElapsedTimeAcrossTheTickWrap) {
    AppHarness wrap(fakes::TestStartTime(), 0xFFFFF000u);
    wrap.Create(settings);
    wrap.BlockAt(20, Frame{20000, 20000});
    wrap.app.StartStopButtonClick();
    for (uint64_t t = 40; t <= 10020; t += 20) {
        wrap.BlockAt(t, Frame{20000, 20000});
    }
    EXPECT_LT(wrap.clock.TickCount(), 0x2000u);  // the tick has wrapped
    EXPECT_EQ(wrap.app.view().ElapTimeDisplay, "0:00:10");
    EXPECT_EQ(wrap.app.statistics().OverTargetMs, 10000);
    EXPECT_EQ(wrap.app.view().OverTimeDisplay, "0:00:10.0");
}

TEST_F(BlockPipeline, CalibrationFactorHasAFloorOfOneInThePipeline) {
    settings.Calibration = -25.0;
    settings.CalibrationFactor = CalibrationFactorFor(-25.0);  // as loaded: 0.562
    Create();
    h.app.StartStopButtonClick();
    // Gate DbToAmplitude(-30 - 1) = 919; with the loader's 0.562 it would be 971.
    h.BlockAt(20, Frame{950, 950});
    EXPECT_DOUBLE_EQ(h.app.settings().CalibrationFactor, 1.0);
    EXPECT_EQ(h.app.statistics().SquareCount, 2);
    h.BlockAt(40, Frame{918, 918});
    EXPECT_EQ(h.app.statistics().SquareCount, 2);
    // The top of the bars is reached at 3277, 20 dB below full scale.
    h.BlockAt(60, Frame{3277, 3277});
    EXPECT_EQ(h.app.bars().LeftBar, 382);
    h.BlockAt(80, Frame{3100, 3100});
    EXPECT_LT(h.app.bars().LeftBar, 382);
}

TEST_F(BlockPipeline, LoadedSettingsSetTheLabels) {
    settings.AverageTime = 0.3;
    settings.ThresholdIgnore = false;
    Create();
    EXPECT_EQ(h.app.view().Label6, "Time 0.3 Secs");
    EXPECT_TRUE(h.app.view().Label14Visible);

    AppHarness ignoring;
    TMeterSettings s = settings;
    s.ThresholdIgnore = true;
    ignoring.Create(s);
    EXPECT_FALSE(ignoring.app.view().Label14Visible);
}

}  // namespace
}  // namespace tarnwick
