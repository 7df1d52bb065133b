#pragma once
// How far a sample rate carries the frequency weightings: which of the
// one-third-octave bands of IEC 61672-1:2013 Table 3, 10 Hz to 20 kHz, a
// recording at that rate cannot hold at all.
//
// A band is out of reach when its nominal frequency lies above the Nyquist
// frequency, half the rate: a tone there cannot be recorded, it folds back
// below. The margin is the Nyquist frequency itself, so that the cut falls
// where the bands do: 40 kHz, whose Nyquist frequency is the top band's
// nominal 20 kHz (its exact mid-band frequency, 19.95 kHz, lies below),
// carries every band, and every rate below it loses at least the 20 kHz
// band. At 22.05 kHz (Nyquist 11.025 kHz) the 10 kHz band is carried, and the
// weighting reads within its limits there (spl/frequency_weighting.h); the
// bands of 12.5 kHz and up, whose lower band edge (11.2 kHz) already lies
// beyond, are not.

namespace tarnwick {

// The nominal frequency in Hz of the lowest band of Table 3 that a rate of
// `sampleRate` Hz cannot carry; 0 when it carries them all (40 kHz and up).
double LowestBandOutOfReachHz(unsigned long sampleRate);

}  // namespace tarnwick
