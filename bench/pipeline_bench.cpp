// The cost of one pass of the block pipeline, drawing aside: analysis,
// statistics, readouts, test clock and bars, with a test running; with and
// without loudness (true peak included). "core_%" is the share of one core the
// pipeline takes in real time: what loudness adds to the live program is the
// difference between the two.

#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <vector>

#include "app/meter_app.h"
#include "audio/test_signal.h"
#include "core/simulated_time.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "settings/memory_settings_key.h"
#include "tools/common/headless_ports.h"

namespace tarnwick {
namespace {

class LoopbackInput : public IWaveInput {
public:
    int DeviceCount() override { return 1; }
    std::string DeviceName(int) override { return "Loopback"; }
    int Query(int, const WaveFormat&) override { return kWaveOk; }
    int Open(int, const WaveFormat&, BlockFilledHandler onFilled, DeviceFailedHandler) override {
        onFilled_ = std::move(onFilled);
        return kWaveOk;
    }
    int Prepare(CaptureBlock&) override { return kWaveOk; }
    int AddBuffer(CaptureBlockPtr block) override {
        queued_.push_back(std::move(block));
        return kWaveOk;
    }
    int Start() override { return kWaveOk; }
    int Unprepare(CaptureBlock&) override { return kWaveOk; }
    void Reset() override {}
    void Close() override {}

    // Fills the oldest block from `programme`, round and round.
    void Deliver(const std::vector<uint8_t>& programme, size_t& offset) {
        CaptureBlockPtr block = std::move(queued_.front());
        queued_.pop_front();
        const size_t bytes = static_cast<size_t>(block->bufferLength);
        if (offset + bytes > programme.size()) {
            offset = 0;
        }
        std::memcpy(block->storage.data(), programme.data() + offset, bytes);
        offset += bytes;
        block->bytesRecorded = block->bufferLength;
        onFilled_(std::move(block));
    }

private:
    BlockFilledHandler onFilled_;
    std::deque<CaptureBlockPtr> queued_;
};

void BM_MMWimData(benchmark::State& state) {
    SimulatedClock clock(0, LocalDateTime{});
    SimulatedTimers timers(clock);
    LoopbackInput input;
    QtRegionalFormats formats(QLocale::c());
    ConsoleDialogs dialogs(stderr);
    RecordingProcessControl process;
    MemorySettingsStore store;
    PosixTextFiles files;
    HeadlessShell shell;
    SilentWaveOutput output;
    JpegImageWriter images;
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, nullptr});
    if (state.range(1) != 0) {
        app.MeasureLoudness(kSampleRate, true);
    }
    TMeterSettings settings = DefaultSettings();
    settings.Sweep = static_cast<double>(state.range(0));
    DeriveLoadedValues(settings);
    app.FormCreate(1, settings);
    app.FormShow();
    app.StartStopButtonClick();
    // One test-signal cycle, made before timing starts.
    TestSignal signal;
    std::vector<uint8_t> programme(static_cast<size_t>(kTestSignalCycleSeconds) * 44100 * 4);
    signal.Fill(programme.data(), kTestSignalCycleSeconds * 44100);
    size_t offset = 0;
    const uint64_t frames = static_cast<uint64_t>(app.settings().BlockBytes / 4);
    uint64_t block = 0;
    for (auto _ : state) {
        ++block;
        timers.AdvanceTo(block * frames * 1000 / 44100);
        input.Deliver(programme, offset);
    }
    state.counters["blocks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    // Seconds of programme per second of work, as a share of one core.
    const double programmeSeconds =
        static_cast<double>(state.iterations() * frames) / static_cast<double>(kSampleRate);
    state.counters["core_%"] = benchmark::Counter(
        programmeSeconds / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// At the default sweep (20 ms blocks) and at 1 s (2 ms blocks), without and
// with loudness.
BENCHMARK(BM_MMWimData)
    ->ArgNames({"sweep_s", "loudness"})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Args({1, 0})
    ->Args({1, 1});

}  // namespace
}  // namespace tarnwick
