#pragma once
// The figures of sound level over one stretch of signal (a second, a results
// period, a test), as IEC 61672-1 names them, and the raw sums they come from.
//
// Levels are in dB SPL: the sensitivity (the dB SPL that a full-scale sine
// reads) is added to levels taken relative to a full-scale sine. A level of
// minus infinity means there is nothing to measure: silence, or no signal
// yet. L*max and L*min follow the exponential time weighting sample by
// sample; LCpeak is the largest magnitude of the C-weighted signal.

#include <cstdint>
#include <limits>

#include "core/level_math.h"

namespace tarnwick {

constexpr double kNoLevel = -std::numeric_limits<double>::infinity();

struct SoundLevelFigures {
    double durationS = 0.0;  // signal measured
    double laeq = kNoLevel;
    double lceq = kNoLevel;
    double lzeq = kNoLevel;
    double lae = kNoLevel;  // sound exposure level, re 1 s
    double lafmax = kNoLevel;
    double lasmax = kNoLevel;
    double lafmin = kNoLevel;  // minus infinity until the F average has settled
    double lcpeak = kNoLevel;
    // Seconds of the test clock in which a sample reached full scale: the
    // figures above then describe a clipped signal, not the sound.
    uint64_t overloadedSeconds = 0;
    // Samples that were no numbers (NaN, infinity): measured as silence.
    uint64_t nonFiniteSamples = 0;

    bool Overloaded() const { return overloadedSeconds > 0; }
};

// Sums of one stretch, relative to full scale, from which the figures follow.
// Mean squares are in units where a full-scale sine has 0.5.
struct SoundLevelSums {
    uint64_t samples = 0;
    double sumA = 0.0;  // of squared A-weighted samples
    double sumC = 0.0;
    double sumZ = 0.0;
    double fMax = 0.0;  // largest F-weighted mean square
    double sMax = 0.0;
    double fMin = std::numeric_limits<double>::infinity();  // none yet
    double cPeak = 0.0;                                     // magnitude, 1.0 is full scale
    bool overloaded = false;  // a sample at full scale since the last count
    uint64_t overloadedSeconds = 0;
    uint64_t nonFinite = 0;  // samples that were no numbers, taken as silence

    // Adds a later stretch.
    void Merge(const SoundLevelSums& later);
    // The figures at `sensitivityDb` and `sampleRate` Hz.
    SoundLevelFigures Figures(double sensitivityDb, unsigned long sampleRate) const;
};

}  // namespace tarnwick
