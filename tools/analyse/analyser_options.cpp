#include "tools/analyse/analyser_options.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "tools/common/command_line.h"
#include "tools/common/settings_options.h"

namespace tarnwick {
namespace {

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
window writes. Loudness and true peak are measured from the recording's own
samples: at its own rate, in its own channels, at full precision.

)" + SettingsOptions::Usage() +
           R"(
Time and formats:
  --start YYYY-MM-DDTHH:MM:SS   local time of the first frame (default now)
  --tick-start N        millisecond tick counter at the first frame (default 0)
  --locale NAME         regional formats, such as en_GB (default the user's)

Output:
  --levels FILE.csv     one row of levels per block
  --readouts            print the final readouts, one per line: Name<TAB>text
  --snapshot FILE       the meter picture at the end: .jpg (quality 85) or .png
  --loudness            print the test's loudness (EBU R 128), one per line as
                        Name<TAB>text, after any --readouts: Integrated, Range,
                        TruePeak, MomentaryMax, ShortTermMax
  --loudness-log FILE.csv  one row of loudness every 100 ms
  --dual-mono           measure a mono recording's loudness as heard from two
                        loudspeakers (3 LU louder); by default a mono recording
                        is one channel, as ITU-R BS.1770 measures it
  --help                show this text

Exit status: 0 done, 1 a save or device failed (a message was printed),
2 bad options or input.
)";
}

ParsedOptions ParseAnalyserOptions(const std::vector<std::string>& args) {
    AnalyserOptions o;
    CommandLine line;
    SettingsOptions settings(line, o.settings);
    line.Flag("--readouts", [&] { o.readouts = true; });
    line.Flag("--loudness", [&] { o.loudness = true; });
    line.Flag("--dual-mono", [&] { o.dualMono = true; });
    std::string start;
    std::string tickStart;
    std::string locale;
    line.Option("--results", CommandLine::Text(o.resultsFile));
    line.Option("--start", CommandLine::Text(start));
    line.Option("--tick-start", CommandLine::Text(tickStart));
    line.Option("--locale", CommandLine::Text(locale));
    line.Option("--levels", CommandLine::Text(o.levelsFile));
    line.Option("--snapshot", CommandLine::Text(o.snapshotFile));
    line.Option("--loudness-log", CommandLine::Text(o.loudnessLogFile));
    if (auto error = line.Parse(args)) {
        return *error;
    }
    if (line.help) {
        return AnalyserHelp{};
    }
    if (line.positional.size() != 1) {
        return line.positional.empty() ? "no INPUT recording given (see --help)"
                                       : "only one INPUT recording can be measured at a time";
    }
    o.input = line.positional.front();
    if (auto error = settings.Finish()) {
        return *error;
    }
    if (line.Given("--start")) {
        o.start = ParseStart(start);
        if (!o.start) {
            return "--start expects a local time as YYYY-MM-DDTHH:MM:SS";
        }
    }
    if (line.Given("--tick-start")) {
        uint32_t tick = 0;
        const char* end = tickStart.data() + tickStart.size();
        auto [ptr, ec] = std::from_chars(tickStart.data(), end, tick);
        if (ec != std::errc() || ptr != end) {
            return "--tick-start expects a whole number from 0 to 4294967295";
        }
        o.tickStart = tick;
    }
    if (line.Given("--locale")) {
        if (locale.empty()) {
            return "--locale expects a locale name such as en_GB";
        }
        o.locale = locale;
    }
    if (line.Given("--results") && o.resultsFile.empty()) {
        return "--results expects a file name";
    }
    if (line.Given("--levels") && o.levelsFile.empty()) {
        return "--levels expects a file name";
    }
    if (line.Given("--loudness-log") && o.loudnessLogFile.empty()) {
        return "--loudness-log expects a file name";
    }
    if (line.Given("--snapshot") && !IsSnapshotName(o.snapshotFile)) {
        return "--snapshot expects a file name ending in .jpg, .jpeg or .png";
    }
    return o;
}

}  // namespace tarnwick
