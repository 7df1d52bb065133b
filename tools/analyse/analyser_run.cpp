#include "tools/analyse/analyser_run.h"

#include <QGuiApplication>
#include <QLocale>
#include <cinttypes>
#include <memory>
#include <optional>

#include "core/meter_app.h"
#include "core/simulated_time.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "platform/qt_text_rasteriser.h"
#include "settings/memory_settings_key.h"
#include "tools/analyse/file_wave_input.h"
#include "tools/analyse/headless_ports.h"
#include "tools/analyse/recording_reader.h"

namespace tarnwick {
namespace {

// Text on the picture needs Qt's fonts, which need a GUI application object;
// the analyser never shows a window, so it asks for the offscreen platform
// unless the user named one. Made once and kept for the process.
void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "tarnwick-analyse";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
}

bool IsKnownLocale(const std::string& name, const QLocale& locale) {
    return locale.language() != QLocale::C || name == "C" || name == "POSIX";
}

// Writes one row of the level log. Returns false when the write failed.
bool WriteLevelsRow(std::FILE* file, uint64_t block, uint32_t tick, const MeterApp& app) {
    const TBlockLevels& l = app.lastLevels();
    const TLevelStatistics& s = app.statistics();
    return std::fprintf(
               file, "%" PRIu64 ",%" PRIu32 ",%d,%d,%d,%d,%d,%d,%d,%d,%.6f,%.6f,%d,%d,%d,%d,%u\n",
               block, tick, app.testRun().TestRunning ? 1 : 0, l.LeftPeak, l.RightPeak, l.SumPeak,
               l.DifferencePeak, l.LeftOverCandidate, l.RightOverCandidate, l.Level,
               s.ShortAverage1, s.ShortAverage2, s.RunTimeAverage, s.OverTargetMs, s.UnderTargetMs,
               s.SystemMax, app.view().tooHigh) > 0;
}

void PrintReadouts(std::FILE* out, const MeterApp& app) {
    const TMainViewState& v = app.view();
    const std::pair<const char*, const std::string*> rows[] = {
        {"PeakDisplay", &v.PeakDisplay},
        {"ShortAvglDisplay", &v.ShortAvglDisplay},
        {"LongAvgDisplay", &v.LongAvgDisplay},
        {"OverTimeDisplay", &v.OverTimeDisplay},
        {"Undertimedisplay", &v.Undertimedisplay},
        {"ElapTimeDisplay", &v.ElapTimeDisplay},
        {"Label11", &v.Label11},
        {"Label6", &v.Label6},
        {"Label3", &v.Label3},
        {"Label1", &v.Label1},
    };
    for (const auto& [name, text] : rows) {
        std::fprintf(out, "%s\t%s\n", name, text->c_str());
    }
    std::fprintf(out, "tooHigh\t%u\n", v.tooHigh);
}

}  // namespace

int RunAnalyser(const AnalyserOptions& options, LocalDateTime now, std::FILE* out, std::FILE* err) {
    // Check everything that can be wrong with the input before writing anything.
    const QLocale locale =
        options.locale ? QLocale(QString::fromStdString(*options.locale)) : QLocale::system();
    if (options.locale && !IsKnownLocale(*options.locale, locale)) {
        std::fprintf(err, "tarnwick-analyse: unknown locale %s\n", options.locale->c_str());
        return kAnalyseBadInput;
    }
    RecordingReader reader(options.input);
    if (!reader.IsOpen()) {
        std::fprintf(err, "tarnwick-analyse: %s\n", reader.Error().c_str());
        return kAnalyseBadInput;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> levels(nullptr, &std::fclose);
    if (!options.levelsFile.empty()) {
        levels.reset(std::fopen(options.levelsFile.c_str(), "w"));
        if (!levels) {
            std::fprintf(err, "tarnwick-analyse: %s: cannot create the level log\n",
                         options.levelsFile.c_str());
            return kAnalyseFailed;
        }
        std::fputs(
            "block,tick,test_running,left_peak,right_peak,sum_peak,difference_peak,"
            "left_over_candidate,right_over_candidate,level,short_average1,short_average2,"
            "run_time_average,over_target_ms,under_target_ms,system_max,lamp\n",
            levels.get());
    }

    SimulatedClock clock(options.tickStart, options.start.value_or(now));
    SimulatedTimers timers(clock);
    FileWaveInput device(reader);
    QtRegionalFormats formats(locale);
    ConsoleDialogs dialogs(err);
    dialogs.saveFileAnswer = options.resultsFile;
    RecordingProcessControl process;
    MemorySettingsStore store;
    PosixTextFiles files;
    HeadlessShell shell;
    SilentWaveOutput output;
    JpegImageWriter images;
    // The picture is drawn only when it is to be saved.
    std::optional<QtTextRasteriser> text;
    if (!options.snapshotFile.empty()) {
        EnsureGuiApplication();
        text.emplace();
    }
    MeterApp app(MeterPorts{clock, timers, device, output, formats, dialogs, process, store, files,
                            shell, images, text ? &*text : nullptr});

    if (!app.FormCreate(1, options.settings)) {
        return kAnalyseFailed;
    }
    app.FormShow();
    if (!options.resultsFile.empty()) {
        app.SaveAs1Click();
        if (!app.settings().FileOpen) {
            return kAnalyseFailed;
        }
    }
    if (!options.settings.AutoStart) {
        app.StartStopButtonClick();
    }

    // Every block holds the frames of the block size loaded at the start.
    const uint64_t framesPerBlock =
        static_cast<uint64_t>(app.settings().BlockBytes / kBytesPerFrame);
    bool levelsOk = true;
    for (uint64_t block = 1; framesPerBlock > 0 && !process.ended; ++block) {
        // Only a whole block of the recording moves the clock on: the test ends
        // at the tick of the last block measured.
        if (!device.FillNext()) {
            break;
        }
        timers.AdvanceTo(block * framesPerBlock * 1000 / kSampleRate);
        if (process.ended) {
            break;
        }
        device.DeliverFilled();
        if (levels && levelsOk) {
            levelsOk = WriteLevelsRow(levels.get(), block, clock.TickCount(), app);
        }
    }
    if (!process.ended && app.testRun().TestRunning) {
        app.StartStopButtonClick();
    }

    if (levels) {
        levelsOk = levelsOk && std::fflush(levels.get()) == 0;
        levelsOk = std::fclose(levels.release()) == 0 && levelsOk;
        if (!levelsOk) {
            std::fprintf(err, "tarnwick-analyse: %s: writing the level log failed\n",
                         options.levelsFile.c_str());
        }
    }
    bool snapshotOk = true;
    if (app.meterBitmap() != nullptr) {
        const RasterImage picture{const_cast<uint32_t*>(app.meterBitmap()->Picture()), kMeterWidth,
                                  kMeterHeight, kMeterWidth};
        const FileResult written =
            SnapshotIsPng(options.snapshotFile)
                ? images.WritePng(options.snapshotFile, picture)
                : images.WriteJpeg(options.snapshotFile, picture, kSnapshotJpegQuality);
        if (!written.ok()) {
            snapshotOk = false;
            std::fprintf(err, "tarnwick-analyse: %s: %s\n", options.snapshotFile.c_str(),
                         written.message.c_str());
        }
    }
    if (options.readouts) {
        PrintReadouts(out, app);
    }
    return process.ended || dialogs.messages > 0 || !levelsOk || !snapshotOk ? kAnalyseFailed
                                                                             : kAnalyseOk;
}

}  // namespace tarnwick
