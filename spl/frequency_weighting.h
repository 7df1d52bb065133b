#pragma once
// Frequency weightings A, C and Z of IEC 61672-1:2013 as digital filters at a
// recording's own sample rate.
//
// The analogue weightings are products of a few real poles (Annex E): C is
// s^2 / (s + w1)^2 x w4^2 / (s + w4)^2, and A is C x s^2 / ((s + w2)(s + w3)).
// The low-frequency sections go through the bilinear transform, which is
// exact enough below a few kHz. The double pole at 12.2 kHz does not: the
// bilinear transform puts its zeros at the Nyquist frequency, so at 44.1 kHz
// A would read 1.5 dB low at 10 kHz and 3.5 dB low at 12.5 kHz. That section
// is instead a second-order filter whose poles are those of the analogue
// section (impulse invariance) and whose zeros make its magnitude equal the
// analogue one at 0 Hz, at the pole frequency and at the Nyquist frequency
// (M. Vicanek, "Matched Second Order Digital Filters", 2016). At 44.1 kHz and
// 48 kHz the A and C weightings then lie within 0.05 dB of the design goal up
// to 10 kHz and within 0.3 dB up to 16 kHz. Above 32 kHz every rate is as
// good up to its Nyquist frequency. At 22.05 kHz, where 12.2 kHz lies beyond
// the Nyquist frequency, A and C fall up to 1.6 dB short near 10 kHz, and the
// one-third-octave bands of 12.5 kHz and up are out of reach altogether
// (spl/weighting_reach.h): a rate below 40 kHz does not cover the
// weightings' range.
//
// Z is no filter at all: 0 dB at every frequency.

#include "core/biquad.h"

namespace tarnwick {

enum class FrequencyWeighting { kA, kC, kZ };

// The pole frequencies the filters are designed from, in Hz: those of
// IEC 61672-1:2013 Annex E to eight figures. The design goals the filters are
// held to are worked out from the standard's constants instead
// (spl/weighting_design_goal.h).
constexpr double kWeightingPole1Hz = 20.598997;
constexpr double kWeightingPole2Hz = 107.65265;
constexpr double kWeightingPole3Hz = 737.86223;
constexpr double kWeightingPole4Hz = 12194.217;

// One channel's A and C weighting filters. C is the cascade lowCut, highCut;
// A takes C's output through one more section. Both are scaled to read
// exactly 0 dB at 1 kHz.
class WeightingFilters {
public:
    // sampleRate in Hz, 22050 to 192000.
    explicit WeightingFilters(double sampleRate);

    // One sample in; the A- and C-weighted samples out, in the input's units.
    void Process(double x, double& a, double& c) {
        const double cRaw = highCut_.Process(lowCut_.Process(x));
        c = cGain_ * cRaw;
        a = aGain_ * aOnly_.Process(cRaw);
    }

    // The filters at rest, as before the first sample.
    void Reset() {
        lowCut_.Reset();
        highCut_.Reset();
        aOnly_.Reset();
    }

    // See Biquad::FlushBelow.
    void FlushBelow(double floor) {
        lowCut_.FlushBelow(floor);
        highCut_.FlushBelow(floor);
        aOnly_.FlushBelow(floor);
    }

    // The magnitude response of the digital filter at `frequencyHz`, in dB
    // (0 for Z), computed from its coefficients.
    double ResponseDb(FrequencyWeighting weighting, double frequencyHz) const;

private:
    double sampleRate_;
    Biquad lowCut_;
    Biquad highCut_;
    Biquad aOnly_;
    double cGain_ = 1.0;
    double aGain_ = 1.0;
};

}  // namespace tarnwick
