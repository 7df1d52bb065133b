#pragma once
// Command line of tarnwick-logger.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "bands/band_plan.h"
#include "core/meter_settings.h"
#include "tools/logger/alarms.h"

namespace tarnwick {

struct LoggerOptions {
    int32_t instance = 1;  // the settings key read, as the meter's copies
    std::string device;    // the input by name; empty: the settings' `Device Name`
    bool deviceGiven = false;
    std::string resultsFile;         // attached as Save As would; empty: the settings' file, if any
    std::string logDir;              // one CSV a day, a row a second; empty: none
    Alarms alarms;                   // the rules asked for
    std::string onAlarm;             // the command run on every change; empty: none
    std::string metrics;             // "ADDRESS:PORT" to serve /metrics at; empty: none
    int32_t snapshotEveryMin = 0;    // the meter picture saved this often; 0: never
    bool soundLevel = false;         // sound level in the rows, alarms and metrics
    std::optional<BandWidth> bands;  // band levels in the rows and metrics
    double lowFrequencyDb = 20.0;    // LCeq - LAeq of a minute that is low-frequency
    bool sensitivityGiven = false;   // --spl-sensitivity, which no stored one replaces
};

// Whether `args` ask for snapshots: the program then needs Qt's GUI library
// (on its offscreen platform) to draw the picture's text.
bool WantsSnapshots(const std::vector<std::string>& args);

struct LoggerHelp {};

using ParsedLoggerOptions = std::variant<LoggerOptions, LoggerHelp, std::string>;

// Parses `args`; the options that change settings change `settings`, which the
// caller loads first (the instance of a first parse says which).
ParsedLoggerOptions ParseLoggerOptions(const std::vector<std::string>& args,
                                       TMeterSettings& settings);

std::string LoggerUsage();

// Why the sound level of `settings` cannot run as `options` ask, as the
// logger's error line (exit status 2); empty when it can. A limit is in dB
// SPL: without a sensitivity, levels are relative to full scale and the limit
// could never be reached, or be reached at the wrong level.
std::string SoundLevelOptionsError(const LoggerOptions& options, const TMeterSettings& settings);

}  // namespace tarnwick
