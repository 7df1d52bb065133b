#include "tools/logger/logger_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

#include "platform/audio_devices.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_row_files.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "platform/qt_text_rasteriser.h"
#include "platform/reg_file_settings_store.h"
#include "platform/steady_time.h"
#include "platform/termination_signals.h"
#include "settings/settings_store.h"
#include "settings/sound_level_settings.h"
#include "tools/common/headless_ports.h"
#include "tools/logger/alarm_command.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/logger_session.h"
#include "tools/logger/metrics_server.h"
#include "tools/logger/service_notifier.h"
#include "tools/logger/stored_settings.h"

namespace tarnwick {
namespace {

// A logger that waits 3 s for a frozen sound server cannot write a row a
// second: it asks and gives up in half a second, and tries again at the next
// retry of its input.
constexpr PulsePatience kLoggerPatience{std::chrono::milliseconds(500),
                                        std::chrono::milliseconds(500)};

// The logger's end: a fault the meter cannot go on after leaves the loop with
// status 1; the message was printed.
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

// The alarm command as the session's port; what the commands write to their
// standard error joins the logger's own lines.
class AlarmCommands : public IAlarmCommands {
public:
    AlarmCommands(const std::string& commandLine, IUserDialogs& dialogs)
        : command_(commandLine, [&dialogs](const std::string& line) {
              dialogs.MessageBox(line, "Alarm command");
          }) {}
    bool Run(const AlarmChange& change, LocalDateTime at, std::string& error) override {
        return command_.Run(change, at, error);
    }
    void Reap() override { command_.Reap(); }
    void StopAll() override { command_.StopAll(); }
    uint64_t Failures() const override { return command_.Failures(); }
    const std::string& ProgramError() const { return command_.ProgramError(); }

private:
    AlarmCommand command_;
};

// systemd's notifications as the session's port.
class SystemdService : public IServiceNotifier {
public:
    void Ready() override { notifier_.Ready(); }
    void Watchdog() override { notifier_.WatchdogPing(); }
    void Stopping() override { notifier_.Stopping(); }
    void Status(const std::string& line) override { notifier_.Status(line); }

private:
    ServiceNotifier notifier_;
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
    if (options.deviceGiven && options.device != settings.DeviceName) {
        settings.DeviceName = options.device;
        if (!options.sensitivityGiven) {
            // A calibration holds for its own input only: the stored Device
            // Name's sensitivity is not this input's.
            const std::unique_ptr<ISettingsKey> key =
                store.OpenOrCreate(SettingsKeyPathFor(options.instance));
            settings.SplSensitivity =
                key != nullptr ? ReadSensitivity(*key, settings.DeviceName) : std::nullopt;
        }
    }
    if (const std::string error = SoundLevelOptionsError(options, settings); !error.empty()) {
        std::fprintf(stderr, "tarnwick-logger: %s\n", error.c_str());
        return kLoggerBadOptions;
    }
    // The alarm command's program is found now: one missing is a bad option,
    // not an alarm that is silently never heard.
    AlarmCommands commands(options.onAlarm, dialogs);
    if (!commands.ProgramError().empty()) {
        std::fprintf(stderr, "tarnwick-logger: --on-alarm %s\n", commands.ProgramError().c_str());
        return kLoggerBadOptions;
    }

    MetricsServer metricsServer;
    if (!options.metrics.empty()) {
        std::string error;
        const ListenResult listening = metricsServer.Listen(options.metrics, error);
        if (listening != ListenResult::kListening) {
            std::fprintf(stderr, "tarnwick-logger: --metrics %s\n", error.c_str());
            return listening == ListenResult::kMalformedAddress ? kLoggerBadOptions : kLoggerFailed;
        }
    }

    QtTimers timers;
    SystemWaveInput input({}, kLoggerPatience);
    SilentWaveOutput output;
    QtRegionalFormats formats;
    LoggerProcessControl process;
    PosixTextFiles files;
    HeadlessShell shell(documents);
    JpegImageWriter images;
    // The picture is drawn only when it is to be saved.
    std::optional<QtTextRasteriser> text;
    if (options.snapshotEveryMin > 0) {
        text.emplace();
    }
    PosixRowFiles rows;
    SystemdService service;
    std::function<void(std::string)> publish;
    if (!options.metrics.empty()) {
        publish = [&metricsServer](std::string metrics) {
            metricsServer.Publish(std::move(metrics));
        };
    }
    LoggerSession session(
        LoggerSessionPorts{MeterPorts{clock, timers, input, output, formats, dialogs, process,
                                      store, files, shell, images, text ? &*text : nullptr},
                           rows, commands, service, publish},
        options);
    if (!session.Start(options.instance, settings) || process.ended) {
        return kLoggerFailed;
    }
    TerminationSignals endings(
        [&] {
            session.Stop();
            QCoreApplication::exit(process.ended ? kLoggerFailed : kLoggerOk);
        },
        [&] { session.ReopenLogs(); });
    const int status = QCoreApplication::exec();
    session.app().SetBlockObserver(nullptr);
    return status;
}

}  // namespace tarnwick
