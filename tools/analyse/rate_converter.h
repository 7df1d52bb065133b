#pragma once
// Brings 16-bit stereo frames at a recording's own rate to the meter's 44100
// frames per second, with libsoxr at its very-high quality.

#include <cstddef>
#include <cstdint>
#include <vector>

struct soxr;

namespace tarnwick {

class RateConverter {
public:
    explicit RateConverter(double inputRate);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    bool ok() const { return resampler_ != nullptr; }
    // Converts `count` frames; the frames that come out are appended to `out`.
    // Null input with a count of 0 drains what the converter holds back.
    void Convert(const int16_t* frames, size_t count, std::vector<int16_t>& out);

private:
    soxr* resampler_ = nullptr;
    double ratio_;
};

}  // namespace tarnwick
