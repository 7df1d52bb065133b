#pragma once
// The logger's figures for monitoring systems, in the Prometheus text format
// (version 0.0.4): gauges of the levels, the loudness, the test, the input and
// the alarms, counters of blocks, dropouts, alarms, records written, failed
// saves and failed log writes, and the build's version.

#include <array>
#include <cstdint>
#include <string>

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
};

std::string FormatMetrics(const LoggerMetrics& m);

}  // namespace tarnwick
