#pragma once
// Level arithmetic shared by measurement, display and results.
//
// Amplitudes are sample magnitudes or block peaks: signed 32-bit integers in
// 0..kFullScale, where kFullScale is 0 dB. Decibels are doubles relative to full
// scale. All functions are pure.

#include <array>
#include <cstdint>

namespace tarnwick {

// Magnitude of a full-scale 16-bit sample (-32768): 0 dB.
constexpr int32_t kFullScale = 32768;
// DbToAmplitude(-1): a block whose over candidate lies above this lights the over lamp.
constexpr int32_t kOverThreshold = 29205;
// AmplitudeToDb of silence, whatever the offset.
constexpr double kSilenceDb = -99.0;

// Heights of the meter, in pixels above the graph's baseline, indexed by
// amplitude / CalibrationFactor. Filled by BuildScale for the current scale.
constexpr int kHeightTableLastIndex = 3277;
using HeightTable = std::array<int32_t, kHeightTableLastIndex + 1>;

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double x);

// 20 log10(amplitude / 32768) - offset, or exactly kSilenceDb for amplitude 0.
double AmplitudeToDb(int32_t amplitude, double offsetDb);

// 32768 x 10^(dB/20), rounded half to even, not clamped (fits int32 up to +96 dB).
int32_t DbToAmplitude(double db);

// 10 x 10^(calibration/20): the amplitude step of one HeightTable index.
double CalibrationFactorFor(double calibrationDb);
// The same, raised to 1 if below 1, as the block pipeline uses it, so that an
// index never exceeds the amplitude.
double PipelineCalibrationFactorFor(double calibrationDb);

// HeightTable[round-half-even(amplitude / factor)], the index capped at 3277.
// Amplitudes are never negative.
int32_t AmplitudeToHeight(double amplitude, double calibrationFactor, const HeightTable& table);

// Value shown by the numeric level readouts: AmplitudeToDb(a, calibration) +
// displayOffset + calibration. For a >= 1 the calibration cancels out.
double ReadoutDb(int32_t amplitude, double calibrationDb, int32_t displayOffset);

// The reference of sound pressure levels, 20 uPa.
constexpr double kReferencePressurePa = 20e-6;

// A mean square relative to full scale (0.5 for a full-scale sine) in dB,
// plus `sensitivityDb` (the dB SPL a full-scale sine reads; 0 for levels
// relative to full scale). Minus infinity for no signal or no number.
double MeanSquareToDb(double meanSquare, double sensitivityDb);

}  // namespace tarnwick
