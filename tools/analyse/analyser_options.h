#pragma once
// Command line of tarnwick-analyse.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/local_time.h"
#include "settings/meter_settings.h"

namespace tarnwick {

struct AnalyserOptions {
    std::string input;
    // The settings the meter runs with: the defaults, changed by the options.
    TMeterSettings settings = DefaultSettings();
    std::string resultsFile;             // attached as Save As would; empty: none
    std::optional<LocalDateTime> start;  // local time of the first frame; default now
    uint32_t tickStart = 0;
    std::optional<std::string> locale;  // default: the user's
    std::string levelsFile;             // per-block level log; empty: none
    bool readouts = false;
};

struct AnalyserHelp {};  // --help was asked for

// Either the options, the help request, or a one-line error message.
using ParsedOptions = std::variant<AnalyserOptions, AnalyserHelp, std::string>;

ParsedOptions ParseAnalyserOptions(const std::vector<std::string>& args);

// The text --help prints.
std::string AnalyserUsage();

}  // namespace tarnwick
