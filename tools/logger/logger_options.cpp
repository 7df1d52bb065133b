#include "tools/logger/logger_options.h"

#include "tools/common/command_line.h"
#include "tools/common/settings_options.h"

namespace tarnwick {
namespace {

// An hour: a longer hold would hide the end of an alarm, not its flapping.
constexpr double kMaxClearHoldSeconds = 3600.0;

// The help text's width.
constexpr size_t kUsageColumns = 79;

// "Alarms: silence, channel-missing, ...", from the one list of kinds, in
// lines that fit the help text.
std::string AlarmNamesParagraph() {
    std::string text;
    std::string line = "Alarms:";
    for (size_t i = 0; i < kAlarmKindCount; ++i) {
        const std::string word =
            AlarmName(kAlarmKinds[i]) + std::string(i + 1 < kAlarmKindCount ? "," : ".");
        if (line.size() + 1 + word.size() > kUsageColumns) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return text + line + "\n";
}

}  // namespace

ParsedLoggerOptions ParseLoggerOptions(const std::vector<std::string>& args,
                                       TMeterSettings& settings) {
    LoggerOptions o;
    CommandLine line;
    SettingsOptions settingsOptions(line, settings);
    line.Option("--instance", CommandLine::Integer(o.instance, "--instance", 1, 2));
    line.Option("--device", CommandLine::Text(o.device));
    line.Option("--results", CommandLine::Text(o.resultsFile));
    line.Option("--log-dir", CommandLine::Text(o.logDir));
    auto rule = [](std::optional<AlarmRule>& target, const std::string& name) {
        return [&target, name](const std::string& v) -> std::optional<std::string> {
            target = ParseAlarmRule(v);
            if (!target) {
                return name + " expects DB:SECONDS, such as -50:30";
            }
            return std::nullopt;
        };
    };
    line.Option("--silence", rule(o.alarms.silence, "--silence"));
    line.Option("--channel-missing", rule(o.alarms.channelMissing, "--channel-missing"));
    double overTargetSeconds = 0.0;
    line.Option("--over-target", CommandLine::Number(overTargetSeconds, "--over-target", 0, 86400));
    double clearHoldSeconds = 0.0;
    line.Option("--clear-hold",
                CommandLine::Number(clearHoldSeconds, "--clear-hold", 0, kMaxClearHoldSeconds));
    line.Option("--on-alarm", CommandLine::Text(o.onAlarm));
    line.Option("--metrics", CommandLine::Text(o.metrics));
    line.Flag("--spl", [&o] { o.soundLevel = true; });
    std::string bands;
    line.Option("--bands", CommandLine::Text(bands));
    line.Option("--low-frequency-db",
                CommandLine::Number(o.lowFrequencyDb, "--low-frequency-db", 5, 60));
    line.Option("--snapshot-every",
                CommandLine::Integer(o.snapshotEveryMin, "--snapshot-every", 1, 1440));
    if (auto error = line.Parse(args)) {
        return *error;
    }
    if (line.help) {
        return LoggerHelp{};
    }
    if (!line.positional.empty()) {
        return "unexpected argument " + line.positional.front() + " (see --help)";
    }
    if (auto error = settingsOptions.Finish()) {
        return *error;
    }
    if (line.Given("--over-target")) {
        o.alarms.overTargetMs = static_cast<uint32_t>(overTargetSeconds * 1000.0 + 0.5);
    }
    if (line.Given("--clear-hold")) {
        o.alarms.clearHoldMs = static_cast<uint32_t>(clearHoldSeconds * 1000.0 + 0.5);
    }
    if (line.Given("--channel-missing") && !(o.alarms.channelMissing->db > 0.0)) {
        return "--channel-missing expects a difference above 0 dB";
    }
    // An empty name is the settings' device: a service unit passes its
    // device through a variable that may be empty.
    o.deviceGiven = line.Given("--device") && !o.device.empty();
    o.sensitivityGiven = line.Given("--spl-sensitivity");
    if (line.Given("--results") && o.resultsFile.empty()) {
        return "--results expects a file name";
    }
    if (line.Given("--metrics") && o.metrics.find(':') == std::string::npos) {
        return "--metrics expects ADDRESS:PORT, such as 127.0.0.1:9464";
    }
    if (line.Given("--log-dir") && o.logDir.empty()) {
        return "--log-dir expects a folder";
    }
    if (line.Given("--bands")) {
        if (bands != "octave" && bands != "third") {
            return "--bands expects octave or third";
        }
        o.bands = bands == "octave" ? BandWidth::kOctave : BandWidth::kThirdOctave;
    }
    if (line.Given("--low-frequency-db") && !o.bands) {
        return "--low-frequency-db screens the bands of --bands octave or third";
    }
    return o;
}

std::string SoundLevelOptionsError(const LoggerOptions& options, const TMeterSettings& settings) {
    if (!options.soundLevel || (settings.SplLimit <= 0.0 && settings.SplCLimit <= 0.0) ||
        settings.SplSensitivity) {
        return {};
    }
    const std::string input =
        settings.DeviceName.empty() ? "the default input" : "\"" + settings.DeviceName + "\"";
    return "a sound level limit needs a calibrated input, and " + input +
           " has no sensitivity: its levels are relative to full scale. Give "
           "--spl-sensitivity DB, or calibrate the input in the meter window";
}

bool WantsSnapshots(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg.rfind("--snapshot-every", 0) == 0) {
            return true;
        }
    }
    return false;
}

