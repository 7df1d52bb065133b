#pragma once
// PeakOversampler: a weighted signal raised to four times its rate (twice at
// 96 kHz and above, none at 192 kHz: the peak is then looked for at 176.4 kHz
// or more) by libsoxr's high-quality resampler, so that a peak between two
// samples is seen. The sample peak of one cycle of 8 kHz at 44.1 kHz reads up
// to 0.7 dB low; oversampled, it reads within 0.1 dB.
//
// Output frame j stands at input time j / Factor(): the resampler keeps the
// signal in time, but holds the last few milliseconds back until later input
// arrives.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct soxr;

namespace tarnwick {

class PeakOversampler {
public:
    // channels 1 or 2.
    PeakOversampler(unsigned long sampleRate, unsigned channels);
    ~PeakOversampler();
    PeakOversampler(const PeakOversampler&) = delete;
    PeakOversampler& operator=(const PeakOversampler&) = delete;

    // Why the resampler could not be made or failed; empty while it works.
    const std::string& Error() const { return error_; }
    unsigned Factor() const { return factor_; }

    // Interleaved frames in; the oversampled frames that came out, valid
    // until the next call. Their first frame is frame Emitted() - size.
    std::span<const float> Add(const float* frames, size_t count);
    // Oversampled frames given out so far.
    uint64_t Emitted() const { return emitted_; }
    // A new stream starts with the next frame, input frame `frame` (an input
    // opened again): the resampler forgets the signal before it, whose last
    // few milliseconds it still held are not given out, and the output
    // stands in time with the new stream from Emitted() = frame x Factor().
    void StartStream(uint64_t frame);

private:
    soxr* resampler_ = nullptr;
    unsigned channels_;
    unsigned factor_;
    uint64_t emitted_ = 0;
    std::string error_;
    std::vector<float> out_;
};

}  // namespace tarnwick
