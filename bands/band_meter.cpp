#include "bands/band_meter.h"

#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

// A state below this has died away: flushed between calls, it never reaches
// the slow denormal range.
constexpr double kFlushFloor = 1e-30;
// The mean square of a full-scale sine.
constexpr double kFullScaleSineMeanSquare = 0.5;

}  // namespace

BandMeter::BandMeter(BandWidth width, double sampleRate) {
    for (const Band& band : BandPlan(width, sampleRate)) {
        if (band.shown) {
            bands_.push_back(band);
            filters_.emplace_back(band.lowerHz, band.upperHz, sampleRate);
        }
    }
    sums_.assign(bands_.size(), 0.0);
}

void BandMeter::AddSamples(const float* samples, size_t count, size_t stride) {
    for (size_t b = 0; b < filters_.size(); ++b) {
        BandFilter& filter = filters_[b];
        double sum = 0.0;
        for (size_t n = 0; n < count; ++n) {
            const float x = samples[n * stride];
            const double y = filter.Process(std::isfinite(x) ? x : 0.0);
            sum += y * y;
        }
        sums_[b] += sum;
        filter.FlushBelow(kFlushFloor);
    }
    samples_ += count;
}

std::vector<double> BandMeter::TestLeqDb(double sensitivityDb) const {
    std::vector<double> levels;
    for (const double sum : sums_) {
        const double meanSquare = samples_ > 0 ? sum / static_cast<double>(samples_) : 0.0;
        levels.push_back(meanSquare > 0.0
                             ? 10.0 * std::log10(meanSquare / kFullScaleSineMeanSquare) +
                                   sensitivityDb
                             : -std::numeric_limits<double>::infinity());
    }
    return levels;
}

}  // namespace tarnwick
