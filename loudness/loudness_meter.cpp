#include "loudness/loudness_meter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "core/finite_samples.h"

namespace tarnwick {
namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// Below this the K-weighting filter is only dying away after the programme
// stopped: silence.
constexpr double kSilenceLufs = -120.0;
// The relative gates of integrated loudness (BS.1770) and of loudness range
// (EBU Tech 3342), and the range's percentiles.
constexpr double kIntegratedGateLu = -10.0;
constexpr double kRangeGateLu = -20.0;
constexpr double kRangeLow = 0.10;
constexpr double kRangeHigh = 0.95;
// A 3 s block for the range every second, as libebur128 takes them.
constexpr uint64_t kRangeBlockEverySlices = 10;
// 16-bit samples are converted in pieces of this many frames.
constexpr size_t kConvertFrames = 4096;
constexpr float kFullScale16 = 32768.0f;

double LoudnessOf(double energy) {
    const double lufs = energy > 0.0 ? 10.0 * std::log10(energy) + kLoudnessOffset : kMinusInfinity;
    return lufs < kSilenceLufs ? kMinusInfinity : lufs;
}

double ToDb(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : kMinusInfinity;
}

}  // namespace

void LoudnessMeter::RecentSlices::Push(double energy) {
    energies_[next_] = energy;
    next_ = (next_ + 1) % energies_.size();
    ++count_;
}

void LoudnessMeter::RecentSlices::Clear() {
    energies_.fill(0.0);
    next_ = 0;
    count_ = 0;
}

double LoudnessMeter::RecentSlices::MeanOfLast(size_t slices) const {
    double sum = 0.0;
    for (size_t back = 1; back <= slices; ++back) {
        sum += energies_[(next_ + energies_.size() - back) % energies_.size()];
    }
    return sum / static_cast<double>(slices);
}

LoudnessMeter::LoudnessMeter(unsigned long sampleRate, LoudnessChannels channels)
    : sampleRate_(sampleRate),
      layout_(channels),
      channels_(channels == LoudnessChannels::kStereo ? 2 : 1),
      channelWeight_(channels == LoudnessChannels::kDualMono ? 2.0 : 1.0),
      // 100 ms, rounded as libebur128 rounds its blocks.
      sliceFrames_(std::max<size_t>(1, (sampleRate + 5) / 10)),
      weighting_(static_cast<double>(sampleRate), channels_),
      truePeak_(sampleRate, channels_),
      momentary_(kMinusInfinity),
      shortTerm_(kMinusInfinity),
      momentaryMax_(kMinusInfinity),
      shortTermMax_(kMinusInfinity) {}

void LoudnessMeter::AddFrames(const int16_t* frames, size_t count) {
    constexpr size_t kStereo = 2;
    while (count > 0) {
        const size_t piece = std::min(count, kConvertFrames);
        samples_.resize(piece * kStereo);
        for (size_t i = 0; i < samples_.size(); ++i) {
            samples_[i] = static_cast<float>(frames[i]) / kFullScale16;
        }
        AddSamples(samples_.data(), piece);
        frames += piece * kStereo;
        count -= piece;
    }
}

void LoudnessMeter::AddCaptureFrames(const uint8_t* bytes, size_t count) {
    static_assert(std::endian::native == std::endian::little,
                  "capture blocks are little-endian, as the host");
    constexpr size_t kStereo = 2;
    // The block's bytes need not be aligned for 16-bit reads.
    int16_t aligned[kConvertFrames * kStereo];
    while (count > 0) {
        const size_t piece = std::min(count, kConvertFrames);
        std::memcpy(aligned, bytes, piece * kStereo * sizeof(int16_t));
        AddFrames(aligned, piece);
        bytes += piece * kStereo * sizeof(int16_t);
        count -= piece;
    }
}

size_t LoudnessMeter::FramesToBoundary(const Stretch& stretch) const {
    const size_t toSlice = sliceFrames_ - stretch.sliceFrames;
    return stretch.heldBack > 0 ? std::min(toSlice, stretch.heldBack) : toSlice;
}

void LoudnessMeter::AddSamples(const float* samples, size_t frames) {
    const size_t count = frames * channels_;
    if (const size_t nonFinite = CountNonFinite(samples, count); nonFinite > 0) {
        nonFinite_ += nonFinite;
        finite_.resize(count);
        CopyAsFinite(samples, count, finite_.data());
        samples = finite_.data();
    }
    while (frames > 0) {
        // Pieces end where a slice of the live readings, the test or the
        // period ends, and where the true peak of a stretch starts counting.
        size_t piece = std::min(frames, sliceFrames_ - liveFrames_);
        piece = std::min(piece, FramesToBoundary(test_));
        if (period_ != nullptr) {
            piece = std::min(piece, FramesToBoundary(*period_));
        }
        const double energy = weighting_.SumOfSquares(samples, piece) * channelWeight_;
        const float peak = truePeak_.Add(samples, piece);
        AddToStretch(test_, energy, piece, peak);
        if (period_ != nullptr) {
            AddToStretch(*period_, energy, piece, peak);
        }
        liveEnergy_ += energy;
        liveFrames_ += piece;
        if (liveFrames_ == sliceFrames_) {
            TakeReading();
        }
        samples += piece * channels_;
        frames -= piece;
    }
}

