#include "bands/band_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/level_math.h"

namespace tarnwick {
namespace {

constexpr size_t kLanes = 4;
// A state below this has died away: flushed between calls, it never reaches
// the slow denormal range.
constexpr double kFlushFloor = 1e-30;

using Quad = BandMeter::Quad;
using Group = BandMeter::Group;

// The bank over `count` samples: per sample, each group's sections in turn,
// as Biquad::Process computes them with b = (1, 0, -1).
[[gnu::always_inline]] inline void Run(Group* groups, size_t groupCount, const float* samples,
                                       size_t count, size_t stride) {
    for (size_t n = 0; n < count; ++n) {
        const float in = samples[n * stride];
        const double x = std::isfinite(in) ? in : 0.0;
        const Quad xs = {x, x, x, x};
        for (size_t g = 0; g < groupCount; ++g) {
            Group& q = groups[g];
            Quad v = xs * q.gain;
            for (int k = 0; k < BandFilter::kSections; ++k) {
                const Quad y = v + q.s1[k];
                q.s1[k] = q.s2[k] - q.a1[k] * y;
                q.s2[k] = -v - q.a2[k] * y;
                v = y;
            }
            const Quad energy = v * v;
            q.sum += energy;
            q.interval += energy;
            q.slice += energy;
        }
    }
}

__attribute__((target("avx2"))) void RunAvx2(Group* groups, size_t groupCount, const float* samples,
                                             size_t count, size_t stride) {
    Run(groups, groupCount, samples, count, stride);
}

void RunPlain(Group* groups, size_t groupCount, const float* samples, size_t count, size_t stride) {
    Run(groups, groupCount, samples, count, stride);
}

const bool kHasAvx2 = [] {
    __builtin_cpu_init();  // this may run before the library's own constructors
    return __builtin_cpu_supports("avx2") != 0;
}();

}  // namespace

BandMeter::BandMeter(BandWidth width, double sampleRate, unsigned channels)
    : width_(width), channels_(channels == 2 ? 2 : 1), sampleRate_(sampleRate) {
    for (const Band& band : BandPlan(width, sampleRate)) {
        if (band.shown) {
            bands_.push_back(band);
        }
    }
    // Lanes past the last band hold a filter that passes nothing: gain 0.
    groupsPerChannel_ = (bands_.size() + kLanes - 1) / kLanes;
    groups_.assign(groupsPerChannel_, Group{});
    for (size_t b = 0; b < bands_.size(); ++b) {
        const BandFilter filter(bands_[b].lowerHz, bands_[b].upperHz, sampleRate);
        Group& g = groups_[b / kLanes];
        const size_t lane = b % kLanes;
        g.gain[lane] = filter.Gain();
        for (int k = 0; k < BandFilter::kSections; ++k) {
            g.a1[k][lane] = filter.Sections()[static_cast<size_t>(k)].a1;
            g.a2[k][lane] = filter.Sections()[static_cast<size_t>(k)].a2;
        }
    }
    if (channels_ == 2) {
        groups_.insert(groups_.end(), groups_.begin(), groups_.end());
    }
}

void BandMeter::RunBank(const float* samples, size_t count, size_t stride) {
    for (unsigned c = 0; c < channels_; ++c) {
        (kHasAvx2 ? RunAvx2 : RunPlain)(groups_.data() + c * groupsPerChannel_, groupsPerChannel_,
                                        samples + c, count, stride);
    }
}

void BandMeter::EndSlice(size_t frames) {
    for (size_t b = 0; b < bands_.size(); ++b) {
        sliceMeanSquares_[b] = Summed(b, &Group::slice) / static_cast<double>(frames);
    }
    for (Group& g : groups_) {
        g.slice = Quad{0.0, 0.0, 0.0, 0.0};
    }
    timeWeighting_->AddSlice(sliceMeanSquares_.data(), frames);
}

void BandMeter::SetResponse(const MicResponse* response) {
    correction_.reset();
    if (response != nullptr) {
        correction_.emplace(*response, sampleRate_, channels_);
    }
    StartStream();
}

void BandMeter::AddSamples(const float* samples, size_t count, size_t stride) {
    if (correction_) {
        // In pieces of the correction's block, each corrected, then measured.
        for (size_t done = 0; done < count;) {
            const size_t n = std::min(count - done, ResponseCorrection::kBlockFrames);
            correcting_.resize(n * channels_);
            for (size_t i = 0; i < n; ++i) {
                for (unsigned c = 0; c < channels_; ++c) {
                    const float x = samples[(done + i) * stride + c];
                    correcting_[i * channels_ + c] = std::isfinite(x) ? x : 0.0;
                }
            }
            correction_->Process(correcting_.data(), n);
            corrected_.assign(correcting_.begin(), correcting_.end());
            AddMeasured(corrected_.data(), n, channels_);
            done += n;
        }
        return;
    }
    AddMeasured(samples, count, stride);
}

void BandMeter::AddMeasured(const float* samples, size_t count, size_t stride) {
    if (!timeWeighting_) {
        RunBank(samples, count, stride);
    }
    for (size_t done = 0; timeWeighting_ && done < count;) {
        const size_t n = std::min(count - done, timeWeighting_->FramesToSliceEnd() - sliceFrames_);
        RunBank(samples + done * stride, n, stride);
        done += n;
        sliceFrames_ += n;
        if (sliceFrames_ == timeWeighting_->FramesToSliceEnd()) {
            EndSlice(sliceFrames_);
            sliceFrames_ = 0;
        }
    }
    for (Group& g : groups_) {
        for (int k = 0; k < BandFilter::kSections; ++k) {
            for (size_t lane = 0; lane < kLanes; ++lane) {
                if (std::fabs(g.s1[k][lane]) < kFlushFloor) {
                    g.s1[k][lane] = 0.0;
                }
                if (std::fabs(g.s2[k][lane]) < kFlushFloor) {
                    g.s2[k][lane] = 0.0;
                }
            }
        }
    }
    samples_ += count;
    intervalSamples_ += count;
}

void BandMeter::StartStream() {
    if (correction_) {
        correction_->Reset();
    }
    for (Group& g : groups_) {
        for (int k = 0; k < BandFilter::kSections; ++k) {
            g.s1[k] = Quad{0.0, 0.0, 0.0, 0.0};
            g.s2[k] = Quad{0.0, 0.0, 0.0, 0.0};
        }
    }
}

void BandMeter::Restart() {
    for (Group& g : groups_) {
        g.sum = Quad{0.0, 0.0, 0.0, 0.0};
        g.interval = Quad{0.0, 0.0, 0.0, 0.0};
    }
    samples_ = 0;
    intervalSamples_ = 0;
    if (timeWeighting_) {
        timeWeighting_->Restart();
    }
}

void BandMeter::KeepTimeWeighting() {
    if (timeWeighting_) {
        return;
    }
    timeWeighting_.emplace(bands_.size(), sampleRate_);
    sliceMeanSquares_.assign(bands_.size(), 0.0);
    sliceFrames_ = 0;
    for (Group& g : groups_) {
        g.slice = Quad{0.0, 0.0, 0.0, 0.0};
    }
}

std::vector<double> BandMeter::TimeWeightedDb(Reading reading, double sensitivityDb) const {
    std::vector<double> levels(bands_.size(), -std::numeric_limits<double>::infinity());
    for (size_t b = 0; timeWeighting_ && b < bands_.size(); ++b) {
        const double meanSquare = reading == Reading::kFast   ? timeWeighting_->Fast(b)
                                  : reading == Reading::kSlow ? timeWeighting_->Slow(b)
                                                              : timeWeighting_->FastMax(b);
        levels[b] = MeanSquareToDb(meanSquare, sensitivityDb) + WeightingDb(b);
    }
    return levels;
}

std::vector<double> BandMeter::LevelsExceededDb(double percent, double sensitivityDb) const {
    std::vector<double> levels(bands_.size(), -std::numeric_limits<double>::infinity());
    for (size_t b = 0; timeWeighting_ && b < bands_.size(); ++b) {
        levels[b] = timeWeighting_->LevelExceeded(b, percent) + sensitivityDb + WeightingDb(b);
    }
    return levels;
}

namespace {

double LeqDb(double sum, uint64_t samples, double sensitivityDb) {
    return MeanSquareToDb(samples > 0 ? sum / static_cast<double>(samples) : 0.0, sensitivityDb);
}

}  // namespace

double BandMeter::Summed(size_t band, Quad Group::*sums) const {
    double sum = 0.0;
    for (unsigned c = 0; c < channels_; ++c) {
        sum += (groups_[c * groupsPerChannel_ + band / kLanes].*sums)[band % kLanes];
    }
    return sum / channels_;
}

std::vector<double> BandMeter::TestLeqDb(double sensitivityDb) const {
    std::vector<double> levels;
    for (size_t b = 0; b < bands_.size(); ++b) {
        levels.push_back(LeqDb(Summed(b, &Group::sum), samples_, sensitivityDb) + WeightingDb(b));
    }
    return levels;
}

std::vector<double> BandMeter::TakeIntervalDb(double sensitivityDb) {
    std::vector<double> levels;
    for (size_t b = 0; b < bands_.size(); ++b) {
        levels.push_back(LeqDb(Summed(b, &Group::interval), intervalSamples_, sensitivityDb) +
                         WeightingDb(b));
    }
    for (Group& g : groups_) {
        g.interval = Quad{0.0, 0.0, 0.0, 0.0};
    }
    intervalSamples_ = 0;
    return levels;
}

}  // namespace tarnwick