std::string LoggerUsage() {
    return R"(Usage: tarnwick-logger [OPTIONS]

Logs sound levels without a window, for days on end: the meter's own engine on
the real clock, capturing from an input of the sound server (or the built-in
"Test Signal"), writing the meter's results files on the schedule of its
settings. The settings are the meter window's own, read and never written;
the options below change them for this run only. A test starts at once, or on
level with --auto-start. SIGTERM and SIGINT stop it as the Stop button would
and end the logger; SIGHUP reopens the log files. Messages go to standard
error, one line each, after the date and time; the first gives the version,
the input, the instance, the files and the metrics address.

Input and settings:
  --instance N          the settings of the meter's first (1) or second (2) copy
  --device NAME         the input by the name the meter lists, or "Test Signal"
                        (default, or empty: the settings' Device Name, else
                        the sound server's default input). That input and no
                        other: one that is missing is reported as lost and
                        tried again every 5 s, never replaced

)" +
           SettingsOptions::Usage(
               R"(  --results FILE        append to FILE (.txt text, .csv CSV); a new or empty
                        FILE starts with the header, one of another header is
                        left alone for NAME (2).EXT beside it (a message says
                        so); refused while another logger or the window
                        writes it, by any name or link; FILE or its folder
                        deleted while logging is made again
)") + R"(
)" + AlarmNamesParagraph() +
           R"(An alarm is written in the rows as an event when it is set and, with
"clear", when it ends (input-lost as "input lost" and "input back"), and
printed as a line. It ends once its condition has been false for --clear-hold
(input-lost: once the input is back). --on-alarm runs for a change, at most
once every 10 s for the same alarm: a change within that time waits, and runs
then only if the alarm's state differs from the one last run.
  --silence DB:SECONDS  silence: the level stays below DB for SECONDS
  --channel-missing DB:SECONDS
                        channel-missing: one channel stays more than DB below
                        the other
  --over-target SECONDS over-target: the level stays at or above target 1
  --clear-hold SECONDS  how long a condition must be false before its alarm
                        clears, 0 to 3600 (default 2)
  --on-alarm CMD        run CMD (its words split at blanks, no shell; its
                        program found at the start, by path or in PATH), with
                        TARNWICK_ALARM (the alarm's name), TARNWICK_STATE (set
                        or clear), TARNWICK_LEVEL_DB and TARNWICK_TIME (of the
                        change) set; a command still running after 30 s is
                        killed, and one that fails is reported and counted

Logs:
  --log-dir DIR         one CSV file a day, "Tarnwick YYYY-MM-DD.csv", a row a
                        second: time (with its UTC offset), peaks, short-term
                        average, over lamp, loudness, dropouts and events; the
                        folder is made when missing
  --snapshot-every MIN  save the meter picture every MIN minutes (1 to 1440),
                        as the window's snapshot: stamped, in the snapshot
                        folder (Documents/Tarnwick), under the same names

Sound level (with the options of that name above):
  --spl                 measure sound level (A/C/Z weighting, F/S time
                        weighting, IEC 61672-1): LAeq, LAFmax, LCpeak and LCeq
                        of each second in the rows (laeq_db ... lceq_db), the
                        alarms spl-warn and spl-limit of --spl-limit,
                        spl-c-warn and spl-c-limit of --spl-limit-c, and
                        spl-overload for a sample at full scale, and the
                        sound level metrics
  --bands octave|third  each second's band Leq (IEC 61260-1 class 1, of the
                        --spl-channel, Z-weighted) in the rows after the
                        event (leq_25hz ...), and in /metrics
                        tarnwick_band_leq_db{band="1000"} and the band's
                        exposure counter. Each minute is screened: the
                        event and alarm low-frequency when LCeq - LAeq (from
                        the bands) exceeds 20 dB, and tonal, naming the band
                        ("tonal 1000 Hz"), when a one-third-octave band
                        exceeds both neighbours by 15 dB (25-125 Hz), 8 dB
                        (160-400 Hz) or 5 dB (500 Hz-10 kHz), ISO 1996-2
  --low-frequency-db DB  the difference of the low-frequency screen (5 to
                        60, default 20)

Monitoring:
  --metrics ADDRESS:PORT  serve the levels, loudness, alarms and counters at
                        http://ADDRESS:PORT/metrics in the Prometheus text
                        format (such as 127.0.0.1:9464); nothing is served
                        unless asked, and nothing but /metrics
  --help                show this text

Exit status: 0 after a stop by signal, 1 when the logger could not run,
2 bad options (an --on-alarm program that is missing among them).
)";
}

}  // namespace tarnwick
