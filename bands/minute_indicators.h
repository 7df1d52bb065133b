#pragma once
// MinuteIndicators: the two screens the bands make each minute.
//   low-frequency  LCeq - LAeq of the minute exceeds a difference, 20 dB by
//                  default: sound whose energy lies low enough that an
//                  A-weighted level understates it (DIN 45680 practice).
//   tonal          a one-third-octave band's Leq exceeds both its
//                  neighbours' by 15 dB from 25 to 125 Hz, 8 dB from 160 to
//                  400 Hz, 5 dB from 500 Hz to 10 kHz: the survey rule of
//                  ISO 1996-2 for a prominent tone, on unweighted bands.
// LAeq and LCeq come from the bands themselves, each band's energy weighted
// by A or C at its mid-band frequency, so that the screens need no other
// meter; below the lowest band shown nothing counts. An octave bank screens
// for low frequency only. A band that heard nothing in the minute is no
// tone; a silent neighbour is exceeded by any level.

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "bands/band_plan.h"

namespace tarnwick {

inline constexpr double kDefaultLowFrequencyDb = 20.0;

struct MinuteScreens {
    double laeqDb = 0.0;  // of the minute, from the bands
    double lceqDb = 0.0;
    bool lowFrequency = false;
    std::vector<std::string> tonalBands;  // nominal mid-band frequencies, rising
    double tonalLeqDb = -INFINITY;        // the loudest tonal band's Leq
    // "low-frequency", "tonal 1000 Hz": the minute's events, as the logs
    // write them, joined by blanks; empty when there are none.
    std::string Events() const;
};

class MinuteIndicators {
public:
    // `bands` as the bank measures them; `aDb` and `cDb` the A and C
    // weightings at their mid-band frequencies.
    MinuteIndicators(std::vector<Band> bands, BandWidth width, std::vector<double> aDb,
                     std::vector<double> cDb, double lowFrequencyDb = kDefaultLowFrequencyDb);

    // One interval's unweighted band Leq, in dB, lasting `seconds`.
    void Add(const std::vector<double>& zLeqDb, double seconds);
    // The minute ends: its screens, or nothing when no band was measured in
    // it; the next minute starts.
    std::optional<MinuteScreens> EndMinute();

private:
    std::vector<Band> bands_;
    BandWidth width_;
    std::vector<double> aDb_;
    std::vector<double> cDb_;
    double lowFrequencyDb_;
    std::vector<double> energy_;  // mean square x seconds, per band
    double seconds_ = 0.0;
};

// The bands of `leqDb` (one-third octaves) that stand out of both
// neighbours by the survey rule above.
std::vector<std::string> TonalBands(const std::vector<Band>& bands,
                                    const std::vector<double>& leqDb);

}  // namespace tarnwick
