#include "bands/minute_indicators.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tarnwick {
namespace {

// The prominence a band needs over each neighbour, by its mid-band
// frequency; none outside 25 Hz to 10 kHz.
std::optional<double> ProminenceDb(double midHz) {
    // Between the nominal bands, so that 125 Hz (exactly 125.89) and 160 Hz
    // fall on their own sides.
    if (midHz < 22.0 || midHz > 11200.0) {
        return std::nullopt;
    }
    if (midHz < 141.0) {
        return 15.0;
    }
    if (midHz < 447.0) {
        return 8.0;
    }
    return 5.0;
}

double Db(double meanSquare) {
    return meanSquare > 0.0 ? 10.0 * std::log10(meanSquare) : -INFINITY;
}

}  // namespace

std::string MinuteScreens::Events() const {
    std::string events = lowFrequency ? "low-frequency" : "";
    for (const std::string& band : tonalBands) {
        events += (events.empty() ? "" : " ") + ("tonal " + band + " Hz");
    }
    return events;
}

std::vector<std::string> TonalBands(const std::vector<Band>& bands,
                                    const std::vector<double>& leqDb) {
    std::vector<std::string> tonal;
    for (size_t b = 1; b + 1 < bands.size() && b + 1 < leqDb.size(); ++b) {
        const std::optional<double> prominence = ProminenceDb(bands[b].midHz);
        if (prominence && std::isfinite(leqDb[b]) && leqDb[b] - leqDb[b - 1] > *prominence &&
            leqDb[b] - leqDb[b + 1] > *prominence) {
            tonal.push_back(bands[b].nominal);
        }
    }
    return tonal;
}

MinuteIndicators::MinuteIndicators(std::vector<Band> bands, BandWidth width,
                                   std::vector<double> aDb, std::vector<double> cDb,
                                   double lowFrequencyDb)
    : bands_(std::move(bands)),
      width_(width),
      aDb_(std::move(aDb)),
      cDb_(std::move(cDb)),
      lowFrequencyDb_(lowFrequencyDb),
      energy_(bands_.size(), 0.0) {}

void MinuteIndicators::Add(const std::vector<double>& zLeqDb, double seconds) {
    if (!(seconds > 0.0)) {
        return;
    }
    for (size_t b = 0; b < energy_.size() && b < zLeqDb.size(); ++b) {
        if (std::isfinite(zLeqDb[b])) {
            energy_[b] += std::pow(10.0, zLeqDb[b] / 10.0) * seconds;
        }
    }
    seconds_ += seconds;
}

std::optional<MinuteScreens> MinuteIndicators::EndMinute() {
    if (!(seconds_ > 0.0)) {
        return std::nullopt;
    }
    MinuteScreens screens;
    std::vector<double> leq(energy_.size());
    double a = 0.0;
    double c = 0.0;
    for (size_t b = 0; b < energy_.size(); ++b) {
        const double meanSquare = energy_[b] / seconds_;
        leq[b] = Db(meanSquare);
        a += meanSquare * std::pow(10.0, (b < aDb_.size() ? aDb_[b] : 0.0) / 10.0);
        c += meanSquare * std::pow(10.0, (b < cDb_.size() ? cDb_[b] : 0.0) / 10.0);
    }
    screens.laeqDb = Db(a);
    screens.lceqDb = Db(c);
    screens.lowFrequency =
        std::isfinite(screens.lceqDb) && screens.lceqDb - screens.laeqDb > lowFrequencyDb_;
    if (width_ == BandWidth::kThirdOctave) {
        screens.tonalBands = TonalBands(bands_, leq);
        for (size_t b = 0; b < bands_.size(); ++b) {
            for (const std::string& tonal : screens.tonalBands) {
                if (tonal == bands_[b].nominal) {
                    screens.tonalLeqDb = std::max(screens.tonalLeqDb, leq[b]);
                }
            }
        }
    }
    energy_.assign(energy_.size(), 0.0);
    seconds_ = 0.0;
    return screens;
}

}  // namespace tarnwick
