// The band filters against the class 1 limits of IEC 61260-1 (Table C.1 of
// IEC 61260-3, bands/iec61260_tables.h), measured through the running filter
// with steady sines, not read from its design: the lowest, the 1 kHz and the
// highest band shown, octave and one-third octave, at 44.1, 48 and 96 kHz.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "bands/band_filter.h"
#include "bands/band_plan.h"
#include "bands/iec61260_tables.h"

namespace tarnwick {
namespace {

// The attenuation, in dB, of a sine at `hz` through a fresh filter: its
// mean square over whole periods once the filter has settled, against the
// sine's own.
double MeasuredAttenuationDb(const Band& band, double hz, double rate) {
    BandFilter filter(band.lowerHz, band.upperHz, rate);
    // Settled: the slowest pole pair's envelope has fallen by far more than
    // the 70 dB the table asks to be measured.
    const double settleS = 60.0 / (band.upperHz - band.lowerHz);
    const auto settle = static_cast<long>(settleS * rate);
    const double periods = std::max(10.0, std::ceil(0.5 * hz));
    const auto measure = static_cast<long>(std::round(periods * rate / hz));
    double sum = 0.0;
    for (long n = 0; n < settle + measure; ++n) {
        const double y = filter.Process(std::sin(2.0 * std::numbers::pi * hz * n / rate));
        if (n >= settle) {
            sum += y * y;
        }
    }
    return -10.0 * std::log10(sum / measure / 0.5);
}

TEST(BandFilter, EveryBandShownMeetsTheClass1AttenuationLimits) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        for (const BandWidth width : {BandWidth::kOctave, BandWidth::kThirdOctave}) {
            std::vector<Band> shown;
            for (const Band& band : BandPlan(width, rate)) {
                if (band.shown) {
                    shown.push_back(band);
                }
            }
            ASSERT_FALSE(shown.empty());
            const Band* middle = nullptr;
            for (const Band& band : shown) {
                if (band.nominal == "1000") {
                    middle = &band;
                }
            }
            ASSERT_NE(middle, nullptr);
            for (const Band* band :
                 std::array<const Band*, 3>{&shown.front(), middle, &shown.back()}) {
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
                        const double a = MeasuredAttenuationDb(*band, hz, rate);
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
