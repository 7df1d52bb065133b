#include "tools/logger/logger_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/meter_app.h"
#include "core/capture_format.h"
#include "core/level_math.h"
#include "platform/audio_devices.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "platform/qt_text_rasteriser.h"
#include "platform/reg_file_settings_store.h"
#include "platform/steady_time.h"
#include "platform/termination_signals.h"
#include "settings/settings_store.h"
#include "tools/common/headless_ports.h"
#include "tools/logger/alarm_command.h"
#include "tools/logger/daily_log.h"
#include "tools/logger/dropout_detector.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/metrics.h"
#include "tools/logger/metrics_server.h"
#include "tools/logger/second_row.h"
#include "tools/logger/stored_settings.h"

namespace tarnwick {
namespace {

// How often the logger looks whether a second of the wall clock has passed.
constexpr int kSecondCheckMs = 100;
// How often it tries to open a lost input again.
constexpr int kReopenMs = 5000;

// The logger's end: a sound-device failure or a fault the meter cannot go on
// after leaves the loop with status 1; the message was printed.
class LoggerProcessControl : public IProcessControl {
public:
    void EndProgram() override { End(); }
    void CloseMainWindow() override { End(); }
    bool ended = false;

private:
    void End() {
        if (!ended) {
            ended = true;
            QTimer::singleShot(0, [] { QCoreApplication::exit(kLoggerFailed); });
        }
    }
};

// The results files, counted for the metrics.
class CountedFiles : public ITextFiles {
public:
    explicit CountedFiles(ITextFiles& files) : files_(files) {}
    FileResult CreateWith(const std::string& path, const std::string& content) override {
        return files_.CreateWith(path, content);
    }
    FileResult Append(const std::string& path, const std::string& line) override {
        FileResult result = files_.Append(path, line);
        ++(result.ok() ? written : failed);
        return result;
    }
    uint64_t written = 0;
    uint64_t failed = 0;

private:
    ITextFiles& files_;
};

}  // namespace

int RunLogger(const std::vector<std::string>& args) {
    // A first reading finds the instance and any error before anything is
    // opened; the second applies the options over the stored settings.
    TMeterSettings scratch = DefaultSettings();
    const ParsedLoggerOptions first = ParseLoggerOptions(args, scratch);
    if (std::holds_alternative<LoggerHelp>(first)) {
        std::fputs(LoggerUsage().c_str(), stdout);
        return kLoggerOk;
    }
    if (const auto* error = std::get_if<std::string>(&first)) {
        std::fprintf(stderr, "tarnwick-logger: %s\n", error->c_str());
        return kLoggerBadOptions;
    }

    SteadyClock clock;
    ConsoleDialogs dialogs(stderr, "tarnwick-logger", &clock);
    const std::string documents =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    if (!documents.empty()) {
        // Where snapshots and results go until the settings name others, made
        // as the meter window makes it.
        QDir().mkpath(QString::fromStdString(DefaultResultsFolder(documents)));
    }
    MemorySettingsStore store;
    TMeterSettings settings =
        ReadStoredSettings(DefaultSettingsFilePath(), std::get<LoggerOptions>(first).instance,
                           documents, store, dialogs);
    const LoggerOptions options = std::get<LoggerOptions>(ParseLoggerOptions(args, settings));
    if (options.deviceGiven) {
        settings.DeviceName = options.device;
    }

    QtTimers timers;
    SystemWaveInput input;
    SilentWaveOutput output;
    QtRegionalFormats formats;
    LoggerProcessControl process;
    PosixTextFiles posixFiles;
    CountedFiles files(posixFiles);
    HeadlessShell shell(documents);
    JpegImageWriter images;
    // The picture is drawn only when it is to be saved.
    std::optional<QtTextRasteriser> text;
    if (options.snapshotEveryMin > 0) {
        text.emplace();
    }
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, text ? &*text : nullptr});
    app.KeepNoTestAudio();  // nothing is replayed without a window
    MetricsServer metricsServer;
    if (!options.metrics.empty()) {
        std::string error;
        if (!metricsServer.Listen(options.metrics, error)) {
            std::fprintf(stderr, "tarnwick-logger: --metrics %s\n", error.c_str());
            return kLoggerFailed;
        }
    }
    if (!app.FormCreate(options.instance, settings) || process.ended) {
        return kLoggerFailed;
    }
    // A logger's one test runs for weeks; the loudness meter keeps it in
    // fixed memory.
    app.MeasureLoudness(kSampleRate, true);
    app.FormShow();
    if (!options.resultsFile.empty()) {
        dialogs.saveFileAnswer = options.resultsFile;
        app.SaveAs1Click();
        if (!app.settings().FileOpen) {
            return kLoggerFailed;
        }
    }

    std::optional<DailyLog> daily;
    if (!options.logDir.empty()) {
        daily.emplace(options.logDir);
    }
    SecondRow row;
    LoggerMetrics metrics;
    uint32_t lastBlockTick = clock.TickCount();
    DropoutDetector dropouts;
    int32_t secondDropouts = 0;  // in the second of the next row
    int64_t elapsedMs = 0;       // the steady clock, widened past its 32-bit wrap
    std::string event;
    auto addEvent = [&event](const std::string& what) {
        event = event.empty() ? what : event + " " + what;
    };
    bool running = false;
    auto noticeTest = [&] {
        if (app.testRun().TestRunning != running) {
            running = app.testRun().TestRunning;
            addEvent(running ? "start" : "stop");
        }
    };
    std::string lastLogError;
    auto writeRow = [&](LocalDateTime second) {
        noticeTest();
        const std::string fields = row.Take(app, secondDropouts, event);
        secondDropouts = 0;
        event.clear();
        if (daily && !daily->AddRow(second, fields) && daily->Error() != lastLogError) {
            // Once per kind of failure, not once a second.
            dialogs.MessageBox(daily->Error(), "Log file");
        }
        lastLogError = daily ? daily->Error() : std::string();
    };
    Alarms alarms = options.alarms;
    AlarmCommand command(options.onAlarm);
    auto alarmChanged = [&](const AlarmChange& change) {
        metrics.alarms += change.set ? 1 : 0;
        const std::string name = AlarmName(change.kind);
        addEvent(change.set ? name : name + " clear");
        dialogs.MessageBox(change.set ? "set" : "clear", "Alarm " + name);
        std::string error;
        if (!command.Run(change, clock.Now(), error)) {
            dialogs.MessageBox(error, "Alarm command");
        }
    };
    auto levelDb = [&](int32_t amplitude) {
        const TMeterSettings& s = app.settings();
        return amplitude >= 1 ? ReadoutDb(amplitude, s.Calibration, s.DisplayOffset) : -INFINITY;
    };
    app.SetBlockObserver([&] {
        row.AddBlock(app);
        noticeTest();
        ++metrics.blocks;
        const uint32_t tick = clock.TickCount();
        elapsedMs += static_cast<uint32_t>(tick - lastBlockTick);
        lastBlockTick = tick;
        const int64_t lostMs =
            dropouts.AddBlock(elapsedMs, app.settings().BlockBytes / kBytesPerFrame, kSampleRate);
        if (lostMs > 0) {
            ++secondDropouts;
            ++metrics.dropouts;
            addEvent("dropout " + std::to_string(lostMs) + " ms");
        }
        const TBlockLevels& levels = app.lastLevels();
        const BlockDb block{levelDb(levels.Level), levelDb(levels.LeftPeak),
                            levelDb(levels.RightPeak),
                            levels.Level >= DbToAmplitude(app.settings().UpperVol)};
        for (const AlarmChange& change : alarms.AddBlock(clock.TickCount(), block)) {
            alarmChanged(change);
        }
    });

    // A lost input (the sound server restarted, a device unplugged) keeps the
    // test and its results file; the input is tried again every 5 s.
    QTimer reopenTimer;
    reopenTimer.setInterval(kReopenMs);
    QObject::connect(&reopenTimer, &QTimer::timeout, [&] {
        if (app.ReopenInput()) {
            reopenTimer.stop();
            dropouts.Restart();
            addEvent("input back");
            dialogs.MessageBox("Input \"" + app.settings().DeviceName + "\" is back.", "Input");
            std::string error;
            if (!command.Run(alarms.InputLost(false, -INFINITY), clock.Now(), error)) {
                dialogs.MessageBox(error, "Alarm command");
            }
        }
    });
    app.SetDeviceFailureHandler([&](const std::string& reason) {
        if (reopenTimer.isActive()) {
            return;
        }
        addEvent("input lost");
        dialogs.MessageBox("Input \"" + app.settings().DeviceName + "\" lost (" + reason +
                               "); trying again every 5 s.",
                           "Input");
        reopenTimer.start();
        std::string error;
        if (!command.Run(alarms.InputLost(true, -INFINITY), clock.Now(), error)) {
            dialogs.MessageBox(error, "Alarm command");
        }
    });

    int64_t second = clock.Now().ms / 1000;
    QTimer secondTimer;
    QObject::connect(&secondTimer, &QTimer::timeout, [&] {
        const int64_t now = clock.Now().ms / 1000;
        if (now != second) {
            writeRow(LocalDateTime{second * 1000});
            second = now;
            command.Reap();
            if (!options.metrics.empty()) {
                const TLevelStatistics& st = app.statistics();
                metrics.peakDb = levelDb(app.lastLevels().SelectedPeak);
                metrics.shortTermAverageDb = levelDb(static_cast<int32_t>(st.ShortAverage1));
                metrics.runTimeAverageDb = levelDb(st.RunTimeAverage);
                const LoudnessMeter* loudness = app.Loudness();
                metrics.momentaryLufs = loudness != nullptr ? loudness->Momentary() : -INFINITY;
                metrics.shortTermLufs = loudness != nullptr ? loudness->ShortTerm() : -INFINITY;
                metrics.testRunning = app.testRun().TestRunning;
                for (const AlarmKind kind : {AlarmKind::kSilence, AlarmKind::kChannelMissing,
                                             AlarmKind::kOverTarget, AlarmKind::kInputLost}) {
                    metrics.alarmActive[static_cast<size_t>(kind)] = alarms.Active(kind);
                }
                metrics.secondsSinceLastBlock =
                    static_cast<double>(clock.TickCount() - lastBlockTick) / 1000.0;
                metrics.recordsWritten = files.written;
                metrics.failedSaves = files.failed;
                metricsServer.Publish(FormatMetrics(metrics));
            }
        }
    });
    secondTimer.start(kSecondCheckMs);

    QTimer snapshotTimer;
    QObject::connect(&snapshotTimer, &QTimer::timeout, [&] { app.TakeSnapshot(); });
    if (options.snapshotEveryMin > 0) {
        snapshotTimer.start(options.snapshotEveryMin * 60 * 1000);
    }

    if (!app.settings().AutoStart) {
        app.StartStopButtonClick();
    }
    TerminationSignals endings(
        [&] {
            // As a click on Stop: the save on stop, then the last row.
            if (app.testRun().TestRunning) {
                app.StartStopButtonClick();
            }
            writeRow(LocalDateTime{second * 1000});
            QCoreApplication::exit(process.ended ? kLoggerFailed : kLoggerOk);
        },
        [&] {
            if (daily) {
                daily->Reopen();
            }
        });
    const int status = QCoreApplication::exec();
    app.SetBlockObserver(nullptr);
    return status;
}

}  // namespace tarnwick
