#include "bands/band_time_weighting.h"

#include <algorithm>
#include <cmath>

#include "core/level_math.h"

namespace tarnwick {
namespace {

// IEC 61672-1 time constants, in seconds.
constexpr double kFastS = 0.125;
constexpr double kSlowS = 1.0;
constexpr int kTenthsPerSecond = 10;

}  // namespace

BandTimeWeighting::BandTimeWeighting(size_t bands, double sampleRate)
    : rate_(std::round(sampleRate)),
      fastStep_(Decay(kFastS, kSliceFrames)),
      slowStep_(Decay(kSlowS, kSliceFrames)),
      fast_(bands, 0.0),
      slow_(bands, 0.0),
      fastMax_(bands, 0.0),
      tenthSum_(bands, 0.0),
      tenths_(bands) {}

double BandTimeWeighting::Decay(double timeConstantS, size_t frames) const {
    return std::exp(-static_cast<double>(frames) / (timeConstantS * rate_));
}

size_t BandTimeWeighting::FramesToSliceEnd() const {
    // Tenths end on whole frames, floor(k x rate / 10) into the second.
    const auto rate = static_cast<uint64_t>(rate_);
    const uint64_t tenthEnd = static_cast<uint64_t>(tenth_ + 1) * rate / kTenthsPerSecond;
    return static_cast<size_t>(std::min<uint64_t>(tenthEnd - frames_, kSliceFrames));
}

void BandTimeWeighting::AddSlice(const double* meanSquares, size_t frames) {
    const double fastDecay = frames == kSliceFrames ? fastStep_ : Decay(kFastS, frames);
    const double slowDecay = frames == kSliceFrames ? slowStep_ : Decay(kSlowS, frames);
    for (size_t b = 0; b < fast_.size(); ++b) {
        const double x = meanSquares[b];
        fast_[b] = x + (fast_[b] - x) * fastDecay;
        slow_[b] = x + (slow_[b] - x) * slowDecay;
        fastMax_[b] = std::max(fastMax_[b], fast_[b]);
        tenthSum_[b] += x * static_cast<double>(frames);
    }
    frames_ += frames;
    tenthFrames_ += frames;
    const auto rate = static_cast<uint64_t>(rate_);
    if (frames_ < static_cast<uint64_t>(tenth_ + 1) * rate / kTenthsPerSecond) {
        return;
    }
    for (size_t b = 0; b < fast_.size(); ++b) {
        tenths_[b].Add(MeanSquareToDb(tenthSum_[b] / static_cast<double>(tenthFrames_), 0.0));
        tenthSum_[b] = 0.0;
    }
    tenthFrames_ = 0;
    if (++tenth_ == kTenthsPerSecond) {
        tenth_ = 0;
        frames_ = 0;
    }
}

void BandTimeWeighting::Restart() {
    std::fill(fastMax_.begin(), fastMax_.end(), 0.0);
    for (LevelHistogram& h : tenths_) {
        h.Clear();
    }
}

}  // namespace tarnwick
