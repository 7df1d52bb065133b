#pragma once
// BandFilter: one band of the filter bank, a Butterworth band-pass of order
// 2N made of N second-order sections in double precision.
//
// The design is the analogue Butterworth low-pass of order N (N = 4), moved
// to the band by the low-pass to band-pass transform and to the sample rate
// by the bilinear transform, its edges pre-warped so that the digital filter
// is 3 dB down exactly at the band's edges fm G^(+-1/2b). Each section has
// one pole pair and the zeros at z = 1 and z = -1; the gain makes the
// response 0 dB at the exact mid-band frequency.
//
// With N = 4 a one-third-octave filter is attenuated 0.33 dB at
// Omega = 1.08746 and 28 dB at 1.29437 (the class 1 limits of IEC 61260-1:
// at most 1.4 dB, at least 16.6 dB); with two sections the stop bands fall
// short of the class 1 limits. N must be even: the sections are built from
// the low-pass poles in pairs.

#include <array>
#include <complex>
#include <vector>

#include "core/biquad.h"

namespace tarnwick {

class BandFilter {
public:
    static constexpr int kSections = 4;

    // The band from `lowerHz` to `upperHz` at `sampleRate`; the upper edge
    // must lie below the Nyquist frequency.
    BandFilter(double lowerHz, double upperHz, double sampleRate);

    double Process(double x) {
        double y = x * gain_;
        for (Biquad& section : sections_) {
            y = section.Process(y);
        }
        return y;
    }
    void Reset();
    // Sets states that have died away below `floor` to zero (between blocks).
    void FlushBelow(double floor);

    // The designed response at `hz`, as a magnitude (1.0 at the mid-band
    // frequency).
    double Magnitude(double hz) const;
    // The design: the input's gain, then the sections in turn, each
    // b = (1, 0, -1).
    double Gain() const { return gain_; }
    const std::array<Biquad, kSections>& Sections() const { return sections_; }

private:
    std::array<Biquad, kSections> sections_;
    double gain_ = 1.0;
    double sampleRate_;
};

}  // namespace tarnwick
