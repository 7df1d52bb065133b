#include "tools/common/settings_options.h"

#include <cmath>
#include <map>
#include <sstream>
#include <vector>

#include "settings/sound_level_settings.h"

namespace tarnwick {

SettingsOptions::SettingsOptions(CommandLine& line, TMeterSettings& settings)
    : line_(line), settings_(settings) {
    TMeterSettings& s = settings_;
    line.Flag("--integrate", [&s] { s.Integrate = true; });
    line.Flag("--no-integrate", [&s] { s.Integrate = false; });
    line.Flag("--ignore-threshold", [&s] { s.ThresholdIgnore = true; });
    line.Flag("--auto-start", [&s] { s.AutoStart = true; });
    line.Flag("--no-save-minutes", [&s] { s.SaveOnMinutes = false; });
    line.Flag("--no-save-on-stop", [&s] { s.SaveOnStop = false; });
    line.Flag("--loudness-in-results", [&s] { s.LoudnessInResults = true; });
    line.Option("--channel", CommandLine::Text(channel_));
    line.Option("--sweep", CommandLine::Number(s.Sweep, "--sweep", 1, 60));
    line.Option("--average-time",
                CommandLine::Number(s.AverageTime, "--average-time", 0.001, 3600));
    line.Option("--calibration", CommandLine::Number(s.Calibration, "--calibration", -60, 60));
    line.Option("--target1", CommandLine::Integer(s.UpperVol, "--target1", -40, 0));
    line.Option("--target2", CommandLine::Integer(s.LowerVol, "--target2", -40, 0));
    line.Option("--threshold", CommandLine::Integer(s.Threshold, "--threshold", -99, 0));
    line.Option("--scale", CommandLine::Integer(s.Scale, "--scale", 0, 7));
    line.Option("--full-scale", CommandLine::Integer(s.FullScale, "--full-scale", -200, 200));
    line.Option("--auto-level", CommandLine::Integer(s.AutoLevel, "--auto-level", -99, 0));
    line.Option("--test-name", CommandLine::Text(s.TestName));
    line.Option("--save-mins", CommandLine::Integer(s.SaveMins, "--save-mins", 1, 1440));
    line.Option("--save-hours", CommandLine::Integer(saveHours_, "--save-hours", 1, 24));
    line.Flag("--spl-in-results", [&s] { s.SplInResults = true; });
    line.Flag("--spl-octaves-in-results", [&s] {
        s.SplInResults = true;
        s.SplOctavesInResults = true;
    });
    line.Option("--spl-sensitivity",
                CommandLine::Number(splSensitivity_, "--spl-sensitivity", 40, 200));
    line.Option("--spl-channel", CommandLine::Text(splChannel_));
    line.Option("--spl-stats", CommandLine::Text(splStatistics_));
    line.Option("--spl-limit", CommandLine::Text(splLimit_));
    line.Option("--spl-limit-c", CommandLine::Text(splLimitC_));
    line.Option("--mic-response", CommandLine::Text(s.SplResponseFile));
}

std::optional<std::string> SettingsOptions::Finish() {
    TMeterSettings& s = settings_;
    if (line_.Given("--channel")) {
        static const std::map<std::string, int32_t> kModes = {{"stereo", kChannelStereo},
                                                              {"left", kChannelLeft},
                                                              {"right", kChannelRight},
                                                              {"sum", kChannelSum},
                                                              {"difference", kChannelDifference}};
        auto mode = kModes.find(channel_);
        if (mode == kModes.end()) {
            return "--channel expects stereo, left, right, sum or difference";
        }
        s.Channel = mode->second;
    }
    if (line_.Given("--save-hours")) {
        s.SaveOnHours = true;
        s.SaveHours = saveHours_;
    }
    if (s.TestName.empty()) {
        s.TestName = "Results ";  // as an empty stored name loads
    }
    if (line_.Given("--spl-sensitivity")) {
        s.SplSensitivity = splSensitivity_;
    }
    if (line_.Given("--spl-channel")) {
        static const std::map<std::string, int32_t> kChannels = {
            {"left", 0}, {"right", 1}, {"both", 2}};
        auto channel = kChannels.find(splChannel_);
        if (channel == kChannels.end()) {
            return "--spl-channel expects left, right or both";
        }
        s.SplChannel = channel->second;
    }
    if (line_.Given("--spl-stats")) {
        if (!ParseStatisticsList(splStatistics_)) {
            return "--spl-stats expects percentages above 0 and below 100, such as 10,50,90";
        }
        s.SplStatistics = splStatistics_;
    }
    if (line_.Given("--spl-limit")) {
        if (auto error = ApplySplLimit("--spl-limit", splLimit_,
                                       {s.SplLimit, s.SplMinutes, s.SplWarnMargin})) {
            return error;
        }
    }
    if (line_.Given("--spl-limit-c")) {
        if (auto error = ApplySplLimit("--spl-limit-c", splLimitC_,
                                       {s.SplCLimit, s.SplCMinutes, s.SplCWarnMargin})) {
            return error;
        }
    }
    DeriveLoadedValues(s);
    return std::nullopt;
}

std::optional<std::string> ApplySplLimit(const std::string& option, const std::string& text,
                                         SplLimitFields limit) {
    const std::string usage =
        option + " expects DB[:MINUTES[:WARN_DB]], such as 100:15:3 (MINUTES 1 to 60)";
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ':');) {
        parts.push_back(part);
    }
    if (parts.empty() || parts.size() > 3) {
        return usage;
    }
    const std::optional<double> db = ParseDouble(parts[0]);
    if (!db || *db < 30.0 || *db > 200.0) {
        return usage;
    }
    int32_t minutes = limit.minutes;
    if (parts.size() > 1) {
        const std::optional<double> m = ParseDouble(parts[1]);
        if (!m || *m != std::floor(*m) || *m < 1 || *m > 60) {
            return usage;
        }
        minutes = static_cast<int32_t>(*m);
    }
    double margin = limit.warnMarginDb;
    if (parts.size() > 2) {
        const std::optional<double> w = ParseDouble(parts[2]);
        if (!w || *w < 0.0 || *w > 20.0) {
            return usage;
        }
        margin = *w;
    }
    limit.db = *db;
    limit.minutes = minutes;
    limit.warnMarginDb = margin;
    return std::nullopt;
}