void LoudnessMeter::AddToStretch(Stretch& stretch, double energy, size_t frames, float peak) {
    if (stretch.heldBack > 0) {
        stretch.heldBack -= frames;
    } else {
        stretch.truePeak = std::max(stretch.truePeak, static_cast<double>(peak));
    }
    stretch.sliceEnergy += energy;
    stretch.sliceFrames += frames;
    if (stretch.sliceFrames < sliceFrames_) {
        return;
    }
    stretch.slices.Push(stretch.sliceEnergy / static_cast<double>(sliceFrames_));
    stretch.sliceEnergy = 0.0;
    stretch.sliceFrames = 0;
    // A gating block is 400 ms, every 100 ms from the first whole 400 ms; a
    // block of the range 3 s, every second from the first whole 3 s.
    const uint64_t slices = stretch.slices.Count();
    if (slices >= kMomentarySlices) {
        stretch.gatingBlocks.Add(stretch.slices.MeanOfLast(kMomentarySlices));
    }
    if (slices >= kShortTermSlices && (slices - kShortTermSlices) % kRangeBlockEverySlices == 0) {
        stretch.shortTermBlocks.Add(stretch.slices.MeanOfLast(kShortTermSlices));
    }
}

void LoudnessMeter::AddTruePeakOnly(size_t frames) {
    const std::vector<float> silence(std::max<size_t>(1, frames) * channels_, 0.0f);
    while (frames > 0) {
        size_t piece = frames;
        for (Stretch* stretch : {&test_, period_.get()}) {
            if (stretch != nullptr && stretch->heldBack > 0) {
                piece = std::min(piece, stretch->heldBack);
            }
        }
        const float peak = truePeak_.Add(silence.data(), piece);
        for (Stretch* stretch : {&test_, period_.get()}) {
            if (stretch == nullptr) {
                continue;
            }
            if (stretch->heldBack > 0) {
                stretch->heldBack -= piece;
            } else {
                stretch->truePeak = std::max(stretch->truePeak, static_cast<double>(peak));
            }
        }
        frames -= piece;
    }
}

void LoudnessMeter::EndProgramme() {
    // The oversampled values of the last frames come out as silence follows
    // them; the loudness keeps only whole slices, as ever.
    AddTruePeakOnly(truePeak_.Delay());
}

void LoudnessMeter::StartStream() {
    weighting_.Reset();
    truePeak_.StartStream();
    live_.Clear();
    liveEnergy_ = 0.0;
    liveFrames_ = 0;
    momentary_ = kMinusInfinity;
    shortTerm_ = kMinusInfinity;
}

void LoudnessMeter::TakeReading() {
    live_.Push(liveEnergy_ / static_cast<double>(sliceFrames_));
    liveEnergy_ = 0.0;
    liveFrames_ = 0;
    momentary_ = LoudnessOf(live_.MeanOfLast(kMomentarySlices));
    shortTerm_ = LoudnessOf(live_.MeanOfLast(kShortTermSlices));
    // A maximum counts only windows the meter measured whole, never one
    // padded with the silence before its start.
    if (live_.Count() >= kMomentarySlices) {
        momentaryMax_ = std::max(momentaryMax_, momentary_);
    }
    if (live_.Count() >= kShortTermSlices) {
        shortTermMax_ = std::max(shortTermMax_, shortTerm_);
    }
    history_.Add(shortTerm_);
    ++readings_;
    if (observer_) {
        observer_();
    }
}

void LoudnessMeter::Restart(Stretch& stretch) const {
    stretch.slices.Clear();
    stretch.sliceFrames = 0;
    stretch.sliceEnergy = 0.0;
    stretch.gatingBlocks.Clear();
    stretch.shortTermBlocks.Clear();
    stretch.truePeak = 0.0;
    stretch.heldBack = truePeak_.Delay();
}

void LoudnessMeter::RestartTest() {
    Restart(test_);
    momentaryMax_ = kMinusInfinity;
    shortTermMax_ = kMinusInfinity;
    history_.Clear();
}

void LoudnessMeter::KeepPeriodFigures(bool keep) {
    if (!keep) {
        period_.reset();
    } else if (period_ == nullptr) {
        period_ = std::make_unique<Stretch>();
        Restart(*period_);
    }
}

void LoudnessMeter::RestartPeriod() {
    if (period_ != nullptr) {
        Restart(*period_);
    }
}

LoudnessFigures LoudnessMeter::FiguresOf(const Stretch& stretch) const {
    LoudnessFigures figures;
    const double gated = stretch.gatingBlocks.GatedMeanEnergy(kIntegratedGateLu);
    figures.integrated = gated > 0.0 ? 10.0 * std::log10(gated) + kLoudnessOffset : kMinusInfinity;
    figures.range = stretch.shortTermBlocks.PercentileRange(kRangeGateLu, kRangeLow, kRangeHigh);
    figures.truePeakMax = ToDb(stretch.truePeak);
    return figures;
}

LoudnessFigures LoudnessMeter::Test() const {
    return FiguresOf(test_);
}

LoudnessFigures LoudnessMeter::Period() const {
    if (period_ == nullptr) {
        return LoudnessFigures{kMinusInfinity, 0.0, kMinusInfinity};
    }
    return FiguresOf(*period_);
}

}  // namespace tarnwick
