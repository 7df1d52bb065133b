#include "spl/peak_oversampler.h"

#include <soxr.h>

#include <cmath>

namespace tarnwick {
namespace {

// The oversampled rate reaches 176.4 kHz or more.
unsigned OversamplingFor(unsigned long sampleRate) {
    return sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
}

// Room for the resampler's output beyond `count` x factor frames: what it
// held back from earlier calls comes out with these.
constexpr size_t kSpareFrames = 64;

}  // namespace

PeakOversampler::PeakOversampler(unsigned long sampleRate, unsigned channels)
    : channels_(channels), factor_(OversamplingFor(sampleRate)) {
    if (factor_ == 1) {
        return;
    }
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // on the caller's thread
    soxr_error_t error = nullptr;
    resampler_ =
        soxr_create(static_cast<double>(sampleRate), static_cast<double>(sampleRate) * factor_,
                    channels, &error, &io, &quality, &runtime);
    if (error != nullptr) {
        error_ = std::string("cannot oversample for the C-weighted peak: ") + error;
        resampler_ = nullptr;
    }
}

PeakOversampler::~PeakOversampler() {
    if (resampler_ != nullptr) {
        soxr_delete(resampler_);
    }
}

void PeakOversampler::StartStream(uint64_t frame) {
    if (resampler_ != nullptr && soxr_clear(resampler_) != nullptr) {
        error_ = "oversampling for the C-weighted peak failed: the resampler could not restart";
        soxr_delete(resampler_);
        resampler_ = nullptr;
    }
    emitted_ = frame * factor_;
}

std::span<const float> PeakOversampler::Add(const float* frames, size_t count) {
    if (resampler_ == nullptr) {
        if (!error_.empty()) {
            return {};
        }
        emitted_ += count;
        return std::span<const float>(frames, count * channels_);
    }
    const size_t room =
        count * factor_ + static_cast<size_t>(std::ceil(soxr_delay(resampler_))) + kSpareFrames;
    // The buffer only grows: zeroing it afresh for every block would cost
    // more than the resampling.
    if (out_.size() < room * channels_) {
        out_.resize(room * channels_);
    }
    size_t taken = 0;
    size_t made = 0;
    while (taken < count && made < room) {
        size_t used = 0;
        size_t out = 0;
        const soxr_error_t error =
            soxr_process(resampler_, frames + taken * channels_, count - taken, &used,
                         out_.data() + made * channels_, room - made, &out);
        if (error != nullptr) {
            error_ = std::string("oversampling for the C-weighted peak failed: ") + error;
            break;
        }
        if (used == 0 && out == 0) {
            break;
        }
        taken += used;
        made += out;
    }
    emitted_ += made;
    return std::span<const float>(out_.data(), made * channels_);
}

}  // namespace tarnwick
