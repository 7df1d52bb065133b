// Resident memory of the meter before and after a test records 60 s: the test
// sample store reserves 85 MB but must grow only by what is recorded (60 s of
// 16-bit stereo is 10.6 MB).

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/meter_app.h"
#include "core/simulated_time.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "settings/memory_settings_key.h"
#include "tools/analyse/file_wave_input.h"
#include "tools/common/headless_ports.h"

namespace {

// Resident set size in kB, from /proc/self/statm.
long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// 60 s of a tone, as a device would deliver it.
class ToneInput : public tarnwick::IWaveInput {
public:
    int DeviceCount() override { return 1; }
    std::string DeviceName(int) override { return "Tone"; }
    int Query(int, const tarnwick::WaveFormat&) override { return tarnwick::kWaveOk; }
    int Open(int, const tarnwick::WaveFormat&, tarnwick::BlockFilledHandler onFilled,
             tarnwick::DeviceFailedHandler) override {
        onFilled_ = std::move(onFilled);
        return tarnwick::kWaveOk;
    }
    int Prepare(tarnwick::CaptureBlock&) override { return tarnwick::kWaveOk; }
    int AddBuffer(tarnwick::CaptureBlockPtr block) override {
        queued_.push_back(std::move(block));
        return tarnwick::kWaveOk;
    }
    int Start() override { return tarnwick::kWaveOk; }
    int Unprepare(tarnwick::CaptureBlock&) override { return tarnwick::kWaveOk; }
    void Reset() override {}
    void Close() override {}

    void Deliver() {
        tarnwick::CaptureBlockPtr block = std::move(queued_.front());
        queued_.erase(queued_.begin());
        for (int32_t i = 0; i < block->bufferLength; i += 4) {
            const int16_t v = static_cast<int16_t>((i / 4) % 100 < 50 ? 8000 : -8000);
            block->storage[i] = static_cast<uint8_t>(v & 0xFF);
            block->storage[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
            block->storage[i + 2] = block->storage[i];
            block->storage[i + 3] = block->storage[i + 1];
        }
        block->bytesRecorded = block->bufferLength;
        onFilled_(std::move(block));
    }

private:
    tarnwick::BlockFilledHandler onFilled_;
    std::vector<tarnwick::CaptureBlockPtr> queued_;
};

}  // namespace

int main() {
    using namespace tarnwick;
    SimulatedClock clock(0, LocalDateTime{});
    SimulatedTimers timers(clock);
    ToneInput input;
    SilentWaveOutput output;
    QtRegionalFormats formats;
    ConsoleDialogs dialogs(stderr);
    RecordingProcessControl process;
    MemorySettingsStore store;
    PosixTextFiles files;
    HeadlessShell shell;
    JpegImageWriter images;
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, nullptr});
    app.FormCreate(1, DefaultSettings());
    app.FormShow();
    uint64_t block = 0;
    auto run = [&](int blocks) {
        for (int i = 0; i < blocks; ++i) {
            ++block;
            timers.AdvanceTo(block * 20);
            input.Deliver();
        }
    };
    run(500);  // the meter running, no test
    const long before = ResidentKb();
    app.StartStopButtonClick();
    run(3000);  // a 60 s test
    app.StartStopButtonClick();
    const long after = ResidentKb();
    std::printf(
        "resident memory: %.1f MB before a test, %.1f MB after a 60 s test: +%.1f MB "
        "(recorded %.1f MB; the store reserves %.1f MB)\n",
        before * 1024 / 1e6, after * 1024 / 1e6, (after - before) * 1024 / 1e6,
        app.sampleStore().StorePosition / 1e6, kStoreCapacity / 1e6);
    return 0;
}
