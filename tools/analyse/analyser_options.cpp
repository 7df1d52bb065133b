#include "tools/analyse/analyser_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>

#include "tools/common/command_line.h"
#include "tools/common/settings_options.h"

namespace tarnwick {
namespace {

// The levels a sound calibrator may give, dB SPL (94 and 114 dB at 1 kHz are
// usual; a pistonphone gives 124 dB).
constexpr double kQuietestCalibratorDb = 70.0;
constexpr double kLoudestCalibratorDb = 140.0;

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

)" +
           SettingsOptions::Usage(
               "  --results FILE        append to FILE (.txt text, .csv CSV); a new or empty\n"
               "                        FILE starts with the header; when FILE has another\n"
               "                        header the records go to NAME (2).EXT beside it, and\n"
               "                        a message says so\n") +
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

Sound level (IEC 61672-1, of the --spl-channel, at the recording's own rate
and full precision; dB relative to a full-scale sine, and said to be
uncalibrated, without --spl-sensitivity):
  --spl                 print the test's sound level, one per line as
                        Name<TAB>text, after any --loudness: LAeq, LCeq, LZeq,
                        LAE, LAFmax, LASmax, LAFmin, LCpeak and LEX8h in dB,
                        LA<N> for each --spl-stats entry, Dose in % (criterion
                        85 dB(A), exchange rate 3 dB) and Overload, the seconds
                        that held a sample at full scale
  --bands octave|third  print each band's Leq over the recording, one per line
                        as <nominal mid-band Hz><TAB><dB, two decimals>,
                        rising, after any --spl: octave bands from 31.5 Hz or
                        one-third-octave bands from 25 Hz (IEC 61260-1 class
                        1, Z-weighted), up to the highest the sample rate
                        reaches; of the --spl-channel, calibrated as the
                        sound level
  --bands-weighting W   A, C or Z (default): the weighting's value at each
                        band's mid-band frequency added to its levels
  --bands-log FILE.csv  one row of band levels a second: time_s (its end, from
                        the recording's start) and each band's Leq over the
                        second (leq_25hz ...), of the --bands bank, and an
                        event column: each minute (and the part of one the
                        recording ends with) is screened, its last row
                        saying low-frequency when LCeq - LAeq (from the
                        bands) exceeds 20 dB, and tonal with the band
                        ("tonal 1000 Hz") when a one-third-octave band
                        exceeds both neighbours by 15 dB (25-125 Hz), 8 dB
                        (160-400 Hz) or 5 dB (500 Hz-10 kHz), ISO 1996-2
  --low-frequency-db DB  the difference of that screen (5 to 60, default 20)
  --bands-table FILE.csv  one row a band: band_hz, its leq_db over the
                        recording, lfmax_db, and a column per --spl-stats
                        level (l10_db ...) from the band's Leq of each 100 ms
  --bands-selftest      run the periodic tests of IEC 61260-3 through the filter
                        bank at 44.1 and 48 kHz, octave and one-third octave:
                        relative attenuation of the lowest, 1 kHz and highest
                        filters at every normalised frequency of the
                        standard's table, linearity over 40 dB and the
                        summation of adjacent filters; one PASS or FAIL line
                        per check, no INPUT. Exit 0 when every check passes,
                        1 when one fails
  --spl-log FILE.csv    one row of sound level a second: time_s (its end, from
                        the recording's start), LAeq, LAFmax, LCpeak, LCeq,
                        LAeq_rolling (over the --spl-limit minutes, default
                        15), limit_state (ok, warn or limit, the worse of
                        --spl-limit and --spl-limit-c; empty without either)
                        and event (the state entered, with LCpeak or LAFmax
                        when that set it, LCeq for the C limit, and overload)
  --spl-calibrate DB    INPUT is a recording of a sound calibrator giving DB
                        dB SPL (70 to 140, such as 94 or 114) at 1 kHz: print
                        its Sensitivity<TAB>dB for --spl-sensitivity, or say
                        why the tone is refused (exit 1)
  --spl-selftest        run the electrical tests of IEC 61672-3 on synthetic
                        signals through the sound level chain and print one
                        line per check; no INPUT. Exit 0 when every check
                        passes, 1 when one fails
  --help                show this text

Exit status: 0 done, 1 a save or device failed (a message was printed), a
calibration was refused or a self-test check failed, 2 bad options or input.
)";
}

ParsedOptions ParseAnalyserOptions(const std::vector<std::string>& args) {
    AnalyserOptions o;
    CommandLine line;
    SettingsOptions settings(line, o.settings);
    line.Flag("--readouts", [&] { o.readouts = true; });
    line.Flag("--loudness", [&] { o.loudness = true; });
    line.Flag("--dual-mono", [&] { o.dualMono = true; });
    line.Flag("--spl", [&] { o.soundLevel = true; });
    line.Flag("--spl-selftest", [&] { o.selfTest = true; });
    line.Flag("--bands-selftest", [&] { o.bandsSelfTest = true; });
    double calibratorDb = 0.0;
    line.Option("--spl-calibrate",
                CommandLine::Number(calibratorDb, "--spl-calibrate", kQuietestCalibratorDb,
                                    kLoudestCalibratorDb));
    line.Option("--spl-log", CommandLine::Text(o.soundLevelLogFile));
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
    std::string bands;
    line.Option("--bands", CommandLine::Text(bands));
    line.Option("--bands-log", CommandLine::Text(o.bandsLogFile));
    line.Option("--bands-table", CommandLine::Text(o.bandsTableFile));
    line.Option("--low-frequency-db",
                CommandLine::Number(o.lowFrequencyDb, "--low-frequency-db", 5, 60));
    std::string bandsWeighting;
    line.Option("--bands-weighting", CommandLine::Text(bandsWeighting));
    if (auto error = line.Parse(args)) {
        return *error;
    }
    if (line.help) {
        return AnalyserHelp{};
    }
    // The calibration and the self-test measure what they need alone; an
    // output asked for beside them would silently stay unwritten.
    const char* const outputs[] = {"--results",  "--levels",   "--snapshot",
                                   "--readouts", "--loudness", "--loudness-log",
                                   "--spl",      "--spl-log",  "--bands"};
    const auto anyOutput = [&] {
        return std::any_of(std::begin(outputs), std::end(outputs),
                           [&](const char* name) { return line.Given(name); });
    };
    if (o.selfTest && o.bandsSelfTest) {
        return "--spl-selftest and --bands-selftest each run alone";
    }
    if (o.selfTest || o.bandsSelfTest) {
        if (line.Given("--spl-calibrate") || anyOutput() || !line.positional.empty()) {
            return std::string(o.selfTest ? "--spl-selftest" : "--bands-selftest") +
                   " runs alone: it takes no INPUT and no other output";
        }
        if (auto error = settings.Finish()) {
            return *error;
        }
        return o;
    }
    if (line.Given("--spl-calibrate")) {
        if (anyOutput()) {
            return "--spl-calibrate measures the calibrator's tone alone: it takes no other "
                   "output";
        }
        o.calibratorDb = calibratorDb;
    }
    if (line.positional.size() != 1) {
        return line.positional.empty() ? "no INPUT recording given (see --help)"
                                       : "only one INPUT recording can be measured at a time";
    }
    o.input = line.positional.front();
    if (line.Given("--bands")) {
        if (bands == "octave") {
            o.bands = BandWidth::kOctave;
        } else if (bands == "third") {
            o.bands = BandWidth::kThirdOctave;
        } else {
            return "--bands expects octave or third";
        }
    }
    if (line.Given("--bands-weighting")) {
        if (bandsWeighting != "A" && bandsWeighting != "C" && bandsWeighting != "Z") {
            return "--bands-weighting expects A, C or Z";
        }
        if (!o.bands) {
            return "--bands-weighting weights the bands of --bands octave or third";
        }
        o.bandsWeighting = bandsWeighting[0];
    }
    if (line.Given("--bands-log") && (o.bandsLogFile.empty() || !o.bands)) {
        return "--bands-log expects a file name, and --bands octave or third for its bands";
    }
    if (line.Given("--low-frequency-db") && o.bandsLogFile.empty()) {
        return "--low-frequency-db screens the minutes of --bands-log";
    }
    if (line.Given("--bands-table") && (o.bandsTableFile.empty() || !o.bands)) {
        return "--bands-table expects a file name, and --bands octave or third for its bands";
    }
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
    if (line.Given("--spl-log") && o.soundLevelLogFile.empty()) {
        return "--spl-log expects a file name";
    }
    if (line.Given("--snapshot") && !IsSnapshotName(o.snapshotFile)) {
        return "--snapshot expects a file name ending in .jpg, .jpeg or .png";
    }
    for (const char* limit : {"--spl-limit", "--spl-limit-c"}) {
        if (line.Given(limit) && !o.settings.SplSensitivity) {
            // A limit in dB SPL against levels relative to full scale is
            // never the limit that was meant.
            return std::string(limit) +
                   " needs --spl-sensitivity: without it the levels are relative to full scale";
        }
    }
    return o;
}

}  // namespace tarnwick
