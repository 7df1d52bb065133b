#pragma once
// The figures of IEC 61672-1:2013 that the self-test and the tests read,
// transcribed once: the constants of the analytical frequency weightings
// (Annex E), Table 3 (frequency weightings), Table 4 (tone bursts), Table 5
// (C-weighted peak) and the limits the text of clause 5 gives on its own.
//
// Nothing here is computed. Each figure is as the standard prints it, its
// decimal comma read as a point; levels and limits in dB. Only the class 1
// acceptance limits are kept. A limit printed "+a; -b" is {+a, -b}, one
// printed "±a" is {+a, -a}, and a lower limit printed "-∞" is kNoLowerLimit.
// Pages are the printed folios of BS EN 61672-1:2013, which carries the IEC
// text unchanged.
//
// Acceptance limits apply to the deviation of a measured response from the
// design goal or reference response beside them.

#include <limits>

namespace tarnwick::iec61672 {

constexpr double kNoLowerLimit = -std::numeric_limits<double>::infinity();

struct PrintedLimits {
    double plus;   // >= 0
    double minus;  // <= 0, or kNoLowerLimit
};

// ---------------------------------------------------------------------------
// Annex E: the frequency weightings C and A as analogue responses, C(f) by
// formula (E.1) and A(f) by formula (E.6), their pole frequencies built from
// the constants below. fL, fH and fA are printed as powers of ten and kept as
// their exponents.

constexpr double kFrHz = 1000.0;      // fr, the reference frequency
constexpr double kFLExponent = 1.5;   // fL = 10^1.5 Hz
constexpr double kFHExponent = 3.9;   // fH = 10^3.9 Hz
constexpr double kDSquared = 0.5;     // D = sqrt(1/2)
constexpr double kFAExponent = 2.45;  // fA = 10^2.45 Hz
// The normalisation constants: the responses C(f) and A(f) take at 1 kHz
// before they are raised to 0 dB there.
constexpr double kC1000Db = -0.062;
constexpr double kA1000Db = -2.000;

// ---------------------------------------------------------------------------
// Table 3 (5.5, p. 22): frequency weightings and acceptance limits at the
// nominal one-third-octave frequencies, base 10. The weightings are printed
// to 0.1 dB; Z is 0.0 at every frequency.

struct FrequencyWeightingRow {
    double nominalHz;
    double aDb;
    double cDb;
    PrintedLimits class1;
};

inline constexpr FrequencyWeightingRow kTable3[] = {
    {10, -70.4, -14.3, {3.0, kNoLowerLimit}},
    {12.5, -63.4, -11.2, {2.5, kNoLowerLimit}},
    {16, -56.7, -8.5, {2.0, -4.0}},
    {20, -50.5, -6.2, {2.0, -2.0}},
    {25, -44.7, -4.4, {2.0, -1.5}},
    {31.5, -39.4, -3.0, {1.5, -1.5}},
    {40, -34.6, -2.0, {1.0, -1.0}},
    {50, -30.2, -1.3, {1.0, -1.0}},
    {63, -26.2, -0.8, {1.0, -1.0}},
    {80, -22.5, -0.5, {1.0, -1.0}},
    {100, -19.1, -0.3, {1.0, -1.0}},
    {125, -16.1, -0.2, {1.0, -1.0}},
    {160, -13.4, -0.1, {1.0, -1.0}},
    {200, -10.9, 0.0, {1.0, -1.0}},
    {250, -8.6, 0.0, {1.0, -1.0}},
    {315, -6.6, 0.0, {1.0, -1.0}},
    {400, -4.8, 0.0, {1.0, -1.0}},
    {500, -3.2, 0.0, {1.0, -1.0}},
    {630, -1.9, 0.0, {1.0, -1.0}},
    {800, -0.8, 0.0, {1.0, -1.0}},
    {1000, 0.0, 0.0, {0.7, -0.7}},
    {1250, 0.6, 0.0, {1.0, -1.0}},
    {1600, 1.0, -0.1, {1.0, -1.0}},
    {2000, 1.2, -0.2, {1.0, -1.0}},
    {2500, 1.3, -0.3, {1.0, -1.0}},
    {3150, 1.2, -0.5, {1.0, -1.0}},
    {4000, 1.0, -0.8, {1.0, -1.0}},
    {5000, 0.5, -1.3, {1.5, -1.5}},
    {6300, -0.1, -2.0, {1.5, -2.0}},
    {8000, -1.1, -3.0, {1.5, -2.5}},
    {10000, -2.5, -4.4, {2.0, -3.0}},
    {12500, -4.3, -6.2, {2.0, -5.0}},
    {16000, -6.6, -8.5, {2.5, -16.0}},
    {20000, -9.3, -11.2, {3.0, kNoLowerLimit}},
};

// ---------------------------------------------------------------------------
// Table 4 (5.9.2, p. 25): reference 4 kHz tone-burst responses, relative to
// the response to the steady signal, and their acceptance limits. The table
// has two blocks with limits of their own: F and the sound exposure level,
// which share theirs, and S.

struct FastAndExposureToneBurstRow {
    double durationMs;  // Td
    double fastDb;      // LAFmax - LA, formula (7)
    double exposureDb;  // LAE - LA, formula (8)
    PrintedLimits class1;
};

inline constexpr FastAndExposureToneBurstRow kTable4FastAndExposure[] = {
    {1000, 0.0, 0.0, {0.5, -0.5}},    {500, -0.1, -3.0, {0.5, -0.5}},
    {200, -1.0, -7.0, {0.5, -0.5}},   {100, -2.6, -10.0, {1.0, -1.0}},
    {50, -4.8, -13.0, {1.0, -1.0}},   {20, -8.3, -17.0, {1.0, -1.0}},
    {10, -11.1, -20.0, {1.0, -1.0}},  {5, -14.1, -23.0, {1.0, -1.0}},
    {2, -18.0, -27.0, {1.0, -1.5}},   {1, -21.0, -30.0, {1.0, -2.0}},
    {0.5, -24.0, -33.0, {1.0, -2.5}}, {0.25, -27.0, -36.0, {1.0, -3.0}},
};

struct SlowToneBurstRow {
    double durationMs;  // Td
    double slowDb;      // LASmax - LA, formula (7)
    PrintedLimits class1;
};

inline constexpr SlowToneBurstRow kTable4Slow[] = {
    {1000, -2.0, {0.5, -0.5}}, {500, -4.1, {0.5, -0.5}}, {200, -7.4, {0.5, -0.5}},
    {100, -10.2, {1.0, -1.0}}, {50, -13.1, {1.0, -1.0}}, {20, -17.0, {1.0, -1.5}},
    {10, -20.0, {1.0, -2.0}},  {5, -23.0, {1.0, -2.5}},  {2, -27.0, {1.0, -3.0}},
};

// ---------------------------------------------------------------------------
// Table 5 (5.13.3, p. 28): reference differences LCpeak - LC for single
// cycles and half cycles of a sine, and their acceptance limits.

struct PeakCRow {
    double nominalHz;
    double cycles;  // 1 for one cycle, 0.5 for a half cycle
    int sign;       // +1: the signal starts positive; -1: negative
    double lcpeakOverLcDb;
    PrintedLimits class1;
};

inline constexpr PeakCRow kTable5[] = {
    {31.5, 1.0, 1, 2.5, {2.0, -2.0}}, {500, 1.0, 1, 3.5, {1.0, -1.0}},
    {8000, 1.0, 1, 3.4, {2.0, -2.0}}, {500, 0.5, 1, 2.4, {1.0, -1.0}},
    {500, 0.5, -1, 2.4, {1.0, -1.0}},
};

// ---------------------------------------------------------------------------
// Acceptance limits the text gives without a table.

// 5.5.9 (p. 21): at 1 kHz, C and Z weighting against A.
constexpr PrintedLimits kWeightingsAt1kHz{0.2, -0.2};
// 5.6.5 (p. 23): level linearity deviation.
constexpr PrintedLimits kLevelLinearity{0.8, -0.8};
// 5.8.3 (p. 24): at 1 kHz on a steady signal, the S time-weighted level
// against the F time-weighted level.
constexpr PrintedLimits kTimeWeightingsAt1kHz{0.1, -0.1};
// 5.11.3 (p. 27): the levels at which overload is first shown for positive
// and for negative half cycles differ by no more than this.
constexpr double kOverloadDifferenceDb = 1.5;

}  // namespace tarnwick::iec61672
