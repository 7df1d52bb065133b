#include "loudness/true_peak.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

constexpr unsigned kChannels = 2;

unsigned OversamplingFor(unsigned long sampleRate) {
    return sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
}

}  // namespace

TruePeak::TruePeak(unsigned long sampleRate) : factor_(OversamplingFor(sampleRate)) {
    if (factor_ == 1) {
        return;  // the samples are the peak
    }
    // 16-bit samples in, floating point out: a true peak above full scale
    // must not clip.
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // on the caller's thread
    soxr_error_t error = nullptr;
    resampler_ =
        soxr_create(static_cast<double>(sampleRate), static_cast<double>(sampleRate) * factor_,
                    kChannels, &error, &io, &quality, &runtime);
    if (error != nullptr) {
        resampler_ = nullptr;
    }
}

TruePeak::~TruePeak() {
    if (resampler_ != nullptr) {
        soxr_delete(resampler_);
    }
}

std::span<const float> TruePeak::Add(const int16_t* frames, size_t count) {
    if (resampler_ == nullptr) {
        out_.resize(count * kChannels);
        for (size_t i = 0; i < out_.size(); ++i) {
            out_[i] = static_cast<float>(frames[i]) / 32768.0f;
        }
        return out_;
    }
    // Room for all the frames at once, and for what the resampler held back.
    const size_t room = count * factor_ + HeldBack() + 64;
    out_.resize(room * kChannels);
    size_t taken = 0;
    size_t made = 0;
    while (taken < count && made < room) {
        size_t used = 0;
        size_t out = 0;
        if (soxr_process(resampler_, frames + taken * kChannels, count - taken, &used,
                         out_.data() + made * kChannels, room - made, &out) != nullptr ||
            (used == 0 && out == 0)) {
            break;
        }
        taken += used;
        made += out;
    }
    return std::span<const float>(out_.data(), made * kChannels);
}

size_t TruePeak::HeldBack() const {
    return resampler_ == nullptr ? 0 : static_cast<size_t>(std::ceil(soxr_delay(resampler_)));
}

}  // namespace tarnwick
