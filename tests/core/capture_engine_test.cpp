// The capture engine on a scripted device: the opening sequence and its
// failures, the three queued blocks, device lookup and switching.

#include <gtest/gtest.h>

#include "core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

const std::string kRegistryKey = "Software\\Hollowden\\Tarnwick";

struct FailureRow {
    const char* name;
    std::function<void(AppHarness&)> arrange;
    std::string text;
    std::string caption;
    bool ends;
    bool resetsDevice;
};

TEST(CaptureEngine, EveryFailureOfTheOpeningSequence) {
    const std::vector<FailureRow> rows = {
        {"format refused", [](AppHarness& h) { h.wave.queryResult = kWaveBadFormat; },
         "Wave Format Error. Your soundcard may not be suitable for this program or there may be "
         "a hardware problem.",
         "Tarnwick Error", true, true},
        {"query failing otherwise", [](AppHarness& h) { h.wave.queryResult = 1; }, "", "", false,
         true},
        {"open", [](AppHarness& h) { h.wave.openResult = 4; },
         "Soundcard not available, input channel may be in use by another program, or "
         "microphone not plugged in.",
         "Tarnwick Error", true, true},
        {"prepare", [](AppHarness& h) { h.wave.prepareResult = 5; }, "InPrepare error",
         "Tarnwick Error", true, false},
        {"add", [](AppHarness& h) { h.wave.addResult = 5; }, "Add buffer error", "Tarnwick Error",
         true, false},
        {"start", [](AppHarness& h) { h.wave.startResult = 5; }, "Start error", "Tarnwick Error",
         true, false},
        {"playback format", [](AppHarness& h) { h.output.queryResult = kWaveBadFormat; }, "Error",
         "Play format not supported", true, false},
        {"playback query otherwise", [](AppHarness& h) { h.output.queryResult = 1; }, "", "", false,
         false},
        {"playback open", [](AppHarness& h) { h.output.openResult = 2; }, "Error",
         "Problem creating play handle", true, false},
        {"replay block", [](AppHarness& h) { h.output.prepareResult = 2; }, "Out Prepare error",
         "error", true, false},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        AppHarness h;
        row.arrange(h);
        h.Create(DefaultSettings());
        std::vector<std::string> texts;
        for (const auto& m : h.dialogs.messages) {
            texts.push_back(m.text);
        }
        if (!row.text.empty()) {
            ASSERT_FALSE(h.dialogs.messages.empty());
            // The device reset's own message may come after the failure's.
            EXPECT_EQ(h.dialogs.messages.front().text, row.text);
            EXPECT_EQ(h.dialogs.messages.front().caption, row.caption);
        }
        EXPECT_EQ(h.process.endCalls > 0, row.ends);
        const bool resetShown =
            std::find(texts.begin(), texts.end(),
                      "The configured device will be reset to the default.") != texts.end();
        EXPECT_EQ(resetShown, row.resetsDevice);
        if (row.resetsDevice) {
            EXPECT_EQ(h.store.Value(kRegistryKey, "Device")->dword, 0);
            EXPECT_EQ(h.store.Value(kRegistryKey, "Volume")->dword, 32000);
            EXPECT_EQ(h.store.Value(kRegistryKey, "Mixer Channel")->dword, 0);
        }
    }
}

TEST(CaptureEngine, FailuresWhileRunning) {
    AppHarness h;
    h.Create(DefaultSettings());
    h.wave.prepareResult = 9;
    h.BlockAt(20, Frame{});
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, "In Prepare error 2");

    AppHarness u;
    u.Create(DefaultSettings());
    u.wave.unprepareResult = 9;
    u.BlockAt(20, Frame{});
    ASSERT_EQ(u.dialogs.messages.size(), 1u);
    EXPECT_EQ(u.dialogs.messages[0].text, "In-UnPrepare error");
    EXPECT_EQ(u.process.endCalls, 1);
}

TEST(CaptureEngine, KeepsThreeBlocksQueuedAndFollowsTheSweep) {
    AppHarness h;
    h.Create(DefaultSettings());
    EXPECT_EQ(h.app.captureEngine().OutstandingBlocks, 3);
    EXPECT_EQ(h.wave.queued.size(), 3u);
    EXPECT_TRUE(h.wave.started);
    EXPECT_EQ(h.output.openedDevice, 0);
    EXPECT_EQ(h.output.preparedBytes, kStoreCapacity);
    for (const auto& block : h.wave.queued) {
        EXPECT_EQ(block->bufferLength, 3528);
    }
    for (int i = 0; i < 10; ++i) {
        h.Blocks(1, Frame{100, 100});
        EXPECT_EQ(h.app.captureEngine().OutstandingBlocks, 3);
        EXPECT_EQ(h.wave.queued.size(), 3u);
    }
    // A new sweep time reaches the device within three blocks.
    h.app.settings().Sweep = 1.0;
    h.app.settings().BlockBytes = BlockBytesForSweep(1.0);
    h.Blocks(3, Frame{});
    for (const auto& block : h.wave.queued) {
        EXPECT_EQ(block->bufferLength, 352);
    }
}

