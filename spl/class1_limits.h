#pragma once
// Class 1 acceptance limits of IEC 61672-1:2013 for the checks the
// self-test runs on the processing chain, as deviations from the design goal
// or reference response in dB. A lower limit of minus infinity means none.
// The tests hold every row to the transcription of the standard
// (spl/iec61672_tables.h).

namespace tarnwick {

struct AcceptanceLimits {
    double below = 0.0;  // <= 0
    double above = 0.0;  // >= 0

    bool Accepts(double deviation) const { return deviation >= below && deviation <= above; }
};

// Frequency weighting at a nominal one-third-octave frequency from 10 Hz to
// 20 kHz (Table 3); nearest band for other frequencies.
AcceptanceLimits FrequencyWeightingLimits(double nominalHz);

// The responses to a 4 kHz tone burst that Table 4 limits: the maximum F and
// S time-weighted levels and the sound exposure level.
enum class ToneBurstResponse { kFast, kSlow, kExposure };
// The response to a burst of `durationMs` (Table 4): F and the exposure
// level from 0.25 to 1000 ms, sharing their limits; S from 2 to 1000 ms,
// with limits of its own. Nearest duration for others.
AcceptanceLimits ToneBurstLimits(ToneBurstResponse response, double durationMs);

// C-weighted peak less the steady C level (Table 5), for one cycle of
// 31.5 Hz, 500 Hz and 8 kHz and half cycles of 500 Hz; nearest frequency for
// others.
AcceptanceLimits PeakCLimits(double nominalHz);

// Level linearity deviation (5.6.5).
constexpr AcceptanceLimits kLinearityLimits{-0.8, 0.8};
// At 1 kHz, C and Z against A (5.5.9).
constexpr AcceptanceLimits kWeightingsAt1kHzLimits{-0.2, 0.2};
// At 1 kHz, LAS against LAF (5.8.3); LAeq is held to LAF within the same.
constexpr AcceptanceLimits kTimeWeightingsAt1kHzLimits{-0.1, 0.1};
// The input levels at which positive and negative half cycles show overload
// (5.11.3).
constexpr AcceptanceLimits kOverloadDifferenceLimits{-1.5, 1.5};

}  // namespace tarnwick
