#include "core/level_histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {

void LevelHistogram::Add(double levelDb) {
    double tenths = std::round(levelDb / kBinDb);
    if (std::isnan(tenths)) {
        tenths = kLowestTenths;
    }
    tenths =
        std::clamp(tenths, static_cast<double>(kLowestTenths), static_cast<double>(kHighestTenths));
    ++counts_[static_cast<size_t>(static_cast<int>(tenths) - kLowestTenths)];
    ++count_;
}

void LevelHistogram::Clear() {
    counts_.fill(0);
    count_ = 0;
}

double LevelHistogram::LevelExceeded(double percent) const {
    constexpr double kNothing = -std::numeric_limits<double>::infinity();
    if (count_ == 0) {
        return kNothing;
    }
    // 10 % of 600 is 60.000000000000007 in binary; the slack keeps it 60.
    constexpr double kShareSlack = 1e-9;
    // At least one level, so that N = 0 gives the highest level added.
    const double share = std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(count_);
    const uint64_t needed =
        std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(share - kShareSlack)));
    uint64_t atOrAbove = 0;
    for (size_t bin = kBins; bin-- > 1;) {
        atOrAbove += counts_[bin];
        if (atOrAbove >= needed) {
            return (static_cast<int>(bin) + kLowestTenths) * kBinDb;
        }
    }
    return kNothing;
}

}  // namespace tarnwick
