#include "tools/analyse/analyser_options.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace tarnwick {
namespace {

std::optional<double> ParseDouble(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParseInt(const std::string& text) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<LocalDateTime> ParseStart(const std::string& text) {
    CivilDateTime c;
    char tail = 0;
    if (text.size() != 19 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &c.year, &c.month, &c.day, &c.hour,
                    &c.minute, &c.second, &tail) != 6) {
        return std::nullopt;
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > kDays[c.month - 1] || c.hour > 23 ||
        c.minute > 59 || c.second > 59) {
        return std::nullopt;
    }
    const LocalDateTime t = ToLocalDateTime(c);
    if (ToCivil(t).day != c.day) {  // 29 February of a common year
        return std::nullopt;
    }
    return t;
}

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
    if (text.size() <= ending.size()) {
        return false;
    }
    for (size_t i = 0; i < ending.size(); ++i) {
        const char c = text[text.size() - ending.size() + i];
        if (std::tolower(static_cast<unsigned char>(c)) != ending[i]) {
            return false;
        }
    }
    return true;
}

std::string Range(const char* option, double low, double high) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%s expects a number from %g to %g", option, low, high);
    return buffer;
}

}  // namespace

bool IsSnapshotName(const std::string& path) {
    return SnapshotIsPng(path) || SnapshotIsJpeg(path);
}

bool SnapshotIsPng(const std::string& path) {
    return EndsWithNoCase(path, ".png");
}

bool SnapshotIsJpeg(const std::string& path) {
    return EndsWithNoCase(path, ".jpg") || EndsWithNoCase(path, ".jpeg");
}

std::string AnalyserUsage() {
    return R"(Usage: tarnwick-analyse [OPTIONS] INPUT

Measures a recording (WAV, FLAC, AIFF, ... mono or stereo, 22050 to 192000 Hz;
other rates than 44100 Hz are converted to it with libsoxr) through the meter's
own engine on a simulated clock, and writes the same results files the meter
window writes. Loudness is measured at the recording's own rate.

Measurement:
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
  --results FILE        attach FILE as Save As would (.txt text, .csv CSV)
  --test-name NAME      test name written in the header (default "Results ")
  --save-mins N         minutes between saves, 1 to 1440 (default 15)
  --no-save-minutes     no saves every N minutes
  --save-hours N        save every N hours on the hour, 1 to 24
  --no-save-on-stop     no save when the test stops
  --loudness-in-results add loudness, range and true peak to every record

Time and formats:
  --start YYYY-MM-DDTHH:MM:SS   local time of the first frame (default now)
  --tick-start N        millisecond tick counter at the first frame (default 0)
  --locale NAME         regional formats, such as en_GB (default the user's)

Output:
  --levels FILE.csv     one row of levels per block
  --readouts            print the final readouts, one per line: Name<TAB>text
  --snapshot FILE       the meter picture at the end: .jpg (quality 85) or .png
  --loudness            add the test's loudness to --readouts: Integrated, Range,
                        TruePeak, MomentaryMax, ShortTermMax (EBU R 128)
  --loudness-log FILE.csv  one row of loudness every 100 ms
  --help                show this text

Exit status: 0 done, 1 a save or device failed (a message was printed),
2 bad options or input.
)";
}

