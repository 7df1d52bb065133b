#include "tools/analyse/rate_converter.h"

#include <soxr.h>

#include <cmath>

#include "core/capture_format.h"

namespace tarnwick {
namespace {

constexpr unsigned kChannels = 2;

}  // namespace

RateConverter::RateConverter(double inputRate) : ratio_(kSampleRate / inputRate) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // No dither: the same recording gives the same figures at every run.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_io_spec_t undithered = io;
    undithered.flags |= SOXR_NO_DITHER;
    // One thread: libsoxr's own threads spin while they wait, and the reader
    // already converts beside the measurement.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    resampler_ =
        soxr_create(inputRate, kSampleRate, kChannels, &error, &undithered, &quality, &runtime);
    if (error != nullptr) {
        resampler_ = nullptr;
    }
}

RateConverter::~RateConverter() {
    if (resampler_ != nullptr) {
        soxr_delete(resampler_);
    }
}

void RateConverter::Convert(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    if (resampler_ == nullptr) {
        return;
    }
    const size_t room = static_cast<size_t>(std::ceil(count * ratio_)) + 1024;
    size_t taken = 0;
    for (;;) {
        const size_t start = out.size();
        out.resize(start + room * kChannels);
        size_t used = 0;
        size_t made = 0;
        const soxr_error_t error =
            soxr_process(resampler_, frames == nullptr ? nullptr : frames + taken * kChannels,
                         count - taken, &used, out.data() + start, room, &made);
        out.resize(start + (error == nullptr ? made * kChannels : 0));
        taken += used;
        // Done when the input is taken and the output did not fill its room
        // (draining goes on while it does).
        if (error != nullptr || (taken >= count && made < room)) {
            return;
        }
    }
}

}  // namespace tarnwick
