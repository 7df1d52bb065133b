// Block delivery from a real-time device while the event loop is busy: 60 s of
// the built-in Test Signal through the whole meter (pipeline, bars and graph
// drawn with real text), while a timer lays the picture out at 60 frames a
// second as the window does. Every block is compared with the signal it should
// hold, so a lost or reordered block shows.
//
// Usage: tarnwick_capture_delivery [SECONDS]

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/meter_app.h"
#include "audio/test_signal.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "platform/qt_text_rasteriser.h"
#include "platform/steady_time.h"
#include "platform/test_signal_wave_input.h"
#include "settings/memory_settings_key.h"
#include "tools/common/headless_ports.h"

namespace {

using namespace tarnwick;

// The Test Signal device, with every block it hands over checked against a
// second generator before the pipeline sees it.
class CheckedInput : public IWaveInput {
public:
    int DeviceCount() override { return device_.DeviceCount(); }
    std::string DeviceName(int id) override { return device_.DeviceName(id); }
    int Query(int id, const WaveFormat& format) override { return device_.Query(id, format); }
    int Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override {
        return device_.Open(
            id, format,
            [this, onFilled = std::move(onFilled)](CaptureBlockPtr block) {
                Check(*block);
                onFilled(std::move(block));
            },
            std::move(onFailed));
    }
    int Prepare(CaptureBlock& block) override { return device_.Prepare(block); }
    int AddBuffer(CaptureBlockPtr block) override { return device_.AddBuffer(std::move(block)); }
    int Start() override { return device_.Start(); }
    int Unprepare(CaptureBlock& block) override { return device_.Unprepare(block); }
    void Reset() override { device_.Reset(); }
    void Close() override { device_.Close(); }

    int received = 0;
    int wrong = 0;

private:
    void Check(const CaptureBlock& block) {
        ++received;
        expected_.resize(static_cast<size_t>(block.bytesRecorded));
        reference_.Fill(expected_.data(), block.bytesRecorded / 4);
        if (std::memcmp(expected_.data(), block.storage.data(), expected_.size()) != 0) {
            ++wrong;
        }
    }

    TestSignalWaveInput device_;
    TestSignal reference_;
    std::vector<uint8_t> expected_;
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);

    SteadyClock clock;
    QtTimers timers;
    CheckedInput input;
    SilentWaveOutput output;
    QtRegionalFormats formats;
    ConsoleDialogs dialogs(stderr);
    RecordingProcessControl process;
    MemorySettingsStore store;
    PosixTextFiles files;
    HeadlessShell shell;
    JpegImageWriter images;
    QtTextRasteriser text;
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, &text});
    if (!app.FormCreate(1, DefaultSettings())) {
        return 1;
    }
    app.FormShow();
    app.StartStopButtonClick();  // the graph moves while a test runs

    // The window shows the picture at the screen's rate.
    QTimer show;
    uint64_t checksum = 0;
    QObject::connect(&show, &QTimer::timeout,
                     [&] { checksum += app.meterBitmap()->Picture()[1000]; });
    show.start(16);

    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);
    application.exec();

    const double ms = static_cast<double>(elapsed.elapsed());
    const int expected = static_cast<int>(ms / 20.0);
    std::printf(
        "capture delivery: %d blocks received in %.1f s, %d expected at 20 ms a block; %d lost "
        "or out of order (picture laid out every 16 ms, checksum %llu)\n",
        input.received, ms / 1000.0, expected, input.wrong,
        static_cast<unsigned long long>(checksum % 10));
    return input.wrong == 0 ? 0 : 1;
}
