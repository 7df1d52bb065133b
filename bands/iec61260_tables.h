#pragma once
// The figures of IEC 61260-1:2014 that the band filters are held to, as the
// tests and the self-test read them, transcribed once from IEC 61260-3:2016
// Annex C, Table C.1 (class 1): the relative attenuation of a one-third-octave
// filter at normalised frequencies Omega = f / fm, above and below the
// exact mid-band frequency fm. Nothing here is computed; attenuation is in
// dB, positive where the filter attenuates. An upper limit of infinity means
// none: the filter must attenuate at least the lower limit.
//
// Octave filters are held to the same limits at Omega = G^(+-1/8), G^(+-1/4),
// G^(+-3/8), G^(+-1), G^(+-2), G^(+-3) and G^(+-4), G = 10^0.3 (the
// standard's breakpoints for b = 1, clause 5.10).

#include <limits>

namespace tarnwick::iec61260 {

constexpr double kNoUpperLimit = std::numeric_limits<double>::infinity();

struct AttenuationRow {
    double above;    // Omega above fm
    double below;    // Omega below fm
    double lowest;   // dB
    double highest;  // dB, or kNoUpperLimit
};

// Table C.1, one-third-octave filters, class 1.
inline constexpr AttenuationRow kTableC1[] = {
    {1.0, 1.0, -0.4, 0.4},
    {1.02667, 0.97402, -0.4, 0.5},
    {1.05575, 0.94719, -0.4, 0.7},
    {1.08746, 0.91958, -0.4, 1.4},
    {1.29437, 0.77257, 16.6, kNoUpperLimit},
    {1.88173, 0.53143, 40.5, kNoUpperLimit},
    {3.05365, 0.32748, 60.0, kNoUpperLimit},
    {5.39195, 0.18546, 70.0, kNoUpperLimit},
};

// The exponents of G at which octave filters take the rows of Table C.1, in
// the rows' order.
inline constexpr double kOctaveExponents[] = {0.0, 0.125, 0.25, 0.375, 1.0, 2.0, 3.0, 4.0};

// IEC 61260-1:2014, class 1: the effective bandwidth of a filter (the
// integral of its squared gain over frequency) lies within this of the
// reference bandwidth fm (G^(1/2b) - G^(-1/2b)), in dB.
constexpr double kEffectiveBandwidthDb = 0.4;

// Clause 5.10: the octave frequency ratio, base 10.
constexpr double kOctaveRatio = 1.9952623149688795;  // 10^0.3

}  // namespace tarnwick::iec61260
