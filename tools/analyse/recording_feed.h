#pragma once
// The recording's own samples on their way to the meters that measure them
// at full precision (loudness, sound level). The reader gives them as it
// reads, which at another rate than the meter's runs ahead of the
// measurement; they are held here until the meter's engine has reached their
// time, so that a test or a results period starts on the same frame for
// these meters as for the levels, at every rate.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tarnwick {

class RecordingFeed {
public:
    // Takes `frames` interleaved frames of the recording's channels, 1.0
    // being full scale, in order.
    using Taker = std::function<void(const float* samples, size_t frames)>;

    // `channels` and `rate`: the recording's.
    RecordingFeed(unsigned channels, int rate);

    // Every taker receives every frame fed after it was added, in the order
    // the takers were added.
    void AddTaker(Taker taker) { takers_.push_back(std::move(taker)); }

    // Samples as the reader gives them.
    void Hold(const float* samples, size_t frames);
    // The meter's engine has measured `meterFrames` frames at 44100 Hz: the
    // takers receive the frames of the recording up to that time.
    void FeedUntil(uint64_t meterFrames);
    // The recording has ended: the takers receive every frame held, those the
    // engine never measured as a whole block included. The caller then ends
    // each meter's programme.
    void FeedAll();

private:
    void Feed(size_t frames);

    unsigned channels_;
    uint64_t rate_;
    std::vector<Taker> takers_;
    std::vector<float> held_;
    size_t taken_ = 0;  // samples of held_ already fed
    uint64_t fed_ = 0;  // frames fed so far
};

}  // namespace tarnwick
