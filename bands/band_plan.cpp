#include "bands/band_plan.h"

#include <cmath>

namespace tarnwick {
namespace {

// The nominal mid-band frequencies of the one-third octaves from 25 Hz
// (x = -16) to 20 kHz (x = 13), as IEC 61260-1:2014 Annex E names them; the
// octaves are every third of them from 31.5 Hz.
constexpr const char* kThirdOctaveNames[] = {
    "25",   "31.5", "40",   "50",   "63",   "80",   "100",   "125",   "160",   "200",
    "250",  "315",  "400",  "500",  "630",  "800",  "1000",  "1250",  "1600",  "2000",
    "2500", "3150", "4000", "5000", "6300", "8000", "10000", "12500", "16000", "20000"};
constexpr int kLowestThird = -16;
constexpr int kThirdCount = static_cast<int>(std::size(kThirdOctaveNames));
constexpr double kReachOfNyquist = 0.9;

}  // namespace

int BandsPerOctave(BandWidth width) {
    return width == BandWidth::kOctave ? 1 : 3;
}

std::vector<Band> BandPlan(BandWidth width, double sampleRate) {
    const int b = BandsPerOctave(width);
    // Octaves: the thirds x = -15, -12, ... 12 (31.5 Hz to 16 kHz).
    const int first = width == BandWidth::kOctave ? kLowestThird + 1 : kLowestThird;
    const int step = width == BandWidth::kOctave ? 3 : 1;
    const double halfBand = std::pow(10.0, 0.3 / (2.0 * b));
    std::vector<Band> bands;
    for (int third = first; third < kLowestThird + kThirdCount; third += step) {
        if (width == BandWidth::kOctave && third > 12) {
            break;
        }
        Band band;
        band.index = third / step;
        band.midHz = 1000.0 * std::pow(10.0, third / 10.0);
        band.lowerHz = band.midHz / halfBand;
        band.upperHz = band.midHz * halfBand;
        band.nominal = kThirdOctaveNames[third - kLowestThird];
        band.shown = band.upperHz < kReachOfNyquist * sampleRate / 2.0;
        bands.push_back(band);
    }
    return bands;
}

}  // namespace tarnwick
