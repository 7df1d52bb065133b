#pragma once
// The history of calibrations, kept beside the settings file as
// "Tarnwick calibrations.csv": one row per calibration or manual entry,
// oldest first, so that a drifting microphone shows. Pure text functions; the
// caller reads and appends the file through its text-file port.
//
// The file is UTF-8 CSV with '\n' line ends and a header row:
//   date,input,reference_db,sensitivity_db,method,response
//   2024-05-01 14:03:27,Built-in Audio Analog Stereo,94.0,120.37,calibrator
//   2024-05-02 09:00:00,"USB mic, left",,118.00,manual,mic.txt (crc 1a2b3c4d)
// date is the local wall-clock time; reference_db is empty for a manual
// entry; sensitivity_db is the dB SPL of a full-scale sine, to 0.01 dB;
// response names the microphone response in use and its checksum, a field
// that rows without one leave out (files begun before it have five
// columns). A field with a comma, a quote or a line break is quoted, quotes
// doubled.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/local_time.h"

namespace tarnwick {

inline constexpr std::string_view kCalibrationHistoryFileName = "Tarnwick calibrations.csv";

enum class CalibrationMethod { kCalibrator, kManual };

struct CalibrationRecord {
    LocalDateTime when;
    std::string input;                  // the input's name as the device list shows it
    std::optional<double> referenceDb;  // the calibrator's level; none when entered by hand
    double sensitivityDb = 0.0;
    CalibrationMethod method = CalibrationMethod::kCalibrator;
    std::string response;  // "mic.txt (crc 1a2b3c4d)"; empty: none
};

// The header row, with its line end.
std::string CalibrationHistoryHeader();
// One row, with its line end.
std::string FormatCalibrationRow(const CalibrationRecord& record);

struct CalibrationHistory {
    std::vector<CalibrationRecord> records;  // in the file's order
    // 1-based line numbers of rows that are no calibration record; they are
    // left in the file, and left out of `records`.
    std::vector<size_t> badLines;
};

// The records of a file's text. The header row is optional; empty lines are
// skipped.
CalibrationHistory ParseCalibrationHistory(std::string_view text);

// The latest record of `input` (the last in the file), if any.
std::optional<CalibrationRecord> LastCalibrationOf(const CalibrationHistory& history,
                                                   std::string_view input);

}  // namespace tarnwick
