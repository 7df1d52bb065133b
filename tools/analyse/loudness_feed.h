#pragma once
// The recording's own samples on their way to the loudness meter. The reader
// gives them as it reads, which at another rate than the meter's runs ahead of
// the measurement; they are held here until the meter's engine has reached
// their time, so that a test or a results period starts on the same frame for
// its loudness as for its levels, at every rate.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

class LoudnessMeter;

class LoudnessFeed {
public:
    // `channels` and `rate`: the recording's.
    LoudnessFeed(LoudnessMeter& meter, unsigned channels, int rate);

    // Samples as the reader gives them (interleaved, 1.0 being full scale).
    void Hold(const float* samples, size_t frames);
    // The meter's engine has measured `meterFrames` frames at 44100 Hz: the
    // loudness meter takes the frames of the recording up to that time.
    void FeedUntil(uint64_t meterFrames);
    // The recording has ended: the loudness meter takes every frame held,
    // those the engine never measured as a whole block included, and the
    // programme ends.
    void FeedAll();

private:
    void Feed(size_t frames);

    LoudnessMeter& meter_;
    unsigned channels_;
    uint64_t rate_;
    std::vector<float> held_;
    size_t taken_ = 0;  // samples of held_ already fed
    uint64_t fed_ = 0;  // frames fed so far
};

}  // namespace tarnwick
