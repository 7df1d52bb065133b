#pragma once
// Class 1 acceptance limits of IEC 61672-1:2013 for the checks the
// self-test runs on the processing chain, as deviations from the design goal
// or reference response in dB. A lower limit of minus infinity means none.

namespace tarnwick {

struct AcceptanceLimits {
    double below = 0.0;  // <= 0
    double above = 0.0;  // >= 0

    bool Accepts(double deviation) const { return deviation >= below && deviation <= above; }
};

// Frequency weighting at a nominal one-third-octave frequency from 10 Hz to
// 20 kHz (Table 3); nearest band for other frequencies.
AcceptanceLimits FrequencyWeightingLimits(double nominalHz);
// Response to a 4 kHz tone burst of `durationMs`, 0.25 to 1000 ms (Table 4);
// nearest duration for others.
AcceptanceLimits ToneBurstLimits(double durationMs);

// C-weighted peak less the steady C level (Table 5): one cycle of 31.5 Hz and
// of 8 kHz; one cycle and half cycles of 500 Hz.
constexpr AcceptanceLimits kPeakCLimitsOuterBands{-2.0, 2.0};
constexpr AcceptanceLimits kPeakCLimits500Hz{-1.0, 1.0};
// Level linearity deviation.
constexpr AcceptanceLimits kLinearityLimits{-0.8, 0.8};
// At 1 kHz, C and Z against A; LAS and LAeq against LAF.
constexpr AcceptanceLimits kWeightingsAt1kHzLimits{-0.2, 0.2};
constexpr AcceptanceLimits kTimeWeightingsAt1kHzLimits{-0.1, 0.1};
// The input levels at which positive and negative half cycles show overload.
constexpr AcceptanceLimits kOverloadDifferenceLimits{-1.5, 1.5};

}  // namespace tarnwick