ParsedOptions ParseAnalyserOptions(const std::vector<std::string>& args) {
    AnalyserOptions o;
    TMeterSettings& s = o.settings;

    using Flag = std::function<void()>;
    using Valued = std::function<std::optional<std::string>(const std::string&)>;
    auto number = [](double& target, const char* name, double low, double high) -> Valued {
        return [&target, name, low, high](const std::string& v) -> std::optional<std::string> {
            const auto d = ParseDouble(v);
            if (!d || *d < low || *d > high) {
                return Range(name, low, high);
            }
            target = *d;
            return std::nullopt;
        };
    };
    auto integer = [](int32_t& target, const char* name, int32_t low, int32_t high) -> Valued {
        return [&target, name, low, high](const std::string& v) -> std::optional<std::string> {
            const auto i = ParseInt(v);
            if (!i || *i < low || *i > high) {
                return Range(name, low, high);
            }
            target = *i;
            return std::nullopt;
        };
    };
    auto text = [](std::string& target) -> Valued {
        return [&target](const std::string& v) -> std::optional<std::string> {
            target = v;
            return std::nullopt;
        };
    };

    const std::map<std::string, Flag> flags = {
        {"--integrate", [&] { s.Integrate = true; }},
        {"--no-integrate", [&] { s.Integrate = false; }},
        {"--ignore-threshold", [&] { s.ThresholdIgnore = true; }},
        {"--auto-start", [&] { s.AutoStart = true; }},
        {"--no-save-minutes", [&] { s.SaveOnMinutes = false; }},
        {"--no-save-on-stop", [&] { s.SaveOnStop = false; }},
        {"--readouts", [&] { o.readouts = true; }},
        {"--loudness", [&] { o.loudness = true; }},
        {"--loudness-in-results", [&] { s.LoudnessInResults = true; }},
    };
    double calibration = s.Calibration;
    int32_t saveHours = 0;
    std::string channel;
    std::string start;
    std::string tickStart;
    std::string locale;
    const std::map<std::string, Valued> valued = {
        {"--channel", text(channel)},
        {"--sweep", number(s.Sweep, "--sweep", 1, 60)},
        {"--average-time", number(s.AverageTime, "--average-time", 0.001, 3600)},
        {"--calibration", number(calibration, "--calibration", -60, 60)},
        {"--target1", integer(s.UpperVol, "--target1", -40, 0)},
        {"--target2", integer(s.LowerVol, "--target2", -40, 0)},
        {"--threshold", integer(s.Threshold, "--threshold", -99, 0)},
        {"--scale", integer(s.Scale, "--scale", 0, 7)},
        {"--full-scale", integer(s.FullScale, "--full-scale", -200, 200)},
        {"--auto-level", integer(s.AutoLevel, "--auto-level", -99, 0)},
        {"--results", text(o.resultsFile)},
        {"--test-name", text(s.TestName)},
        {"--save-mins", integer(s.SaveMins, "--save-mins", 1, 1440)},
        {"--save-hours", integer(saveHours, "--save-hours", 1, 24)},
        {"--start", text(start)},
        {"--tick-start", text(tickStart)},
        {"--locale", text(locale)},
        {"--levels", text(o.levelsFile)},
        {"--snapshot", text(o.snapshotFile)},
        {"--loudness-log", text(o.loudnessLogFile)},
    };

    std::vector<std::string> positional;
    bool sawStart = false, sawTick = false, sawLocale = false, sawChannel = false;
    bool sawResults = false, sawLevels = false, sawSnapshot = false, sawLoudnessLog = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            return AnalyserHelp{};
        }
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (arg == "--") {
                positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                                  args.end());
                break;
            }
            positional.push_back(arg);
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (auto f = flags.find(arg); f != flags.end()) {
            if (inlineValue) {
                return arg + " takes no value";
            }
            f->second();
            continue;
        }
        auto v = valued.find(arg);
        if (v == valued.end()) {
            return "unknown option " + arg + " (see --help)";
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                return arg + " needs a value";
            }
            inlineValue = args[++i];
        }
        if (auto error = v->second(*inlineValue)) {
            return *error;
        }
        sawStart |= arg == "--start";
        sawTick |= arg == "--tick-start";
        sawLocale |= arg == "--locale";
        sawChannel |= arg == "--channel";
        sawResults |= arg == "--results";
        sawLevels |= arg == "--levels";
        sawSnapshot |= arg == "--snapshot";
        sawLoudnessLog |= arg == "--loudness-log";
        if (arg == "--save-hours") {
            s.SaveOnHours = true;
            s.SaveHours = saveHours;
        }
    }

    if (positional.size() != 1) {
        return positional.empty() ? "no INPUT recording given (see --help)"
                                  : "only one INPUT recording can be measured at a time";
    }
    o.input = positional.front();

    if (sawChannel) {
        static const std::map<std::string, int32_t> kModes = {{"stereo", kChannelStereo},
                                                              {"left", kChannelLeft},
                                                              {"right", kChannelRight},
                                                              {"sum", kChannelSum},
                                                              {"difference", kChannelDifference}};
        auto mode = kModes.find(channel);
        if (mode == kModes.end()) {
            return "--channel expects stereo, left, right, sum or difference";
        }
        s.Channel = mode->second;
    }
    if (sawStart) {
        o.start = ParseStart(start);
        if (!o.start) {
            return "--start expects a local time as YYYY-MM-DDTHH:MM:SS";
        }
    }
    if (sawTick) {
        uint32_t tick = 0;
        const char* end = tickStart.data() + tickStart.size();
        auto [ptr, ec] = std::from_chars(tickStart.data(), end, tick);
        if (ec != std::errc() || ptr != end) {
            return "--tick-start expects a whole number from 0 to 4294967295";
        }
        o.tickStart = tick;
    }
    if (sawLocale) {
        if (locale.empty()) {
            return "--locale expects a locale name such as en_GB";
        }
        o.locale = locale;
    }
    if (sawResults && o.resultsFile.empty()) {
        return "--results expects a file name";
    }
    if (sawLevels && o.levelsFile.empty()) {
        return "--levels expects a file name";
    }
    if (sawLoudnessLog && o.loudnessLogFile.empty()) {
        return "--loudness-log expects a file name";
    }
    if (sawSnapshot && !IsSnapshotName(o.snapshotFile)) {
        return "--snapshot expects a file name ending in .jpg, .jpeg or .png";
    }
    if (s.TestName.empty()) {
        s.TestName = "Results ";  // as an empty stored name loads
    }
    s.Calibration = calibration;
    DeriveLoadedValues(s);
    return o;
}

}  // namespace tarnwick
