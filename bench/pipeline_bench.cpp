// The cost of one pass of the block pipeline, drawing aside: analysis,
// statistics, readouts, test clock and bars, with a test running.

#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <vector>

#include "audio/test_signal.h"
#include "core/meter_app.h"
#include "core/simulated_time.h"
#include "settings/memory_settings_key.h"

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

class FixedFormats : public IRegionalFormats {
public:
    std::string ShortDate(LocalDateTime) override { return "08/12/2026"; }
    std::string LongDate(LocalDateTime) override { return "08 December 2026"; }
    std::string LongTime(LocalDateTime) override { return "14:45:00"; }
    char32_t DecimalSeparator() override { return U'.'; }
};

class SilentDialogs : public IUserDialogs {
public:
    void MessageBox(const std::string&, const std::string&) override {}
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest&) override { return {}; }
    std::optional<std::string> ChooseFolder(const std::string&) override { return {}; }
};

class NoProcess : public IProcessControl {
public:
    void EndProgram() override {}
    void CloseMainWindow() override {}
};

class NoOutput : public IWaveOutput {
public:
    int Query(int, const WaveFormat&) override { return kWaveOk; }
    int Open(int, const WaveFormat&) override { return kWaveOk; }
    int Prepare(const uint8_t*, int64_t) override { return kWaveOk; }
    int Write() override { return kWaveOk; }
    void Reset() override {}
    void Close() override {}
};

class NoShell : public IDesktopShell {
public:
    std::optional<std::string> DocumentsPath() override { return std::string("/tmp"); }
    bool DirectoryExists(const std::string&) override { return false; }
    int Open(const std::string&) override { return kShellNoAssociation; }
    int Explore(const std::string&) override { return kShellNoAssociation; }
};

class NoImages : public IImageWriter {
public:
    FileResult WriteJpeg(const std::string&, const RasterImage&, int) override { return {}; }
    FileResult WritePng(const std::string&, const RasterImage&) override { return {}; }
};

class NoFiles : public ITextFiles {
public:
    FileResult CreateWith(const std::string&, const std::string&) override { return {}; }
    FileResult Append(const std::string&, const std::string&) override { return {}; }
};

void BM_MMWimData(benchmark::State& state) {
    SimulatedClock clock(0, LocalDateTime{});
    SimulatedTimers timers(clock);
    LoopbackInput input;
    FixedFormats formats;
    SilentDialogs dialogs;
    NoProcess process;
    MemorySettingsStore store;
    NoFiles files;
    NoShell shell;
    NoOutput output;
    NoImages images;
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, nullptr});
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
}

// At the default sweep (20 ms blocks) and at 1 s (2 ms blocks).
BENCHMARK(BM_MMWimData)->ArgName("sweep_s")->Arg(10)->Arg(1);

}  // namespace
}  // namespace tarnwick
