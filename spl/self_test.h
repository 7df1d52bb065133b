#pragma once
// The self-test of the sound level chain: the electrical tests of IEC 61672-3
// run on synthetic signals at 44.1, 48 and 96 kHz (the last takes the
// C-weighted peak through the oversampler's 2x path) through the same meter
// that measures recordings and inputs.
//   - A, C and Z weighting at the octave frequencies 63 Hz to 16 kHz;
//   - at 1 kHz, C and Z against A, and LAS and LAeq against LAF;
//   - level linearity at 1 kHz and 8 kHz from -6 to -80 dB re full scale, as
//     16-bit samples with dither;
//   - 4 kHz tone bursts for F, S and the sound exposure level, every
//     duration of IEC 61672-1 Table 4;
//   - the C-weighted peak of single cycles and half cycles (Table 5);
//   - overload on positive and negative half cycles.
// Each check gives what was measured, what the standard expects, the class 1
// acceptance limits and the tighter goal of this program; it passes when the
// deviation lies within both. What the standard expects comes from its own
// figures (spl/iec61672_tables.h): the weightings' design goals from the
// constants of Annex E, never from the filters' design; the tone bursts and
// peaks from the reference responses Tables 4 and 5 print. This proves the
// processing chain on synthetic signals; the acoustic result depends on the
// microphone and calibrator.

#include <string>
#include <vector>

#include "spl/class1_limits.h"

namespace tarnwick {

struct SelfTestRow {
    std::string check;
    double measured = 0.0;  // dB
    double expected = 0.0;  // dB
    // On the deviation measured - expected. A check the standard sets no
    // limit for has none (both infinite).
    AcceptanceLimits class1;
    double goal = 0.0;  // the deviation within +-goal
    bool pass = false;
};

// Runs every check. Takes about a second on one core.
std::vector<SelfTestRow> RunSoundLevelSelfTest();

// The table the user reads: a header line, then one line per check, then
// the count of checks passed.
std::string FormatSelfTestTable(const std::vector<SelfTestRow>& rows);

bool AllPassed(const std::vector<SelfTestRow>& rows);

}  // namespace tarnwick
