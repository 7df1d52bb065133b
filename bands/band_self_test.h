#pragma once
// The self-test of the filter bank: the periodic tests of IEC 61260-3 run on
// synthetic sines through the bank as it runs (bands/band_meter.h), at 44.1
// and 48 kHz, octave and one-third octave:
//   - relative attenuation at every normalised frequency of Table C.1 for
//     three filters: the lowest shown, 1 kHz and the highest shown;
//   - level linearity of the 1 kHz filter over the top 40 dB, within 0.5 dB;
//   - the summation of the outputs of the 1 kHz filter and the one above it
//     for sines between their mid-band frequencies, within -1.8 and +0.8 dB.
// What is expected comes from the standard's figures (bands/iec61260_tables.h),
// never from the filters' design.

#include <string>
#include <vector>

namespace tarnwick {

struct BandSelfTestRow {
    std::string check;
    double measured = 0.0;  // dB
    double lowest = 0.0;    // the acceptance limits, dB
    double highest = 0.0;   // infinity: no upper limit
    bool pass = false;
};

// Runs every check; about a second on one core.
std::vector<BandSelfTestRow> RunBandSelfTest();

// One line per check, PASS or FAIL with what was measured and the limits,
// then the count of checks passed.
std::string FormatBandSelfTest(const std::vector<BandSelfTestRow>& rows);

}  // namespace tarnwick
