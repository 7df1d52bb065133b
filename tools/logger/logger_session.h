#pragma once
// One run of the unattended logger, free of any toolkit: the meter's owner on
// the given clock and input, with what the logger adds around it. It owns the
// per-second day log, the alarms, the input watch's reports, the dropout count,
// the results records and the figures for monitoring, and reaches the machine
// only through ports, so that tests drive weeks of it on a simulated clock.
//
// Everything runs on one thread: the timers, the blocks and the calls below.
//
// The rules it keeps (app/measurement_rules.h states them for every program):
// - The input is the one asked for, or none: a missing input is reported and
//   tried again every 5 s, never replaced (see InputWatch); it is back when
//   audio comes from it again.
// - There is a row for every second, stamped with its UTC offset, with empty
//   figures for a second without blocks; a second is never written twice, not
//   even across a restart. The wall clock set back: a message, and rows go on
//   from the first second not written yet; set forward: the seconds it
//   skipped get empty rows, up to an hour of them. The service manager hears
//   the loop is alive every second, rows or not.
// - Files given are appended to, never emptied, and come back when deleted.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/meter_app.h"
#include "app/second_log.h"
#include "tools/logger/alarm_command_pacing.h"
#include "tools/logger/alarms.h"
#include "tools/logger/counted_files.h"
#include "tools/logger/dropout_detector.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/logger_ports.h"
#include "tools/logger/metrics.h"

namespace tarnwick {

struct LoggerSessionPorts {
    MeterPorts meter;
    IRowFiles& rows;
    IAlarmCommands& commands;
    IServiceNotifier& service;
    // Takes the metrics text every second; null: no metrics are served.
    std::function<void(std::string text)> publishMetrics;
};

class LoggerSession {
public:
    // How often the session looks whether a second of the wall clock passed.
    static constexpr uint32_t kSecondCheckMs = 100;
    static constexpr int64_t kLongestFilledStepS = SecondLog::kLongestFilledStepS;

    LoggerSession(const LoggerSessionPorts& ports, LoggerOptions options);
    LoggerSession(const LoggerSession&) = delete;
    LoggerSession& operator=(const LoggerSession&) = delete;

    // Opens the input (or starts with it lost), attaches the results file,
    // makes the log folder, prints the start-up line and starts the test.
    // False when the logger cannot run; a message said why.
    bool Start(int32_t instance, const TMeterSettings& settings);
    // As a click on Stop (with its save on stop), then the last row; the
    // alarm commands still running are ended.
    void Stop();
    // SIGHUP: the logs are opened afresh at the next row (they always are).
    void ReopenLogs() {}

    MeterApp& app() { return app_; }
    const CountedFiles& resultsFiles() const { return files_; }
    const LoggerMetrics& metrics() const { return metrics_; }
    // The text of the start-up line.
    std::string StartUpLine() const;

private:
    void OnBlock();
    void OnSecondCheck();
    void OnSoundLevelSecond(const SoundLevelSecond& second, const LimitEvents& events);
    // The rows of the seconds that are over, then what follows a second.
    void PollSeconds();
    void AddEvent(const std::string& what);
    void AlarmChanged(const AlarmChange& change);
    void InputLost(const std::string& reason);
    void InputBack();
    void PublishMetrics();
    void Tell(const std::string& text, const std::string& caption);
    std::string InputName() const;
    double LevelDb(int32_t amplitude) const;

    LoggerSessionPorts ports_;
    LoggerOptions options_;
    CountedFiles files_;  // the results files, before the owner that writes them
    MeterApp app_;
    SecondLog log_;
    LoggerMetrics metrics_;
    Alarms alarms_;
    AlarmCommandPacing pacing_;
    DropoutDetector dropouts_;
    std::unique_ptr<ITimer> secondTimer_;
    std::unique_ptr<ITimer> snapshotTimer_;

    bool started_ = false;
    uint32_t lastBlockTick_ = 0;
    uint32_t lastPingTick_ = 0;               // the last liveness ping
    int64_t streamMs_ = 0;                    // the steady clock, widened past its 32-bit wrap
    std::optional<std::string> lossAtStart_;  // told after the start-up line
};

}  // namespace tarnwick
