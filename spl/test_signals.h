#pragma once
// The electrical test signals of IEC 61672-3, generated at any sample rate:
// steady sines, tone bursts and single cycles that start and end at zero
// crossings, and sines quantised to 16 bits with dither. Amplitudes are
// peak values, 1.0 being full scale.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

// `frames` of a sine of `hz` from phase 0.
std::vector<float> SteadySine(double hz, double amplitude, size_t frames, unsigned long rate);

// `before` frames of silence, then a sine of `hz` from phase 0 for
// `durationS` (a whole number of half cycles ends on a zero crossing), then
// `after` frames of silence. `sign` -1 starts with the negative half.
std::vector<float> SineBurst(double hz, double amplitude, double durationS, size_t before,
                             size_t after, unsigned long rate, int sign = 1);

// A steady sine rounded to 16-bit samples with triangular dither of 2 LSB
// peak to peak, as a 16-bit recording of it holds it. The same `seed` gives
// the same samples.
std::vector<int16_t> DitheredSine16(double hz, double amplitude, size_t frames, unsigned long rate,
                                    uint32_t seed);

}  // namespace tarnwick