TEST(CaptureEngine, FindsTheDeviceByName) {
    {
        AppHarness h;
        h.wave.names = {"  USB Interface", "Built-in Audio", "USB Interface"};
        TMeterSettings s = DefaultSettings();
        s.DeviceName = "USB Interface";
        h.Create(s);
        // Leading blanks are removed; the last name that matches wins.
        EXPECT_EQ(h.app.settings().DeviceIndex, 2);
        EXPECT_EQ(h.wave.openedDevice, 2);
        EXPECT_EQ(h.app.captureEngine().DeviceList.front(), "USB Interface");
        EXPECT_TRUE(h.dialogs.messages.empty());
    }
    {
        AppHarness h;
        h.wave.names = {"Built-in Audio", "USB Interface"};
        TMeterSettings s = DefaultSettings();
        s.DeviceName = "Gone";
        h.Create(s);
        ASSERT_EQ(h.dialogs.messages.size(), 1u);
        EXPECT_EQ(h.dialogs.messages[0].text,
                  "Input device  \"Gone\"  not found.\n\r\n\rThe default device will be used.");
        EXPECT_EQ(h.dialogs.messages[0].caption, "Tarnwick Error");
        EXPECT_EQ(h.app.settings().DeviceIndex, 0);
        EXPECT_EQ(h.app.settings().DeviceName, "Built-in Audio");
    }
    {
        AppHarness h;
        h.wave.names = {"Built-in Audio"};
        h.Create(DefaultSettings());  // an empty name takes the first device
        EXPECT_EQ(h.app.settings().DeviceName, "Built-in Audio");
        EXPECT_TRUE(h.dialogs.messages.empty());
    }
}

TEST(CaptureEngine, SwitchingDropsTheOldDevicesBlocks) {
    AppHarness h;
    h.wave.names = {"Built-in Audio", "USB Interface"};
    h.Create(DefaultSettings());
    h.app.StartStopButtonClick();
    h.Blocks(5, Frame{1000, 1000});

    // The same device: nothing is reopened, the name is taken.
    h.app.SwitchInputDevice(0, "Built-in Audio");
    EXPECT_EQ(h.wave.resetCalls, 0);

    h.app.SwitchInputDevice(1, "USB Interface");
    EXPECT_EQ(h.wave.resetCalls, 1);
    EXPECT_EQ(h.wave.closeCalls, 1);
    EXPECT_EQ(h.wave.openedDevice, 1);
    EXPECT_EQ(h.app.settings().DeviceIndex, 1);
    EXPECT_EQ(h.app.settings().DeviceName, "USB Interface");
    // The fake keeps the old device's three blocks at the front of its queue, as
    // a reset gives them back: they are dropped, not counted or queued again.
    ASSERT_EQ(h.wave.queued.size(), 6u);
    const int32_t peakBefore = h.app.lastLevels().LeftPeak;
    for (int i = 0; i < 3; ++i) {
        h.BlockAt(h.Elapsed() + 20, Frame{30000, 30000});
    }
    EXPECT_EQ(h.app.lastLevels().LeftPeak, peakBefore);
    EXPECT_EQ(h.app.captureEngine().OutstandingBlocks, 3);
    EXPECT_EQ(h.wave.queued.size(), 3u);
    h.BlockAt(h.Elapsed() + 20, Frame{2000, 2000});
    EXPECT_EQ(h.app.lastLevels().LeftPeak, 1961);
    EXPECT_EQ(h.wave.queued.size(), 3u);
}

TEST(CaptureEngine, ADeviceThatFailsLaterClosesTheWindowTheNormalWay) {
    AppHarness h;
    h.Create(DefaultSettings());
    h.wave.Fail("the sound server went away");
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].caption, "Tarnwick Error");
    EXPECT_EQ(h.process.closeCalls, 1);
    EXPECT_EQ(h.process.endCalls, 0);
}

}  // namespace
}  // namespace tarnwick
