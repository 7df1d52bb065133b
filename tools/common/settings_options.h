#pragma once
// The options that change the meter's settings, shared by tarnwick-analyse and
// tarnwick-logger: measurement (channel, integration, sweep, average time,
// calibration, targets, threshold, scale, automatic start), the results
// schedule (test name, save times) and sound level (sensitivity, channel,
// statistics, limit). Only the options given change the settings.

#include <string>

#include "core/meter_settings.h"
#include "tools/common/command_line.h"

namespace tarnwick {

class SettingsOptions {
public:
    // Registers the options on `line`; they change `settings`, which must
    // outlive the parse and Finish.
    SettingsOptions(CommandLine& line, TMeterSettings& settings);

    // After the parse: names turned into modes, derived values computed.
    // nullopt when all is well, else the message.
    std::optional<std::string> Finish();

    // The help text of the options, in blocks headed "Measurement:",
    // "Results:" and "Sound level:". The results block begins with
    // `resultsOption`, the lines of --results, which each program takes and
    // describes itself.
    static std::string Usage(const std::string& resultsOption);

private:
    CommandLine& line_;
    TMeterSettings& settings_;
    std::string channel_;
    int32_t saveHours_ = 0;
    double splSensitivity_ = 0.0;
    std::string splChannel_;
    std::string splStatistics_;
    std::string splLimit_;
    std::string splLimitC_;
};

// A limit as the settings hold it: the level, its time T and the warning
// margin.
struct SplLimitFields {
    double& db;
    int32_t& minutes;
    double& warnMarginDb;
};

// The text of `option` ("DB[:MINUTES[:WARN_DB]]") into `limit`, MINUTES and
// WARN_DB keeping their values when left out; the message when it is not
// that, `limit` unchanged.
std::optional<std::string> ApplySplLimit(const std::string& option, const std::string& text,
                                         SplLimitFields limit);

}  // namespace tarnwick
