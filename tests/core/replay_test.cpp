// Replaying a test: the stored audio is played and measured again, frame for
// frame, for as long as the last period of the test lasted.

#include <gtest/gtest.h>

#include "core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

TMeterSettings Plain() {
    TMeterSettings s = fakes::PlainLevelSettings();
    s.SaveOnStop = false;
    return s;
}

// A test of `blocks` 20 ms blocks of `frame`, then stopped.
void RecordTest(AppHarness& h, int blocks, Frame frame) {
    h.app.StartStopButtonClick();
    h.Blocks(blocks, frame);
    h.app.StartStopButtonClick();
}

TEST(Replay, MeasuresTheStoredAudioForAsLongAsTheTestLasted) {
    AppHarness h;
    h.Create(Plain());
    RecordTest(h, 100, Frame{5000, -7000});
    EXPECT_EQ(h.app.sampleStore().StorePosition, 100 * 882 * 4);

    h.app.TBreplayClick();
    EXPECT_TRUE(h.app.Replaying());
    EXPECT_EQ(h.app.view().TBreplayImage, 7);
    EXPECT_EQ(h.output.writes, 1);
    EXPECT_TRUE(h.output.playing);
    // The live input is silent; the replayed frames are measured instead.
    h.Blocks(1, Frame{});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 5000);
    EXPECT_EQ(h.app.lastLevels().RightPeak, 7000);
    EXPECT_EQ(h.app.sampleStore().StorePosition, 882 * 4);
    // The time readouts count the replay from its start.
    EXPECT_EQ(h.app.view().ElapTimeDisplay, "0:00:00");

    // The test's period lasted 2000 ms (100 blocks); the replay ends after that.
    h.Blocks(98, Frame{});
    EXPECT_TRUE(h.app.Replaying());
    h.AdvanceTo(h.Elapsed() + 100);
    EXPECT_FALSE(h.app.Replaying());
    EXPECT_EQ(h.app.view().TBreplayImage, 2);
    EXPECT_FALSE(h.output.playing);
    EXPECT_FALSE(h.app.replayTimer().Armed());
    // Blocks after the replay measure the live input again.
    h.Blocks(1, Frame{10, 10});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 10);
}

TEST(Replay, PressedTwiceEndsAndAThirdTimeStartsAgain) {
    AppHarness h;
    h.Create(Plain());
    RecordTest(h, 10, Frame{3000, 3000});
    h.app.TBreplayClick();
    h.Blocks(5, Frame{});
    h.app.TBreplayClick();
    EXPECT_FALSE(h.app.Replaying());
    h.app.TBreplayClick();
    EXPECT_TRUE(h.app.Replaying());
    EXPECT_EQ(h.app.sampleStore().StorePosition, 0);
    h.Blocks(1, Frame{});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 3000);
}

TEST(Replay, StartingATestEndsTheReplayAndRecordsAfresh) {
    AppHarness h;
    h.Create(Plain());
    RecordTest(h, 10, Frame{3000, 3000});
    h.app.TBreplayClick();
    h.Blocks(3, Frame{});
    const int resetsBefore = h.output.resets;
    h.app.StartStopButtonClick();
    EXPECT_FALSE(h.app.Replaying());
    EXPECT_TRUE(h.app.testRun().TestRunning);
    EXPECT_GT(h.output.resets, resetsBefore);
    EXPECT_EQ(h.app.sampleStore().StorePosition, 0);
    h.Blocks(1, Frame{1234, 1234});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 1234);
    EXPECT_EQ(h.app.sampleStore().StorePosition, 882 * 4);
}

TEST(Replay, PressedDuringATestStopsItWithItsSave) {
    AppHarness h;
    TMeterSettings s = Plain();
    s.SaveOnStop = true;
    h.Create(s);
    h.SaveAs("/data/hall.csv");
    h.app.StartStopButtonClick();
    h.Blocks(10, Frame{3000, 3000});
    const size_t linesBefore = h.files.Lines("/data/hall.csv").size();
    h.app.TBreplayClick();
    EXPECT_FALSE(h.app.testRun().TestRunning);
    EXPECT_TRUE(h.app.Replaying());
    EXPECT_EQ(h.files.Lines("/data/hall.csv").size(), linesBefore + 1);
}

TEST(Replay, BeforeAnyTestPlaysSilenceForTwoSeconds) {
    AppHarness h;
    h.Create(Plain());
    h.app.TBreplayClick();
    h.Blocks(1, Frame{20000, 20000});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 0);
    h.AdvanceTo(h.Elapsed() + 2100);
    EXPECT_FALSE(h.app.Replaying());
}

TEST(Replay, MarksItsStartOnTheGraph) {
    AppHarness h;
    h.Create(Plain());
    h.app.TBreplayClick();
    const MeterBitmap& picture = *h.app.meterBitmap();
    // A red line of width 2 at x 507: columns 506 and 507, rows 13 to 396.
    EXPECT_EQ(picture.PixelColour(507, 200), 0x0000FFu);
    EXPECT_EQ(picture.PixelColour(506, 200), 0x0000FFu);
    EXPECT_EQ(picture.PixelColour(508, 200), 0x000000u);
}

TEST(Replay, AFailingOutputEndsTheProgram) {
    AppHarness h;
    h.Create(Plain());
    h.output.writeResult = 7;
    h.app.TBreplayClick();
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, "Wave out error");
    EXPECT_EQ(h.dialogs.messages[0].caption, "error");
    EXPECT_EQ(h.process.endCalls, 1);
}

TEST(Replay, OneThatCannotBeHeardIsMeasuredAndSaidOnce) {
    AppHarness h;
    h.Create(Plain());
    RecordTest(h, 10, Frame{5000, 5000});
    h.output.audible = false;
    for (int press = 0; press < 3; ++press) {
        h.app.TBreplayClick();
    }
    EXPECT_TRUE(h.app.Replaying());
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, "Error");
    EXPECT_EQ(h.dialogs.messages[0].caption, "Problem creating play handle");
    EXPECT_EQ(h.process.endCalls, 0);
}

TEST(Replay, TheStoreHoldsEightMinutes) {
    AppHarness h;
    // 120 ms blocks, so that eight minutes take 4000 of them.
    TMeterSettings s = Plain();
    s.Sweep = 60.0;
    DeriveLoadedValues(s);
    h.Create(s);
    h.app.StartStopButtonClick();
    for (int i = 0; i < 4100; ++i) {
        h.BlockAt(h.Elapsed() + 120, Frame{static_cast<int16_t>(i % 1000), 0});
    }
    EXPECT_EQ(h.app.sampleStore().StorePosition, kStoreCapacity);
    EXPECT_TRUE(h.app.testRun().TestRunning);
}

}  // namespace
}  // namespace tarnwick
