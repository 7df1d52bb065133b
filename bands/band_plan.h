#pragma once
// The bands of the filter bank: octave and one-third-octave, base 10, as
// IEC 61260-1:2014 names them. The exact mid-band frequency of band x is
// 1000 x 10^(x/10) Hz for one-third octaves and 1000 x 10^(3x/10) Hz for
// octaves (clause 5.4); a band spans fm G^(-1/2b) to fm G^(1/2b), G = 10^0.3,
// b = 3 or 1 (clause 5.6). Bands are labelled with their nominal mid-band
// frequencies (25, 31.5, 40, ... 20 k Hz).
//
// One-third octaves run from 25 Hz to 20 kHz and octaves from 31.5 Hz to
// 16 kHz, each band only where its upper edge lies below 0.9 of the Nyquist
// frequency: a filter that reaches further is bent by the sample rate, not
// designed (at 44.1 kHz, one-third octaves stop at 16 kHz).

#include <string>
#include <vector>

namespace tarnwick {

enum class BandWidth { kOctave, kThirdOctave };

struct Band {
    int index = 0;          // x: 0 for 1 kHz
    double midHz = 1000.0;  // exact
    double lowerHz = 0.0;   // edges, exact
    double upperHz = 0.0;
    std::string nominal;  // "31.5", "1000", "16000"
    bool shown = true;    // within reach of the sample rate
};

// Every band of `width` from the lowest to the highest, rising; those out of
// reach of `sampleRate` are marked not shown.
std::vector<Band> BandPlan(BandWidth width, double sampleRate);

// 3 for one-third octaves, 1 for octaves.
int BandsPerOctave(BandWidth width);

}  // namespace tarnwick
