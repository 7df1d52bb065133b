// The sound-server adapters against a private PulseAudio with virtual devices.
// Skipped, saying why, only where no PulseAudio can start.

#include "platform/pulse_wave_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <thread>

#include "app/config_dialog.h"
#include "app/meter_app.h"
#include "platform/audio_devices.h"
#include "platform/steady_time.h"
#include "platform/wave_device_rules.h"
#include "tests/audio/audio_test_support.h"
#include "tests/audio/private_pulse_server.h"
#include "tests/core/fakes.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

constexpr int32_t kSweep10Block = 3528;  // 882 frames, 20 ms
constexpr int kFramesPerBlock = kSweep10Block / kBytesPerFrame;

// The known signal: left a 1 kHz tone at -6 dBFS whose peak sample is 16422,
// right a counter that steps by one per frame and wraps every 2048 frames, so
// that a lost, repeated or reordered stretch shows. The counter stays within
// -1024..1023 so that the stereo peak is the tone's.
constexpr int16_t kTonePeak = 16422;
constexpr int kCounterSpan = 2048;

void ToneFrame(int64_t n, uint8_t* out) {
    const double phase = 2.0 * std::numbers::pi * 1000.0 * static_cast<double>(n) / kSampleRate;
    const auto left = static_cast<int16_t>(std::lround(kTonePeak * std::sin(phase)));
    const auto right = static_cast<int16_t>(n % kCounterSpan - kCounterSpan / 2);
    const auto l = static_cast<uint16_t>(left);
    const auto r = static_cast<uint16_t>(right);
    out[0] = static_cast<uint8_t>(l & 0xFF);
    out[1] = static_cast<uint8_t>(l >> 8);
    out[2] = static_cast<uint8_t>(r & 0xFF);
    out[3] = static_cast<uint8_t>(r >> 8);
}

std::vector<uint8_t> ToneBytes(int64_t frames) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * kBytesPerFrame);
    for (int64_t n = 0; n < frames; ++n) {
        ToneFrame(n, bytes.data() + n * kBytesPerFrame);
    }
    return bytes;
}

int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t frame, int channel) {
    const size_t i = frame * kBytesPerFrame + static_cast<size_t>(channel) * 2;
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
}

int BlockPeak(const Arrival& a) {
    int peak = 0;
    for (size_t f = 0; f < a.bytes.size() / kBytesPerFrame; ++f) {
        peak = std::max({peak, std::abs(static_cast<int>(SampleAt(a.bytes, f, 0))),
                         std::abs(static_cast<int>(SampleAt(a.bytes, f, 1)))});
    }
    return peak;
}

// The first frame that is not silence, or npos.
size_t FirstSound(const std::vector<uint8_t>& bytes, size_t from = 0) {
    for (size_t f = from; f < bytes.size() / kBytesPerFrame; ++f) {
        if (SampleAt(bytes, f, 0) != 0 || SampleAt(bytes, f, 1) != 0) {
            return f;
        }
    }
    return std::string::npos;
}

// How many frames from `start` on equal the tone from its frame `from`.
size_t MatchingToneFrames(const std::vector<uint8_t>& bytes, size_t start, int64_t toneFrames,
                          int64_t from = 0) {
    const std::vector<uint8_t> tone = ToneBytes(toneFrames);
    size_t n = 0;
    while (start + n < bytes.size() / kBytesPerFrame &&
           from + static_cast<int64_t>(n) < toneFrames &&
           std::equal(tone.begin() + (from + n) * kBytesPerFrame,
                      tone.begin() + (from + n + 1) * kBytesPerFrame,
                      bytes.begin() + (start + n) * kBytesPerFrame)) {
        ++n;
    }
    return n;
}

// The tone frame that frame `at` of `bytes` is, found from its counter and its
// tone phase; -1 when it is none of the first `toneFrames`.
int64_t ToneIndexAt(const std::vector<uint8_t>& bytes, size_t at, int64_t toneFrames) {
    const int64_t counter = SampleAt(bytes, at, 1) + kCounterSpan / 2;
    for (int64_t n = counter; n < toneFrames; n += kCounterSpan) {
        uint8_t frame[kBytesPerFrame];
        ToneFrame(n, frame);
        if (std::equal(frame, frame + kBytesPerFrame, bytes.begin() + at * kBytesPerFrame)) {
            return n;
        }
    }
    return -1;
}

