#pragma once
// The two sound level commands of tarnwick-analyse that run no meter over a
// test: the calibration on a recording of a sound calibrator
// (--spl-calibrate) and the self-test of the chain (--spl-selftest). Exit
// statuses as RunAnalyser's (tools/analyse/analyser_run.h).

#include <cstdio>

#include "tools/analyse/analyser_options.h"

namespace tarnwick {

// A calibration recording longer than this is refused: it is held whole in
// memory, and a calibrator's tone needs only seconds.
constexpr double kLongestCalibrationS = 120.0;

// Measures options.input, the tone of a calibrator giving
// *options.calibratorDb, on the settings' sound level channel. Accepted:
// prints "Sensitivity<TAB>114.37 dB" to `out` (and to `err` a warning when it
// is more than 0.5 dB from a --spl-sensitivity given), status 0. Refused:
// the reason on `err`, status 1. An unusable recording: status 2.
int RunCalibration(const AnalyserOptions& options, std::FILE* out, std::FILE* err);

// Prints the self-test table to `out`: status 0 when every check passed,
// else 1.
int RunSelfTest(std::FILE* out);

}  // namespace tarnwick
