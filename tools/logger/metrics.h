#pragma once
// The logger's figures for monitoring systems, in the Prometheus text format:
// gauges of the levels, the loudness, the test and the alarms, and counters of
// blocks, dropouts, alarms, records written and failed saves.

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
    bool alarmActive[4] = {false, false, false, false};  // by AlarmKind
    double secondsSinceLastBlock = 0.0;
    // Counters
    uint64_t blocks = 0;
    uint64_t dropouts = 0;
    uint64_t alarms = 0;  // alarms set
    uint64_t recordsWritten = 0;
    uint64_t failedSaves = 0;
};

std::string FormatMetrics(const LoggerMetrics& m);

}  // namespace tarnwick