// Writes the tone into the server's pipe source at real-time pace, in 10 ms
// pieces by a steady clock, as a sound card would deliver it.
class ToneWriter {
public:
    ToneWriter(const std::string& pipe, int64_t frames) : bytes_(ToneBytes(frames)) {
        fd_ = open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ >= 0) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    ~ToneWriter() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool Opened() const { return fd_ >= 0; }
    bool Done() const { return done_; }

private:
    void Run() {
        constexpr size_t kPiece = 441 * kBytesPerFrame;
        const Clock::time_point start = Clock::now();
        size_t written = 0;
        while (!stop_ && written < bytes_.size()) {
            const size_t n = std::min(kPiece, bytes_.size() - written);
            if (write(fd_, bytes_.data() + written, n) != static_cast<ssize_t>(n)) {
                break;  // the server went away
            }
            written += n;
            std::this_thread::sleep_until(
                start + std::chrono::microseconds(
                            static_cast<int64_t>(written / kBytesPerFrame * 1e6 / kSampleRate)));
        }
        done_ = true;
    }

    std::vector<uint8_t> bytes_;
    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
};

class PulseDevices : public ::testing::Test {
protected:
    void SetUp() override {
        const PrivatePulseServer::Outcome outcome = server_.Start();
        if (outcome == PrivatePulseServer::Outcome::kUnavailable) {
            GTEST_SKIP() << "No PulseAudio could start here: " << server_.Failure();
        }
        ASSERT_EQ(outcome, PrivatePulseServer::Outcome::kRunning) << server_.Failure();
    }

    // The ids in the listing of PulseWaveInput.
    static constexpr int kSecondIn = 0;  // the default source
    static constexpr int kToneIn = 1;
    static constexpr int kMonitor = 2;

    PrivatePulseServer server_;
};

TEST_F(PulseDevices, ListsDefaultSourceFirstThenInputsThenMonitorsByDescription) {
    PulseWaveInput input(server_.Address());
    ASSERT_EQ(input.DeviceCount(), 3) << server_.Log();
    EXPECT_EQ(input.DeviceName(kSecondIn), "Second In");
    EXPECT_EQ(input.DeviceName(kToneIn), "Tone In");  // leading blanks removed
    EXPECT_EQ(input.DeviceName(kMonitor), "Monitor of Replay Out");
    EXPECT_EQ(input.DeviceName(3), "");

    EXPECT_EQ(input.Query(kToneIn, kCaptureFormat), kWaveOk);
    EXPECT_EQ(input.Query(3, kCaptureFormat), kWaveBadDeviceId);
    WaveFormat eightBit = kCaptureFormat;
    eightBit.bitsPerSample = 8;
    eightBit.blockAlign = 2;
    eightBit.avgBytesPerSec = 88200;
    EXPECT_EQ(input.Query(kToneIn, eightBit), kWaveBadFormat);
    EXPECT_EQ(input.Open(
                  kToneIn, eightBit, [](CaptureBlockPtr) {}, [](const std::string&) {}),
              kWaveBadFormat);

    SystemWaveInput system(server_.Address());
    ASSERT_EQ(system.DeviceCount(), 4);
    EXPECT_EQ(system.DeviceName(0), "Second In");
    EXPECT_EQ(system.DeviceName(3), "Test Signal");
    EXPECT_EQ(system.Query(3, kCaptureFormat), kWaveOk);
    EXPECT_EQ(system.Query(4, kCaptureFormat), kWaveBadDeviceId);

    PulseWaveOutput output(server_.Address());
    EXPECT_EQ(output.Query(0, kCaptureFormat), kWaveOk);
    EXPECT_EQ(output.Query(0, eightBit), kWaveBadFormat);
    EXPECT_EQ(output.Query(1, kCaptureFormat), kWaveBadDeviceId);
}

