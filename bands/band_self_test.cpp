#include "bands/band_self_test.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "bands/band_meter.h"
#include "bands/iec61260_tables.h"

namespace tarnwick {
namespace {

constexpr double kRates[] = {44100.0, 48000.0};
// Clause 5.12: level linearity over the top 40 dB of the range.
constexpr double kLinearityDb = 0.5;
constexpr double kLinearityRangeDb = 40.0;
// Clause 5.11: the summation of adjacent outputs.
constexpr double kSummationLowestDb = -1.8;
constexpr double kSummationHighestDb = 0.8;
constexpr int kSummationPoints = 8;

// The level, in dB re a full-scale sine, that a sine of `amplitude` at `hz`
// reads in bands `first` and `second` of a fresh bank together, over whole
// periods once the filters have settled.
double BandsReadDb(BandWidth width, double rate, size_t first, size_t second, double hz,
                   double amplitude) {
    BandMeter bank(width, rate);
    const std::vector<Band>& bands = bank.Bands();
    const double narrowest = std::min(bands[first].upperHz - bands[first].lowerHz,
                                      bands[second].upperHz - bands[second].lowerHz);
    // The slowest pole pair's envelope falls by far more than the 70 dB
    // measured.
    const auto settle = static_cast<size_t>(20.0 / narrowest * rate);
    const double periods = std::max(10.0, std::ceil(0.5 * hz));
    const auto measure = static_cast<size_t>(std::round(periods * rate / hz));
    std::vector<float> x(settle + measure);
    for (size_t n = 0; n < x.size(); ++n) {
        x[n] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * n / rate));
    }
    bank.AddSamples(x.data(), settle, 1);
    bank.Restart();
    bank.AddSamples(x.data() + settle, measure, 1);
    const std::vector<double> levels = bank.TestLeqDb(0.0);
    const double energy = std::pow(10.0, levels[first] / 10.0) +
                          (second != first ? std::pow(10.0, levels[second] / 10.0) : 0.0);
    return 10.0 * std::log10(energy);
}

// The effective bandwidth of band `b`, in dB re its reference bandwidth:
// a unit impulse through a fresh bank, whose squared outputs sum, by
// Parseval, to 2 / rate times the integral of the squared gain.
double EffectiveBandwidthDb(BandWidth width, double rate, size_t b) {
    BandMeter bank(width, rate);
    const Band& band = bank.Bands()[b];
    const auto length = static_cast<size_t>(40.0 / (band.upperHz - band.lowerHz) * rate);
    std::vector<float> x(length, 0.0f);
    x[0] = 1.0f;
    bank.AddSamples(x.data(), x.size(), 1);
    // Leq re a full-scale sine: 10 lg(sum / length / 0.5).
    const double sum =
        0.5 * static_cast<double>(length) * std::pow(10.0, bank.TestLeqDb(0.0)[b] / 10.0);
    const double effectiveHz = rate / 2.0 * sum;
    return 10.0 * std::log10(effectiveHz / (band.upperHz - band.lowerHz));
}

template <typename... Numbers>
std::string Text(const char* format, Numbers... numbers) {
    char text[160];
    std::snprintf(text, sizeof text, format, numbers...);
    return text;
}

BandSelfTestRow Row(std::string check, double measured, double lowest, double highest) {
    return {std::move(check), measured, lowest, highest, measured >= lowest && measured <= highest};
}

}  // namespace

std::vector<BandSelfTestRow> RunBandSelfTest() {
    std::vector<BandSelfTestRow> rows;
    for (const double rate : kRates) {
        for (const BandWidth width : {BandWidth::kOctave, BandWidth::kThirdOctave}) {
            const char* name = width == BandWidth::kOctave ? "octave" : "1/3 octave";
            const std::vector<Band> bands = BandMeter(width, rate).Bands();
            size_t middle = 0;
            while (middle + 1 < bands.size() && bands[middle].nominal != "1000") {
                ++middle;
            }
            for (const size_t b : {size_t{0}, middle, bands.size() - 1}) {
                for (size_t r = 0; r < std::size(iec61260::kTableC1); ++r) {
                    const iec61260::AttenuationRow& limit = iec61260::kTableC1[r];
                    const double octaveOmega =
                        std::pow(iec61260::kOctaveRatio, iec61260::kOctaveExponents[r]);
                    const double above = width == BandWidth::kOctave ? octaveOmega : limit.above;
                    const double below =
                        width == BandWidth::kOctave ? 1.0 / octaveOmega : limit.below;
                    for (const double omega : {above, below}) {
                        const double hz = omega * bands[b].midHz;
                        if (hz >= rate / 2.0 || (omega == below && r == 0)) {
                            continue;  // beyond the rate, or Omega 1 again
                        }
                        const double attenuation = -BandsReadDb(width, rate, b, b, hz, 1.0);
                        rows.push_back(
                            Row(std::string(name) + " " + bands[b].nominal + " Hz" +
                                    Text(" at %.1f kHz, Omega %.5f", rate / 1000.0, omega),
                                attenuation, limit.lowest, limit.highest));
                    }
                }
            }
            for (const size_t b : {size_t{0}, middle, bands.size() - 1}) {
                rows.push_back(Row(std::string(name) + " " + bands[b].nominal + " Hz" +
                                       Text(" at %.1f kHz, effective bandwidth", rate / 1000.0),
                                   EffectiveBandwidthDb(width, rate, b),
                                   -iec61260::kEffectiveBandwidthDb,
                                   iec61260::kEffectiveBandwidthDb));
            }
            // Linearity: the 1 kHz band follows a 1 kHz sine from full scale
            // down by 40 dB.
            for (double db = 0.0; db >= -kLinearityRangeDb; db -= 10.0) {
                const double reads = BandsReadDb(width, rate, middle, middle, bands[middle].midHz,
                                                 std::pow(10.0, db / 20.0));
                rows.push_back(Row(
                    std::string(name) + Text(" linearity at %.1f kHz, %.0f dB", rate / 1000.0, db),
                    reads - db, -kLinearityDb, kLinearityDb));
            }
            // Summation: the 1 kHz band and the one above, for sines from one
            // mid-band frequency to the other.
            const double from = bands[middle].midHz;
            const double to = bands[middle + 1].midHz;
            for (int p = 0; p <= kSummationPoints; ++p) {
                const double hz =
                    from * std::pow(to / from, static_cast<double>(p) / kSummationPoints);
                rows.push_back(Row(
                    std::string(name) + Text(" summation at %.1f kHz, %.1f Hz", rate / 1000.0, hz),
                    BandsReadDb(width, rate, middle, middle + 1, hz, 1.0), kSummationLowestDb,
                    kSummationHighestDb));
            }
        }
    }
    return rows;
}

std::string FormatBandSelfTest(const std::vector<BandSelfTestRow>& rows) {
    std::string text;
    size_t passed = 0;
    for (const BandSelfTestRow& row : rows) {
        char line[256];
        std::snprintf(line, sizeof line, "%s  %-52s %8.2f dB, limits %.1f to %s\n",
                      row.pass ? "PASS" : "FAIL", row.check.c_str(), row.measured, row.lowest,
                      std::isinf(row.highest) ? "none" : Text("%.1f", row.highest).c_str());
        text += line;
        passed += row.pass ? 1 : 0;
    }
    text += std::to_string(passed) + " of " + std::to_string(rows.size()) + " checks passed\n";
    return text;
}

}  // namespace tarnwick
