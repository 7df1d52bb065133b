#pragma once
// A measurement microphone's response file: the microphone's deviation from
// flat, in dB, at rising frequencies, as its maker measured it. Plain text,
// a point a line: a frequency in Hz and a correction in dB, apart by tabs,
// blanks or a comma (further numbers on the line, a phase, are not used).
// Lines starting with '*', '#' or '"' are comments, empty lines nothing. A
// line before the points may give a sensitivity factor,
//   "Sens Factor =-1.378dB, SERNO: 8000123"
// which adds to the meter's sensitivity.
//
// Between its points the curve runs straight in dB over the logarithm of
// the frequency; below the first and above the last it holds their values.
// The meter corrects by the curve inverted: a microphone that reads 3 dB high
// at 8 kHz has its 8 kHz read 3 dB lower.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// No response file runs to a megabyte: a larger one is something else.
inline constexpr size_t kLargestMicResponseFile = size_t{1} << 20;

struct MicResponsePoint {
    double hz = 0.0;
    double db = 0.0;
};

struct MicResponse {
    std::vector<MicResponsePoint> points;  // rising in frequency, two at least
    std::optional<double> sensFactorDb;
    uint32_t crc32 = 0;  // of the file's bytes, as zlib and gzip reckon it

    // The curve at `hz`, in dB.
    double DeviationDb(double hz) const;
    // A calibrator at `calibratorHz` heard uncorrected gave `heardDb` as the
    // sensitivity: the one to store, with which the corrected meter, the
    // factor added, reads the calibrator's level.
    double SensitivityFromCalibrator(double heardDb, double calibratorHz) const {
        return heardDb + DeviationDb(calibratorHz) - sensFactorDb.value_or(0.0);
    }
    // "1a2b3c4d": the checksum as the files and the history show it.
    std::string Checksum() const;
};

// The response in `text`, or nullopt with `error` naming the line at fault:
// a line that is neither a comment nor a point, frequencies not rising, a
// step over 20 dB between points, fewer than two points.
std::optional<MicResponse> ParseMicResponse(const std::string& text, std::string& error);

// CRC-32 (IEEE 802.3, reflected, as zlib's crc32) of `bytes`.
uint32_t Crc32(const std::string& bytes);

}  // namespace tarnwick
