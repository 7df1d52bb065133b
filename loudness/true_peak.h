#pragma once
// The true peak of a stereo programme: the samples oversampled to four times
// their rate (twice at 96 kHz and above, as they are at 192 kHz) by libsoxr's
// high-quality resampler, and the largest magnitude taken, as ITU-R BS.1770
// measures it. libebur128's own oversampling costs four times as much here and
// would take more than the live meter may spend.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct soxr;

namespace tarnwick {

class TruePeak {
public:
    explicit TruePeak(unsigned long sampleRate);
    ~TruePeak();
    TruePeak(const TruePeak&) = delete;
    TruePeak& operator=(const TruePeak&) = delete;

    // Interleaved 16-bit stereo frames. Returns the oversampled frames that
    // came out (interleaved, 1.0 being full scale), valid until the next call.
    // The resampler holds back a few milliseconds; they come out with the
    // next frames.
    std::span<const float> Add(const int16_t* frames, size_t count);
    // Oversampled frames held back now.
    size_t HeldBack() const;

private:
    soxr* resampler_ = nullptr;
    unsigned factor_;
    std::vector<float> out_;
};

}  // namespace tarnwick