TEST_F(PulseDevices, TenSecondsOfToneArriveAsFiveHundredBlocksInOrder) {
    PulseWaveInput input(server_.Address());
    ASSERT_EQ(input.DeviceCount(), 3) << server_.Log();
    BlockCollector collector(input, kSweep10Block);
    // The pipeline also draws: a quarter of each block's time goes elsewhere.
    collector.busyPerBlock = 5ms;
    ASSERT_EQ(input.Open(kToneIn, kCaptureFormat, collector.OnFilled(), collector.OnFailed()),
              kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(input.Start(), kWaveOk);

    constexpr int64_t kToneFrames = 10 * kSampleRate;
    const Clock::time_point started = Clock::now();
    {
        ToneWriter writer(server_.TonePipe(), kToneFrames);
        ASSERT_TRUE(writer.Opened());
        ASSERT_TRUE(RunEventLoopUntil([&] { return writer.Done(); }, 20s));
        // What the server still holds arrives within a few blocks.
        const size_t expected = static_cast<size_t>(kToneFrames / kFramesPerBlock);
        RunEventLoopUntil([&] { return collector.arrivals.size() >= expected; }, 1s);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();
    // The three blocks the device holds come back from the reset, the last
    // ones part filled or empty, and no more.
    collector.requeue = false;
    const size_t beforeReset = collector.arrivals.size();
    input.Reset();
    RunEventLoopFor(100ms);
    EXPECT_EQ(collector.arrivals.size() - beforeReset, static_cast<size_t>(kBlocksQueued));
    input.Close();

    EXPECT_EQ(collector.failures, 0) << collector.reason;
    EXPECT_FALSE(collector.wrongThread);
    const std::vector<uint8_t> recorded = collector.Recorded();
    const size_t first = FirstSound(recorded);
    ASSERT_NE(first, std::string::npos) << "no tone arrived";
    const size_t matching = MatchingToneFrames(recorded, first, kToneFrames);
    // Every frame of the tone, once and in order.
    EXPECT_EQ(matching, static_cast<size_t>(kToneFrames))
        << "the tone breaks off at frame " << matching;

    // Full blocks of the tone: the first may hold silence before it.
    const size_t firstBlock = first / kFramesPerBlock;
    size_t toneBlocks = 0;
    int lowPeaks = 0;
    for (size_t b = firstBlock; b < collector.arrivals.size(); ++b) {
        const Arrival& a = collector.arrivals[b];
        if (a.bytesRecorded != kSweep10Block) {
            continue;  // handed back part filled by the reset
        }
        const size_t end = (b + 1) * kFramesPerBlock;
        if (end > first + kToneFrames) {
            break;
        }
        ++toneBlocks;
        const int peak = BlockPeak(a);
        if (b == firstBlock) {
            EXPECT_LE(peak, kTonePeak);
        } else if (peak != kTonePeak) {
            ++lowPeaks;
        }
    }
    EXPECT_EQ(lowPeaks, 0);
    EXPECT_GE(toneBlocks, 499u);
    EXPECT_LE(toneBlocks, 501u);

    // Real-time pace: the tone's blocks span its ten seconds.
    const Arrival& firstTone = collector.arrivals[firstBlock];
    const Arrival& lastTone = collector.arrivals[firstBlock + toneBlocks - 1];
    const double span = std::chrono::duration<double>(lastTone.at - firstTone.at).count();
    double maxGap = 0;
    for (size_t b = firstBlock + 1; b < firstBlock + toneBlocks; ++b) {
        maxGap = std::max(maxGap, std::chrono::duration<double>(collector.arrivals[b].at -
                                                                collector.arrivals[b - 1].at)
                                      .count());
    }
    std::printf(
        "tone blocks received %zu of %lld expected; %zu blocks in all; tone span %.3f s, "
        "longest gap %.1f ms; %.2f s from start to reset\n",
        toneBlocks, static_cast<long long>(kToneFrames / kFramesPerBlock),
        collector.arrivals.size(), span, maxGap * 1000, wall);
    EXPECT_GT(span, 9.5);
    EXPECT_LT(span, 10.5);
}

TEST_F(PulseDevices, ReplayIsHeardOnTheSinkMonitorAndResetSilencesIt) {
    PulseWaveInput monitor(server_.Address());
    ASSERT_EQ(monitor.DeviceCount(), 3) << server_.Log();
    BlockCollector collector(monitor, kSweep10Block);
    ASSERT_EQ(monitor.Open(kMonitor, kCaptureFormat, collector.OnFilled(), collector.OnFailed()),
              kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(monitor.Start(), kWaveOk);
    // An idle null sink works in long periods: its monitor only delivers once
    // the sink has taken up the monitor's short fragments, a couple of
    // seconds later.
    const Clock::time_point opened = Clock::now();
    ASSERT_TRUE(RunEventLoopUntil([&] { return !collector.arrivals.empty(); }, 5s));
    const double monitorStart = std::chrono::duration<double>(Clock::now() - opened).count();

    constexpr int64_t kStoreFrames = 3 * kSampleRate;
    const std::vector<uint8_t> store = ToneBytes(kStoreFrames);
    PulseWaveOutput output(server_.Address());
    ASSERT_EQ(output.Query(0, kCaptureFormat), kWaveOk);
    ASSERT_EQ(output.Open(0, kCaptureFormat), kWaveOk);
    ASSERT_EQ(output.Prepare(store.data(), static_cast<int64_t>(store.size())), kWaveOk);
    const size_t beforeWrite = collector.Recorded().size() / kBytesPerFrame;
    const Clock::time_point written = Clock::now();
    ASSERT_EQ(output.Write(), kWaveOk);
    ASSERT_TRUE(RunEventLoopUntil(
        [&] { return FirstSound(collector.Recorded(), beforeWrite) != std::string::npos; }, 5s))
        << "the replay was not heard";
    const double heardAfter = std::chrono::duration<double>(Clock::now() - written).count();
    RunEventLoopFor(500ms);
    output.Reset();
    const size_t atReset = collector.Recorded().size() / kBytesPerFrame;
    RunEventLoopFor(700ms);

    std::vector<uint8_t> recorded = collector.Recorded();
    const size_t first = FirstSound(recorded, beforeWrite);
    const int64_t from = ToneIndexAt(recorded, first, kStoreFrames);
    // Played from the store's beginning (the sink may swallow its first
    // period), then frame after frame of the store, and not to its end. On a
    // loaded machine the sink may run dry for a moment and put silence
    // between them, never other sound: every frame that sounds is the store's
    // next or a later one. After the reset only silence follows: nothing of
    // the store plays on beyond what the server held at that moment.
    ASSERT_GE(from, 0) << "the replay is not the store";
    EXPECT_LT(from, kFramesPerBlock * 3);
    size_t heard = 0;
    size_t lastHeard = first;
    int64_t next = from;
    for (size_t f = first; f < recorded.size() / kBytesPerFrame; ++f) {
        if (SampleAt(recorded, f, 0) == 0 && SampleAt(recorded, f, 1) == 0) {
            continue;
        }
        const int64_t at = ToneIndexAt(recorded, f, kStoreFrames);
        ASSERT_GE(at, next) << "frame " << f << " is not the store's next: sound after the reset "
                            << "or out of order";
        next = at + 1;
        lastHeard = f;
        ++heard;
    }
    EXPECT_GT(heard, static_cast<size_t>(kSampleRate / 4));
    EXPECT_LT(next, kStoreFrames);
    const double tail = static_cast<double>(lastHeard + 1) - static_cast<double>(atReset);
    std::printf(
        "monitor delivered after %.2f s; replay heard %.0f ms after the write from store frame "
        "%lld; %.0f ms played on after the reset\n",
        monitorStart, heardAfter * 1000, static_cast<long long>(from),
        std::max(0.0, tail) * 1000.0 / kSampleRate);
    EXPECT_LT(tail, 0.2 * kSampleRate);

    // A second write plays the store again from its beginning.
    const size_t before = recorded.size() / kBytesPerFrame;
    ASSERT_EQ(output.Write(), kWaveOk);
    ASSERT_TRUE(RunEventLoopUntil(
        [&] { return FirstSound(collector.Recorded(), before) != std::string::npos; }, 5s));
    RunEventLoopFor(300ms);
    output.Close();
    monitor.Close();
    recorded = collector.Recorded();
    const size_t again = FirstSound(recorded, before);
    const int64_t againFrom = ToneIndexAt(recorded, again, kStoreFrames);
    ASSERT_GE(againFrom, 0);
    EXPECT_LT(againFrom, kFramesPerBlock * 3);
    EXPECT_GT(MatchingToneFrames(recorded, again, kStoreFrames, againFrom),
              static_cast<size_t>(kSampleRate / 10));
    EXPECT_EQ(collector.failures, 0) << collector.reason;
}

TEST_F(PulseDevices, ServerThatGoesAwayIsReportedOnceAndNothingFollows) {
    SystemWaveInput input(server_.Address());
    ASSERT_EQ(input.DeviceCount(), 4) << server_.Log();
    BlockCollector collector(input, kSweep10Block);
    ASSERT_EQ(input.Open(kToneIn, kCaptureFormat, collector.OnFilled(), collector.OnFailed()),
              kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(input.Start(), kWaveOk);
    SystemWaveOutput output(server_.Address());
    ASSERT_EQ(output.Open(0, kCaptureFormat), kWaveOk);
    EXPECT_TRUE(output.Audible());
    const std::vector<uint8_t> store = ToneBytes(kSampleRate);
    ASSERT_EQ(output.Prepare(store.data(), static_cast<int64_t>(store.size())), kWaveOk);
    ASSERT_EQ(output.Write(), kWaveOk);
    {
        ToneWriter writer(server_.TonePipe(), 5 * kSampleRate);
        ASSERT_TRUE(RunEventLoopUntil([&] { return collector.arrivals.size() >= 10; }, 5s));
        server_.Kill();
        ASSERT_TRUE(RunEventLoopUntil([&] { return collector.failures > 0; }, 5s));
    }
    RunEventLoopFor(300ms);
    EXPECT_EQ(collector.failures, 1);
    EXPECT_FALSE(collector.reason.empty());
    EXPECT_EQ(collector.blocksAfterFailure, 0);
    std::printf("reported: %s\n", collector.reason.c_str());

    // The program then ends through its normal close path.
    output.Reset();
    EXPECT_EQ(output.Write(), kWaveOk);  // the replay goes on unheard
    output.Close();
    input.Reset();
    input.Close();
    RunEventLoopFor(50ms);
    EXPECT_EQ(collector.blocksAfterFailure, 0);
    // Listed again, only the built-in device is left.
    EXPECT_EQ(input.DeviceCount(), 1);
    EXPECT_EQ(input.DeviceName(0), "Test Signal");
}

TEST_F(PulseDevices, UnpluggedSourceIsReportedNotReplacedByAnother) {
    PulseWaveInput input(server_.Address());
    ASSERT_EQ(input.DeviceCount(), 3) << server_.Log();
    BlockCollector collector(input, kSweep10Block);
    ASSERT_EQ(input.Open(kToneIn, kCaptureFormat, collector.OnFilled(), collector.OnFailed()),
              kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(input.Start(), kWaveOk);
    ToneWriter writer(server_.TonePipe(), 5 * kSampleRate);
    ASSERT_TRUE(RunEventLoopUntil([&] { return collector.arrivals.size() >= 10; }, 5s));
    // The server itself goes on; only the chosen device disappears.
    ASSERT_TRUE(server_.Pactl("unload-module module-pipe-source"));
    ASSERT_TRUE(RunEventLoopUntil([&] { return collector.failures > 0; }, 5s));
    RunEventLoopFor(200ms);
    EXPECT_EQ(collector.failures, 1);
    EXPECT_EQ(collector.blocksAfterFailure, 0);
    input.Close();
    // Listed again, it is gone and the monitor remains.
    ASSERT_EQ(input.DeviceCount(), 1);
    EXPECT_EQ(input.DeviceName(0), "Monitor of Replay Out");
}

TEST_F(PulseDevices, NewBlockLengthReachesTheDeviceWithoutBreakingTheStream) {
    PulseWaveInput input(server_.Address());
    ASSERT_EQ(input.DeviceCount(), 3) << server_.Log();
    BlockCollector collector(input, kSweep10Block);
    ASSERT_EQ(input.Open(kToneIn, kCaptureFormat, collector.OnFilled(), collector.OnFailed()),
              kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(input.Start(), kWaveOk);
    constexpr int64_t kToneFrames = 2 * kSampleRate;
    ToneWriter writer(server_.TonePipe(), kToneFrames);
    ASSERT_TRUE(RunEventLoopUntil([&] { return collector.arrivals.size() >= 20; }, 5s));
    collector.blockBytes = 21168;  // Sweep 60: 120 ms blocks
    ASSERT_TRUE(RunEventLoopUntil([&] { return writer.Done(); }, 5s));
    RunEventLoopFor(300ms);
    input.Reset();
    RunEventLoopFor(50ms);
    input.Close();
    const std::vector<uint8_t> recorded = collector.Recorded();
    const size_t first = FirstSound(recorded);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(MatchingToneFrames(recorded, first, kToneFrames), static_cast<size_t>(kToneFrames));
    // Blocks already queued keep their length; then the new one takes over.
    size_t longBlocks = 0;
    for (const Arrival& a : collector.arrivals) {
        longBlocks += a.bufferLength == 21168 ? 1 : 0;
    }
    EXPECT_GE(longBlocks, 5u);
}

TEST_F(PulseDevices, OpensAndTearsDownRepeatedlyWhileBlocksFlow) {
    ToneWriter writer(server_.TonePipe(), 30 * kSampleRate);
    ASSERT_TRUE(writer.Opened());
    for (int round = 0; round < 12; ++round) {
        auto input = std::make_unique<SystemWaveInput>(server_.Address());
        ASSERT_EQ(input->DeviceCount(), 4);
        auto collector = std::make_unique<BlockCollector>(*input, 352);  // 2 ms blocks
        ASSERT_EQ(
            input->Open(kToneIn, kCaptureFormat, collector->OnFilled(), collector->OnFailed()),
            kWaveOk);
        ASSERT_TRUE(collector->QueueInitial());
        ASSERT_EQ(input->Start(), kWaveOk);
        RunEventLoopFor(std::chrono::milliseconds(20 + 7 * round));
        switch (round % 4) {
            case 0: {  // switch to the test signal and back, as the setup dialog can
                input->Reset();
                input->Close();
                ASSERT_EQ(
                    input->Open(3, kCaptureFormat, collector->OnFilled(), collector->OnFailed()),
                    kWaveOk);
                ASSERT_TRUE(collector->QueueInitial());
                ASSERT_EQ(input->Start(), kWaveOk);
                RunEventLoopFor(20ms);
                input->Reset();
                input->Close();
                ASSERT_EQ(input->Open(kMonitor, kCaptureFormat, collector->OnFilled(),
                                      collector->OnFailed()),
                          kWaveOk);
                ASSERT_TRUE(collector->QueueInitial());
                ASSERT_EQ(input->Start(), kWaveOk);
                RunEventLoopFor(20ms);
                break;
            }
            case 1:
                input->Reset();
                input->Close();
                break;
            case 2:
                input->Close();
                break;
            default:  // exit with the stream running and events in flight
                break;
        }
        const size_t received = collector->arrivals.size();
        input.reset();
        collector.reset();
        RunEventLoopFor(5ms);
        EXPECT_GT(received, 0u) << "round " << round;
        EXPECT_FALSE(writer.Done()) << "the server stopped reading";
    }
}

// The device in use is kept by its name: the server's default source is device
// 0, so the positions shift when the user picks another default.
TEST_F(PulseDevices, TheSetupKeepsTheDeviceInUseWhenAnotherBecomesTheDefault) {
    ASSERT_TRUE(server_.Pactl("set-default-source tone_in"));
    SystemWaveInput input(server_.Address());
    SystemWaveOutput output(server_.Address());
    SteadyClock clock;
    QtTimers timers;
    fakes::FixedRegionalFormats formats;
    fakes::FakeDialogs dialogs;
    fakes::RecordingProcess process;
    MemorySettingsStore store;
    fakes::FakeTextFiles files;
    fakes::FakeShell shell;
    fakes::FakeImages images;
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, nullptr});
    TMeterSettings stored = DefaultSettings();
    stored.DeviceName = "Tone In";
    ASSERT_TRUE(app.FormCreate(1, stored)) << server_.Log();
    ASSERT_EQ(app.settings().DeviceIndex, 0);

    ASSERT_TRUE(server_.Pactl("set-default-source second_in"));
    TConfigDialog setup(
        app, dialogs, [] {}, U'.');
    setup.Open();
    EXPECT_EQ(setup.view().ComboBox1Text, "Tone In");
    setup.Close(true);
    EXPECT_EQ(app.settings().DeviceName, "Tone In");

    // The tone written into "Tone In" still reaches the meter.
    ToneWriter writer(server_.TonePipe(), kSampleRate);
    ASSERT_TRUE(writer.Opened());
    EXPECT_TRUE(RunEventLoopUntil([&] { return app.lastLevels().LeftPeak > 10000; }, 5s));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(PulseDevicesWithoutServer, ListNothingAndRefuseToOpen) {
    const std::string nowhere = "unix:/nonexistent/tarnwick/native";
    PulseWaveInput input(nowhere);
    EXPECT_EQ(input.DeviceCount(), 0);
    const int query = input.Query(0, kCaptureFormat);
    EXPECT_NE(query, kWaveOk);
    EXPECT_NE(query, kWaveBadFormat);
    const int open = input.Open(
        0, kCaptureFormat, [](CaptureBlockPtr) {}, [](const std::string&) {});
    EXPECT_NE(open, kWaveOk);
    EXPECT_NE(open, kWaveBadFormat);
    EXPECT_NE(input.Start(), kWaveOk);
    input.Reset();
    input.Close();

    PulseWaveOutput output(nowhere);
    EXPECT_NE(output.Open(0, kCaptureFormat), kWaveOk);
    EXPECT_NE(output.Open(0, kCaptureFormat), kWaveBadFormat);
    EXPECT_NE(output.Write(), kWaveOk);
}

TEST(PulseDevicesWithoutServer, TheMeterStillHasTheTestSignalAndASilentOutput) {
    const std::string nowhere = "unix:/nonexistent/tarnwick/native";
    SystemWaveInput input(nowhere);
    ASSERT_EQ(input.DeviceCount(), 1);
    EXPECT_EQ(input.DeviceName(0), "Test Signal");
    EXPECT_EQ(input.Query(0, kCaptureFormat), kWaveOk);
    BlockCollector collector(input, kSweep10Block);
    ASSERT_EQ(input.Open(0, kCaptureFormat, collector.OnFilled(), collector.OnFailed()), kWaveOk);
    ASSERT_TRUE(collector.QueueInitial());
    ASSERT_EQ(input.Start(), kWaveOk);
    EXPECT_TRUE(RunEventLoopUntil([&] { return collector.arrivals.size() >= 5; }, 2s));
    input.Close();

    SystemWaveOutput output(nowhere);
    EXPECT_EQ(output.Query(0, kCaptureFormat), kWaveOk);
    ASSERT_EQ(output.Open(0, kCaptureFormat), kWaveOk);
    EXPECT_FALSE(output.Audible());
    const std::vector<uint8_t> store(64000);
    EXPECT_EQ(output.Prepare(store.data(), static_cast<int64_t>(store.size())), kWaveOk);
    EXPECT_EQ(output.Write(), kWaveOk);
    output.Reset();
    EXPECT_EQ(output.Write(), kWaveOk);
    output.Close();
}

}  // namespace
}  // namespace tarnwick::test
