#include "platform/test_signal_wave_input.h"

#include <gtest/gtest.h>

#include <memory>

#include "audio/test_signal.h"
#include "platform/wave_device_rules.h"
#include "tests/audio/audio_test_support.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

constexpr int32_t kSweep10Block = 3528;  // 882 frames, 20 ms

TEST(TestSignalWaveInput, OneDeviceThatTakesOnlyTheCaptureFormat) {
    TestSignalWaveInput device;
    EXPECT_EQ(device.DeviceCount(), 1);
    EXPECT_EQ(device.DeviceName(0), "Test Signal");
    EXPECT_EQ(device.Query(0, kCaptureFormat), kWaveOk);
    WaveFormat mono = kCaptureFormat;
    mono.channels = 1;
    mono.blockAlign = 2;
    mono.avgBytesPerSec = 88200;
    WaveFormat rate48k = kCaptureFormat;
    rate48k.samplesPerSec = 48000;
    rate48k.avgBytesPerSec = 192000;
    EXPECT_EQ(device.Query(0, mono), kWaveBadFormat);
    EXPECT_EQ(device.Query(0, rate48k), kWaveBadFormat);
    EXPECT_EQ(device.Open(
                  0, rate48k, [](CaptureBlockPtr) {}, [](const std::string&) {}),
              kWaveBadFormat);
    EXPECT_EQ(device.Query(1, kCaptureFormat), kWaveBadDeviceId);

    // Queuing needs an open device and a prepared block.
    CaptureBlockPtr block = NewCaptureBlock(kSweep10Block);
    EXPECT_NE(device.AddBuffer(NewCaptureBlock(kSweep10Block)), kWaveOk);
    ASSERT_EQ(device.Open(
                  0, kCaptureFormat, [](CaptureBlockPtr) {}, [](const std::string&) {}),
              kWaveOk);
    EXPECT_EQ(device.AddBuffer(std::move(block)), kWaveUnprepared);
    CaptureBlockPtr tooLong = NewCaptureBlock(kBlockStorageBytes + 4);
    EXPECT_NE(device.Prepare(*tooLong), kWaveOk);
}

