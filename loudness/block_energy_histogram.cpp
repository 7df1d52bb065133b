#include "loudness/block_energy_histogram.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

// The absolute gate, and the bins above it: 0.01 LU wide up to +30 LUFS, far
// above any programme; louder blocks share the top bin, whose sum keeps them
// exact in the gated means.
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kBinsPerLu = 100.0;
constexpr size_t kBins = 10000;
// The largest power of two not above kBins, where a search of the tree starts.
constexpr size_t kTreeTop = 8192;

const double kAbsoluteGateEnergy = std::pow(10.0, (kAbsoluteGateLufs - kLoudnessOffset) / 10.0);

size_t BinOf(double energy) {
    const double lufs = 10.0 * std::log10(energy) + kLoudnessOffset;
    const double bin = std::floor((lufs - kAbsoluteGateLufs) * kBinsPerLu);
    return static_cast<size_t>(std::clamp(bin, 0.0, static_cast<double>(kBins - 1)));
}

}  // namespace

BlockEnergyHistogram::BlockEnergyHistogram() : countTree_(kBins + 1), energyTree_(kBins + 1) {}

void BlockEnergyHistogram::Add(double energy) {
    if (!(energy >= kAbsoluteGateEnergy)) {
        return;
    }
    ++count_;
    energy_ += energy;
    for (size_t i = BinOf(energy) + 1; i <= kBins; i += i & (~i + 1)) {
        countTree_[i] += 1;
        energyTree_[i] += energy;
    }
}

void BlockEnergyHistogram::Clear() {
    std::fill(countTree_.begin(), countTree_.end(), 0);
    std::fill(energyTree_.begin(), energyTree_.end(), 0.0);
    count_ = 0;
    energy_ = 0.0;
}

uint64_t BlockEnergyHistogram::CountBelow(size_t bin) const {
    uint64_t count = 0;
    for (size_t i = bin; i > 0; i -= i & (~i + 1)) {
        count += countTree_[i];
    }
    return count;
}

double BlockEnergyHistogram::EnergyBelow(size_t bin) const {
    double energy = 0.0;
    for (size_t i = bin; i > 0; i -= i & (~i + 1)) {
        energy += energyTree_[i];
    }
    return energy;
}

size_t BlockEnergyHistogram::BinOfRank(uint64_t rank) const {
    // The most bins whose blocks all rank at or below `rank`.
    size_t bins = 0;
    for (size_t step = kTreeTop; step > 0; step /= 2) {
        if (bins + step <= kBins && countTree_[bins + step] <= rank) {
            bins += step;
            rank -= countTree_[bins];
        }
    }
    return std::min(bins, kBins - 1);
}

double BlockEnergyHistogram::MeanEnergyOf(size_t bin) const {
    const uint64_t count = CountBelow(bin + 1) - CountBelow(bin);
    return count > 0 ? (EnergyBelow(bin + 1) - EnergyBelow(bin)) / static_cast<double>(count) : 0.0;
}

BlockEnergyHistogram::Gated BlockEnergyHistogram::Gate(double relativeGateLu) const {
    Gated gated;
    if (count_ == 0) {
        return gated;
    }
    const double threshold =
        energy_ / static_cast<double>(count_) * std::pow(10.0, relativeGateLu / 10.0);
    // Every bin above the threshold's own lies wholly above it; of the blocks
    // in that bin, all within 0.01 LU of the threshold, the bin's mean decides.
    size_t first = 0;
    if (threshold >= kAbsoluteGateEnergy) {
        first = BinOf(threshold);
        if (MeanEnergyOf(first) < threshold) {
            ++first;
        }
    }
    gated.below = CountBelow(first);
    gated.count = count_ - gated.below;
    gated.energy = energy_ - EnergyBelow(first);
    return gated;
}

double BlockEnergyHistogram::GatedMeanEnergy(double relativeGateLu) const {
    const Gated gated = Gate(relativeGateLu);
    return gated.count > 0 ? gated.energy / static_cast<double>(gated.count) : 0.0;
}

double BlockEnergyHistogram::PercentileRange(double relativeGateLu, double low, double high) const {
    const Gated gated = Gate(relativeGateLu);
    if (gated.count == 0) {
        return 0.0;
    }
    const double last = static_cast<double>(gated.count - 1);
    const auto lowRank = static_cast<uint64_t>(last * low + 0.5);
    const auto highRank = static_cast<uint64_t>(last * high + 0.5);
    const double lowEnergy = MeanEnergyOf(BinOfRank(gated.below + lowRank));
    const double highEnergy = MeanEnergyOf(BinOfRank(gated.below + highRank));
    return lowEnergy > 0.0 && highEnergy > 0.0 ? 10.0 * std::log10(highEnergy / lowEnergy) : 0.0;
}

}  // namespace tarnwick
