#pragma once
// One run of tarnwick-analyse: the recording is fed block by block through the
// meter's own engine (MeterApp) on a simulated clock.
//
// Block i (from 1) is delivered at tick tickStart + floor(i x F x 1000 / 44100),
// F being the frames of a block; before each block every timer due at or before
// that tick fires. The program starts at the first frame's tick; a test is
// started then (unless tests start on level), and a test still running at the
// end of the recording is stopped as a click would stop it.

#include <cstdio>

#include "core/local_time.h"
#include "tools/analyse/analyser_options.h"

namespace tarnwick {

// Exit statuses.
constexpr int kAnalyseOk = 0;
constexpr int kAnalyseFailed = 1;    // a save, the level log or the device failed
constexpr int kAnalyseBadInput = 2;  // bad options, locale or recording

// Runs the analysis and writes the outputs the options ask for. `now` is the
// start time used when the options give none. Messages go to `err`, readouts to
// `out`.
int RunAnalyser(const AnalyserOptions& options, LocalDateTime now, std::FILE* out, std::FILE* err);

}  // namespace tarnwick