std::string SettingsOptions::Usage(const std::string& resultsOption) {
    return R"(Measurement:
  --channel MODE        stereo|left|right|sum|difference (default stereo)
  --integrate           slow-rise integration of block peaks (default)
  --no-integrate        plain block peaks
  --sweep S             sweep time in seconds, 1 to 60 (default 10)
  --average-time S      short-term average in seconds, above 0 (default 0.3)
  --calibration DB      graph top relative to full scale (default -2)
  --target1 DB          Upper Vol, -40 to 0 (default -10)
  --target2 DB          Lower Vol, -40 to 0 (default -20)
  --threshold DB        run-time average gate, -99 to 0 (default -30)
  --ignore-threshold    admit every block to the run-time average
  --scale N             meter scale 0 to 7 (default 2)
  --full-scale DB       top of the user full-scale scale (default 95)
  --auto-start          start and stop tests on level instead of at once
  --auto-level DB       level of the automatic start and stop (default -40)

Results:
)" + resultsOption +
           R"(  --test-name NAME      test name written in the header (default "Results ")
  --save-mins N         minutes between saves, 1 to 1440 (default 15)
  --no-save-minutes     no saves every N minutes
  --save-hours N        save every N hours on the hour, 1 to 24
  --no-save-on-stop     no save when the test stops
  --loudness-in-results add loudness, range and true peak to every record
  --spl-in-results      add LAeq, LAFmax, LCpeak, LA10 and LA90 to every record
  --spl-octaves-in-results
                        and after them each octave band's Leq of the record's
                        period, 63 Hz to 8 kHz ("63 Hz dB" ... "8 kHz dB")

Sound level:
  --spl-sensitivity DB  dB SPL that a full-scale sine reads (from a
                        calibration); without it levels are relative to a
                        full-scale sine and marked uncalibrated
  --spl-channel CH      left (default: a measurement microphone), right, or
                        both (their mean square)
  --spl-stats LIST      the statistical levels LN, such as 10,50,90 (default)
  --spl-limit DB[:MINUTES[:WARN_DB]]
                        a limit on LAeq over MINUTES (default 15, rolling),
                        with a warning WARN_DB under it (default 3)
  --spl-limit-c DB[:MINUTES[:WARN_DB]]
                        a limit on LCeq over MINUTES (default 15), for the
                        bass, with a warning WARN_DB under it (default 3)
  --mic-response FILE   the measurement microphone's response: lines of a
                        frequency in Hz and a correction in dB (comments
                        start with *, # or "), and perhaps a line
                        "Sens Factor =-1.4dB" that adds to the sensitivity.
                        Every sound level and band is corrected by the curve
                        inverted; a file that is no response is refused
                        with its line
)";
}

}  // namespace tarnwick
