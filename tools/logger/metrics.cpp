#include "tools/logger/metrics.h"

#include <charconv>
#include <cmath>

#include "core/version.h"

namespace tarnwick {
namespace {

std::string Number(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 1);
    return std::string(digits, end.ptr);
}

// A counter of energy: enough digits for its increase over a minute to be
// read exactly after weeks.
std::string ExposureNumber(double value) {
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 17);
    return std::string(digits, end.ptr);
}

void Metric(std::string& out, const char* name, const char* type, const std::string& help,
            const std::string& value) {
    out += std::string("# HELP ") + name + " " + help + "\n";
    out += std::string("# TYPE ") + name + " " + type + "\n";
    out += std::string(name) + " " + value + "\n";
}

}  // namespace

std::string FormatMetrics(const LoggerMetrics& m) {
    std::string out;
    Metric(out, "tarnwick_peak_db", "gauge", "Peak level of the last block, dB on the meter scale.",
           Number(m.peakDb));
    Metric(out, "tarnwick_short_term_average_db", "gauge",
           "Short-term average level, dB on the meter scale.", Number(m.shortTermAverageDb));
    Metric(out, "tarnwick_run_time_average_db", "gauge",
           "Run-time average level of the test, dB on the meter scale.",
           Number(m.runTimeAverageDb));
    Metric(out, "tarnwick_momentary_lufs", "gauge", "Momentary loudness (400 ms), LUFS.",
           Number(m.momentaryLufs));
    Metric(out, "tarnwick_short_term_lufs", "gauge", "Short-term loudness (3 s), LUFS.",
           Number(m.shortTermLufs));
    Metric(out, "tarnwick_test_running", "gauge", "1 while a test runs.",
           m.testRunning ? "1" : "0");
    out += "# HELP tarnwick_alarm_active 1 while the alarm of that kind is set.\n";
    out += "# TYPE tarnwick_alarm_active gauge\n";
    for (const AlarmKind kind : kAlarmKinds) {
        out += std::string("tarnwick_alarm_active{kind=\"") + AlarmName(kind) + "\"} " +
               (m.alarmActive[static_cast<size_t>(kind)] ? "1" : "0") + "\n";
    }
    Metric(out, "tarnwick_seconds_since_last_block", "gauge",
           "Seconds since the input last delivered a block.", Number(m.secondsSinceLastBlock));
    Metric(out, "tarnwick_input_open", "gauge", "1 while the input asked for is open.",
           m.inputOpen ? "1" : "0");
    Metric(out, "tarnwick_last_record_timestamp_seconds", "gauge",
           "Unix time of the last results record written; 0 before the first.",
           std::to_string(m.lastRecordUnixSeconds));
    Metric(out, "tarnwick_blocks_total", "counter", "Blocks measured.", std::to_string(m.blocks));
    Metric(out, "tarnwick_dropouts_total", "counter", "Dropouts of the capture stream.",
           std::to_string(m.dropouts));
    Metric(out, "tarnwick_alarms_total", "counter", "Alarms set.", std::to_string(m.alarms));
    Metric(out, "tarnwick_records_written_total", "counter", "Results records written.",
           std::to_string(m.recordsWritten));
    Metric(out, "tarnwick_failed_saves_total", "counter", "Results records that failed.",
           std::to_string(m.failedSaves));
    Metric(out, "tarnwick_log_write_failures_total", "counter",
           "Rows of the per-second log that could not be written.",
           std::to_string(m.logWriteFailures));
    Metric(out, "tarnwick_nonfinite_samples_total", "counter",
           "Samples that were no numbers (NaN, infinity), measured as silence.",
           std::to_string(m.nonFiniteSamples));
    Metric(out, "tarnwick_alarm_command_failures_total", "counter",
           "Alarm commands that ended with a status other than 0 or by a signal.",
           std::to_string(m.alarmCommandFailures));
    if (m.soundLevel) {
        // Without a sensitivity the levels are no sound pressure levels, and
        // every help text says so.
        const std::string unit =
            m.soundLevelCalibrated ? "dB SPL" : "uncalibrated, dB relative to a full-scale sine";
        out += "# HELP tarnwick_laeq_db A-weighted equivalent level, " + unit +
               ": of the last second, and over the rolling window.\n";
        out += "# TYPE tarnwick_laeq_db gauge\n";
        out += "tarnwick_laeq_db{window=\"1s\"} " + Number(m.laeqSecondDb) + "\n";
        out += "tarnwick_laeq_db{window=\"rolling\"} " + Number(m.laeqRollingDb) + "\n";
        out += "# HELP tarnwick_lceq_db C-weighted equivalent level, " + unit +
               ": of the last second, and over the rolling window.\n";
        out += "# TYPE tarnwick_lceq_db gauge\n";
        out += "tarnwick_lceq_db{window=\"1s\"} " + Number(m.lceqSecondDb) + "\n";
        out += "tarnwick_lceq_db{window=\"rolling\"} " + Number(m.lceqRollingDb) + "\n";
        Metric(out, "tarnwick_lafmax_db", "gauge",
               "Highest A-weighted Fast level of the last second, " + unit + ".",
               Number(m.lafmaxDb));
        Metric(out, "tarnwick_lcpeak_db", "gauge",
               "C-weighted peak of the last second, " + unit + ".", Number(m.lcpeakDb));
        Metric(out, "tarnwick_spl_calibrated", "gauge",
               "1 when a sensitivity is set; 0: levels are relative to a full-scale sine.",
               m.soundLevelCalibrated ? "1" : "0");
        Metric(out, "tarnwick_spl_limit_state", "gauge",
               "The sound level limit's light: 0 ok, 1 warn, 2 limit; -1 without a limit.",
               std::to_string(m.splLimitState));
        Metric(out, "tarnwick_spl_c_limit_state", "gauge",
               "The LCeq limit's light: 0 ok, 1 warn, 2 limit; -1 without one.",
               std::to_string(m.splCLimitState));
        Metric(out, "tarnwick_spl_overloads_total", "counter",
               "Seconds that held a sample at full scale.", std::to_string(m.splOverloads));
        Metric(out, "tarnwick_sound_exposure_pascal_squared_seconds_total", "counter",
               std::string(m.soundLevelCalibrated ? "" : "Uncalibrated: no sound pressure. ") +
                   "A-weighted sound exposure, Pa^2 s. LAeq over any window is "
                   "10 lg(increase / (T x 4e-10)).",
               ExposureNumber(m.exposurePa2s));
    }
    if (!m.bandNames.empty()) {
        const std::string unit =
            m.bandCalibrated ? "dB SPL" : "uncalibrated, dB relative to a full-scale sine";
        out += "# HELP tarnwick_band_leq_db Z-weighted Leq of the last second in each band, " +
               unit + ".\n";
        out += "# TYPE tarnwick_band_leq_db gauge\n";
        for (size_t b = 0; b < m.bandNames.size() && b < m.bandLeqDb.size(); ++b) {
            out += "tarnwick_band_leq_db{band=\"" + m.bandNames[b] + "\"} " +
                   Number(m.bandLeqDb[b]) + "\n";
        }
        out += std::string("# HELP tarnwick_band_exposure_pascal_squared_seconds_total ") +
               (m.bandCalibrated ? "" : "Uncalibrated: no sound pressure. ") +
               "Sound exposure in each band, Pa^2 s. The band's Leq over any window is "
               "10 lg(increase / (T x 4e-10)).\n";
        out += "# TYPE tarnwick_band_exposure_pascal_squared_seconds_total counter\n";
        for (size_t b = 0; b < m.bandNames.size() && b < m.bandExposurePa2s.size(); ++b) {
            out += "tarnwick_band_exposure_pascal_squared_seconds_total{band=\"" + m.bandNames[b] +
                   "\"} " + ExposureNumber(m.bandExposurePa2s[b]) + "\n";
        }
    }
    out += "# HELP tarnwick_build_info The logger's version, in its label; always 1.\n";
    out += "# TYPE tarnwick_build_info gauge\n";
    out += std::string("tarnwick_build_info{version=\"") + kVersion + "\"} 1\n";
    return out;
}

}  // namespace tarnwick
