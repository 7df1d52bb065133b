#pragma once
// The logger's figures for monitoring systems, in the Prometheus text format
// (version 0.0.4): gauges of the levels, the loudness, the test, the input and
// the alarms, counters of blocks, dropouts, alarms, records written, failed
// saves, failed log writes and failed alarm commands, and the build's version.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/logger/alarms.h"

namespace tarnwick {

struct LoggerMetrics {
    // Gauges (dB on the display scale, LUFS; minus infinity when none)
    double peakDb = 0.0;
    double shortTermAverageDb = 0.0;
    double runTimeAverageDb = 0.0;
    double momentaryLufs = 0.0;
    double shortTermLufs = 0.0;
    bool testRunning = false;
    std::array<bool, kAlarmKindCount> alarmActive{};  // by static_cast<size_t>(AlarmKind)
    double secondsSinceLastBlock = 0.0;
    bool inputOpen = false;  // the input asked for is open and delivering
    // Wall-clock time of the last results record written, in seconds since
    // 1970-01-01 00:00 UTC (Unix time, not local time); 0 before the first.
    int64_t lastRecordUnixSeconds = 0;
    // Counters
    uint64_t blocks = 0;
    uint64_t dropouts = 0;
    uint64_t alarms = 0;  // alarms set, of every kind, input-lost among them
    uint64_t recordsWritten = 0;
    uint64_t failedSaves = 0;
    uint64_t logWriteFailures = 0;  // rows of the day log that could not be written
    uint64_t nonFiniteSamples = 0;  // samples that were no numbers, measured as silence
    // --on-alarm commands that ended with a status other than 0 or by a signal
    uint64_t alarmCommandFailures = 0;
    // Sound level, served only when measured: dB SPL (minus infinity when
    // none, NaN when not live), the limit's state (0 ok, 1 warn, 2 limit; -1
    // without a limit), and counters of overloaded seconds and of the
    // A-weighted sound exposure.
    bool soundLevel = false;
    bool soundLevelCalibrated = false;
    double laeqSecondDb = 0.0;
    double laeqRollingDb = 0.0;
    double lafmaxDb = 0.0;
    double lcpeakDb = 0.0;
    double lceqSecondDb = 0.0;
    double lceqRollingDb = 0.0;
    int splLimitState = -1;
    int splCLimitState = -1;  // of the LCeq limit, likewise
    uint64_t splOverloads = 0;
    double exposurePa2s = 0.0;
    // With bands: their nominal names, each one's Leq of the last second
    // (NaN when not live) and exposure since the start, in the same order.
    std::vector<std::string> bandNames;
    bool bandCalibrated = false;
    std::vector<double> bandLeqDb;
    std::vector<double> bandExposurePa2s;
};

std::string FormatMetrics(const LoggerMetrics& m);

}  // namespace tarnwick
