#include "loudness/loudness_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

double ToLufs(double energy, size_t count) {
    return energy > 0.0 && count > 0 ? 10.0 * std::log10(energy / static_cast<double>(count))
                                     : -std::numeric_limits<double>::infinity();
}

}  // namespace

LoudnessHistory::LoudnessHistory(size_t capacity)
    : capacity_(std::max<size_t>(2, capacity & ~1u)) {}

void LoudnessHistory::Add(double lufs) {
    const double energy = std::isfinite(lufs) ? std::pow(10.0, lufs / 10.0) : 0.0;
    ++readings_;
    if (!counts_.empty() && counts_.back() < perPoint_) {
        energy_.back() += energy;
        counts_.back() += 1;
        points_.back() = ToLufs(energy_.back(), counts_.back());
        return;
    }
    if (points_.size() == capacity_) {
        // Full: every two points become one covering twice the time.
        for (size_t i = 0; i < capacity_ / 2; ++i) {
            energy_[i] = energy_[2 * i] + energy_[2 * i + 1];
            counts_[i] = counts_[2 * i] + counts_[2 * i + 1];
            points_[i] = ToLufs(energy_[i], counts_[i]);
        }
        energy_.resize(capacity_ / 2);
        counts_.resize(capacity_ / 2);
        points_.resize(capacity_ / 2);
        perPoint_ *= 2;
    }
    energy_.push_back(energy);
    counts_.push_back(1);
    points_.push_back(ToLufs(energy, 1));
}

void LoudnessHistory::Clear() {
    points_.clear();
    energy_.clear();
    counts_.clear();
    perPoint_ = 1;
    readings_ = 0;
}

}  // namespace tarnwick
