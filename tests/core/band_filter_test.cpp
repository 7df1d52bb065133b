// The band filters against the class 1 limits of IEC 61260-1 (Table C.1 of
// IEC 61260-3, bands/iec61260_tables.h), measured through the bank as it runs
// with steady sines, not read from its design: the lowest, the 1 kHz and the
// highest band shown, octave and one-third octave, at 44.1, 48 and 96 kHz.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "bands/band_meter.h"
#include "bands/band_plan.h"
#include "bands/iec61260_tables.h"

namespace tarnwick {
namespace {

// The attenuation, in dB, of a full-scale sine at `hz` in band `b` of a
// fresh bank: its Leq over whole periods once the filters have settled.
double MeasuredAttenuationDb(BandWidth width, size_t b, double hz, double rate) {
    BandMeter bank(width, rate);
    const Band& band = bank.Bands()[b];
    // Settled: the slowest pole pair's envelope has fallen by far more than
    // the 70 dB the table asks to be measured.
    const double settleS = 20.0 / (band.upperHz - band.lowerHz);
    const auto settle = static_cast<size_t>(settleS * rate);
    const double periods = std::max(10.0, std::ceil(0.5 * hz));
    const auto measure = static_cast<size_t>(std::round(periods * rate / hz));
    std::vector<float> x(settle + measure);
    for (size_t n = 0; n < x.size(); ++n) {
        x[n] = static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * n / rate));
    }
    bank.AddSamples(x.data(), settle, 1);
    bank.Restart();
    bank.AddSamples(x.data() + settle, measure, 1);
    return -bank.TestLeqDb(0.0)[b];
}

TEST(BandFilter, EveryBandShownMeetsTheClass1AttenuationLimits) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        for (const BandWidth width : {BandWidth::kOctave, BandWidth::kThirdOctave}) {
            const std::vector<Band> shown = BandMeter(width, rate).Bands();
            size_t middle = 0;
            while (middle < shown.size() && shown[middle].nominal != "1000") {
                ++middle;
            }
            ASSERT_LT(middle, shown.size());
            for (const size_t b : {size_t{0}, middle, shown.size() - 1}) {
                const Band* band = &shown[b];
                for (size_t row = 0; row < std::size(iec61260::kTableC1); ++row) {
                    const iec61260::AttenuationRow& limit = iec61260::kTableC1[row];
                    const double octaveOmega =
                        std::pow(iec61260::kOctaveRatio, iec61260::kOctaveExponents[row]);
                    for (const double omega : width == BandWidth::kOctave
                                                  ? std::array{octaveOmega, 1.0 / octaveOmega}
                                                  : std::array{limit.above, limit.below}) {
                        const double hz = omega * band->midHz;
                        if (hz >= rate / 2.0) {
                            continue;  // no sine there to attenuate
                        }
                        const double a = MeasuredAttenuationDb(width, b, hz, rate);
                        EXPECT_GE(a, limit.lowest)
                            << band->nominal << " Hz band at " << rate << " Hz, Omega " << omega;
                        EXPECT_LE(a, limit.highest)
                            << band->nominal << " Hz band at " << rate << " Hz, Omega " << omega;
                    }
                }
            }
        }
    }
}

// The bands as the standard names them, and only those within reach of the
// sample rate: one-third octaves to 16 kHz at 44.1 kHz, to 20 kHz at 48 kHz.
TEST(BandFilter, TheBandsAreTheStandardsWithinReach) {
    const struct {
        BandWidth width;
        double rate;
        size_t shown;
        const char* lowest;
        const char* highest;
    } cases[] = {
        {BandWidth::kThirdOctave, 44100.0, 29, "25", "16000"},
        {BandWidth::kThirdOctave, 48000.0, 29, "25", "16000"},
        {BandWidth::kThirdOctave, 96000.0, 30, "25", "20000"},
        {BandWidth::kOctave, 44100.0, 9, "31.5", "8000"},
        {BandWidth::kOctave, 96000.0, 10, "31.5", "16000"},
    };
    for (const auto& c : cases) {
        std::vector<Band> shown;
        for (const Band& band : BandPlan(c.width, c.rate)) {
            if (band.shown) {
                shown.push_back(band);
            }
        }
        ASSERT_EQ(shown.size(), c.shown) << c.rate;
        EXPECT_EQ(shown.front().nominal, c.lowest);
        EXPECT_EQ(shown.back().nominal, c.highest);
        for (const Band& band : shown) {
            EXPECT_NEAR(band.lowerHz * band.upperHz, band.midHz * band.midHz,
                        1e-9 * band.midHz * band.midHz);
        }
    }
}

}  // namespace
}  // namespace tarnwick