TEST(TestSignalWaveInput, DeliversTheSignalInOrderAtRealTimePace) {
    TestSignalWaveInput device;
    BlockCollector collector(device, kSweep10Block);
    ASSERT_EQ(device.Open(0, kCaptureFormat, collector.OnFilled(), collector.OnFailed()), kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(device.Start(), kWaveOk);
    constexpr int kBlocks = 101;  // 2 s after the first block
    ASSERT_TRUE(RunEventLoopUntil([&] { return collector.arrivals.size() >= kBlocks; }, 10s));
    device.Close();

    EXPECT_FALSE(collector.wrongThread);
    for (const Arrival& a : collector.arrivals) {
        ASSERT_EQ(a.bytesRecorded, kSweep10Block);
    }
    // Block k is due 20 ms after block k-1; none can come early, and on a
    // loaded machine they come a little late.
    const double elapsed =
        std::chrono::duration<double>(collector.arrivals[kBlocks - 1].at - collector.arrivals[0].at)
            .count();
    std::printf("100 blocks of 20 ms took %.3f s\n", elapsed);
    EXPECT_GT(elapsed, 1.95);
    EXPECT_LT(elapsed, 2.4);

    // Exactly the generator's output, frame for frame, from its beginning.
    const std::vector<uint8_t> recorded = collector.Recorded();
    std::vector<uint8_t> expected(recorded.size());
    TestSignal signal;
    signal.Fill(expected.data(), static_cast<int64_t>(expected.size() / kBytesPerFrame));
    EXPECT_TRUE(recorded == expected);
}

TEST(TestSignalWaveInput, ShortBlocksComeTogetherAtMostEveryShortestPeriod) {
    // 2 ms blocks, as at the shortest sweep: all of them, in real time, but the
    // device wakes about a hundred times a second rather than five hundred.
    TestSignalWaveInput device;
    BlockCollector collector(device, 352);
    ASSERT_EQ(device.Open(0, kCaptureFormat, collector.OnFilled(), collector.OnFailed()), kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(device.Start(), kWaveOk);
    RunEventLoopFor(1s);
    device.Close();

    const size_t blocks = collector.arrivals.size();
    EXPECT_GT(blocks, 440u);
    EXPECT_LT(blocks, 510u);
    size_t wakes = 1;
    for (size_t i = 1; i < blocks; ++i) {
        if (collector.arrivals[i].at - collector.arrivals[i - 1].at > 1ms) {
            ++wakes;
        }
    }
    std::printf("%zu blocks of 2 ms in %zu wakes\n", blocks, wakes);
    EXPECT_LE(wakes, 110u);
    const std::vector<uint8_t> recorded = collector.Recorded();
    std::vector<uint8_t> expected(recorded.size());
    TestSignal signal;
    signal.Fill(expected.data(), static_cast<int64_t>(expected.size() / kBytesPerFrame));
    EXPECT_TRUE(recorded == expected);
}

TEST(TestSignalWaveInput, ResetReturnsTheQueuedBlocksInOrderAndStops) {
    TestSignalWaveInput device;
    std::vector<CaptureBlockPtr> returned;
    ASSERT_EQ(device.Open(
                  0, kCaptureFormat, [&](CaptureBlockPtr b) { returned.push_back(std::move(b)); },
                  [](const std::string&) {}),
              kWaveOk);
    // Long blocks (363 ms) that cannot be filled before the reset; their
    // lengths tell them apart.
    for (int32_t length : {64000, 63996, 63992}) {
        CaptureBlockPtr block = NewCaptureBlock(length);
        ASSERT_EQ(device.Prepare(*block), kWaveOk);
        ASSERT_EQ(device.AddBuffer(std::move(block)), kWaveOk);
    }
    ASSERT_EQ(device.Start(), kWaveOk);
    device.Reset();
    // Handed back as events, not from inside Reset.
    EXPECT_TRUE(returned.empty());
    RunEventLoopFor(600ms);
    ASSERT_EQ(returned.size(), 3u);
    EXPECT_EQ(returned[0]->bufferLength, 64000);
    EXPECT_EQ(returned[1]->bufferLength, 63996);
    EXPECT_EQ(returned[2]->bufferLength, 63992);
    for (const CaptureBlockPtr& b : returned) {
        EXPECT_EQ(b->bytesRecorded, 0);
        EXPECT_TRUE(b->flags & kBlockDone);
    }
}

TEST(TestSignalWaveInput, TearsDownWhileBlocksFlowWithoutLateEvents) {
    for (int round = 0; round < 20; ++round) {
        auto device = std::make_unique<TestSignalWaveInput>();
        auto collector = std::make_unique<BlockCollector>(*device, 352);  // 2 ms blocks
        ASSERT_EQ(device->Open(0, kCaptureFormat, collector->OnFilled(), collector->OnFailed()),
                  kWaveOk);
        ASSERT_TRUE(collector->QueueInitial());
        ASSERT_EQ(device->Start(), kWaveOk);
        RunEventLoopFor(std::chrono::milliseconds(5 + round));
        switch (round % 3) {
            case 0:  // a device switch: reset, close, open again
                device->Reset();
                device->Close();
                ASSERT_EQ(
                    device->Open(0, kCaptureFormat, collector->OnFilled(), collector->OnFailed()),
                    kWaveOk);
                ASSERT_TRUE(collector->QueueInitial());
                ASSERT_EQ(device->Start(), kWaveOk);
                RunEventLoopFor(5ms);
                break;
            case 1:
                device->Close();
                break;
            default:  // exit: the device goes with blocks queued and events in flight
                break;
        }
        device.reset();
        // A late event would reach the freed collector (AddressSanitizer).
        collector.reset();
        RunEventLoopFor(5ms);
    }
}

TEST(TestSignalWaveInput, StalledPipelineIsCaughtUpThenTheClockMovesOn) {
    TestSignalWaveInput device;
    BlockCollector collector(device, kSweep10Block);
    ASSERT_EQ(device.Open(0, kCaptureFormat, collector.OnFilled(), collector.OnFailed()), kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(device.Start(), kWaveOk);
    ASSERT_TRUE(RunEventLoopUntil([&] { return collector.arrivals.size() >= 3; }, 5s));
    // The event loop is away for longer than the device waits to catch up.
    std::this_thread::sleep_for(TestSignalWaveInput::kMaxLag + 500ms);
    const Clock::time_point back = Clock::now();
    const size_t before = collector.arrivals.size();
    RunEventLoopFor(300ms);
    device.Close();
    // Not 75 blocks in a burst to make up 1.5 s: about 300 ms of blocks.
    const size_t after = collector.arrivals.size() - before;
    EXPECT_LT(after, 25u);
    EXPECT_GT(after, 5u);
    EXPECT_GE(collector.arrivals.back().at, back);
    // The signal itself has no gap.
    const std::vector<uint8_t> recorded = collector.Recorded();
    std::vector<uint8_t> expected(recorded.size());
    TestSignal signal;
    signal.Fill(expected.data(), static_cast<int64_t>(expected.size() / kBytesPerFrame));
    EXPECT_TRUE(recorded == expected);
}

}  // namespace
}  // namespace tarnwick::test
