#pragma once
// Calibration: the sensitivity of an input from 5 s of a sound calibrator's
// tone (94 or 114 dB at 1 kHz) on its microphone. A pure function of the
// samples; the caller records them and stores the result.
//
// The tone is refused, with a sentence saying why and what to do, when
//   - a sample reaches full scale (the input clips);
//   - it is shorter than 5 s;
//   - its level is below -60 dB re a full-scale sine (no calibrator, or the
//     wrong input);
//   - its frequency is more than 2 % from 1 kHz (not a calibrator's tone);
//   - its F-weighted level moves by more than 0.1 dB (the calibrator is not
//     seated, or the room is loud).
// The first second lets the weighting and the F average settle; the level and
// the checks take the rest. The level is the C-weighted time average, which
// is flat around 1 kHz and ignores wind and handling below 20 Hz.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "spl/sound_level_meter.h"

namespace tarnwick {

constexpr double kCalibrationSeconds = 5.0;
constexpr double kCalibratorHz = 1000.0;
constexpr double kCalibratorFrequencyTolerance = 0.02;  // of 1 kHz
constexpr double kCalibrationFluctuationDb = 0.1;       // F-weighted, highest less lowest
constexpr double kQuietestCalibrationDb = -60.0;        // re a full-scale sine
// A new sensitivity further than this from the input's last one is worth a
// look at the microphone, its cable and the calibrator.
constexpr double kCalibrationChangeDb = 0.5;

struct CalibrationRequest {
    std::span<const float> frames;  // interleaved, 1.0 is full scale
    unsigned channels = 1;
    MeasuredChannel channel = MeasuredChannel::kLeft;
    unsigned long sampleRate = 44100;
    double referenceDb = 94.0;  // the calibrator's level, dB SPL
    // The input's sensitivity from its last calibration, if it has one.
    std::optional<double> previousSensitivityDb;
};

struct CalibrationResult {
    bool accepted = false;
    std::string refusal;         // why not, when not accepted
    std::string warning;         // accepted, but far from the last calibration
    double sensitivityDb = 0.0;  // dB SPL of a full-scale sine
    // What was measured, for the message and the record (NaN where the
    // measurement stopped before it).
    double levelDb = 0.0;  // C-weighted, re a full-scale sine
    double frequencyHz = 0.0;
    double fluctuationDb = 0.0;
};

CalibrationResult AnalyseCalibration(const CalibrationRequest& request);

}  // namespace tarnwick
