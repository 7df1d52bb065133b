#include "loudness/true_peak.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace tarnwick {
namespace {

// The interpolating filter: a sinc windowed by a Hann window, 49 taps long at
// the oversampled rate, centred on tap 24.
constexpr int kFilterTaps = 49;
constexpr int kCentreTap = (kFilterTaps - 1) / 2;

// The oversampled rate is kept at 176.4 kHz or above.
unsigned OversamplingFor(unsigned long sampleRate) {
    return sampleRate < 88200 ? 4 : sampleRate < 176400 ? 2 : 1;
}

double FilterTap(int j, unsigned factor) {
    const double m = static_cast<double>(j - kCentreTap) * std::numbers::pi / factor;
    const double sinc = j == kCentreTap ? 1.0 : std::sin(m) / m;
    const double hann = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * j / (kFilterTaps - 1)));
    return sinc * hann;
}

// Four values at once.
typedef float Quad __attribute__((vector_size(16)));
typedef int QuadBits __attribute__((vector_size(16)));

inline Quad Load(const float* p) {
    Quad q;
    std::memcpy(&q, p, sizeof q);
    return q;
}

inline Quad Magnitude(Quad q) {
    return reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(q) & 0x7FFFFFFF);
}

inline Quad Larger(Quad a, Quad b) {
    return a > b ? a : b;
}

// The largest magnitude among the samples delayed by `delay` frames and the
// `PhaseCount` interpolated values between them, at each of `frames` frames; `x`
// has the frames before it that the taps reach.
template <size_t PhaseCount, size_t TapCount>
float PeakOf(const float* x, size_t frames, size_t delay, const TruePeak::Phases& coefficients) {
    Quad taps[PhaseCount][TapCount];
    for (size_t p = 0; p < PhaseCount; ++p) {
        for (size_t i = 0; i < TapCount; ++i) {
            const float c = coefficients[p][i];
            taps[p][i] = Quad{c, c, c, c};
        }
    }
    Quad largest = {0.0f, 0.0f, 0.0f, 0.0f};
    size_t n = 0;
    for (; n + 4 <= frames; n += 4) {
        largest = Larger(largest, Magnitude(Load(x + n - delay)));
        Quad sums[PhaseCount] = {};
        for (size_t i = 0; i < TapCount; ++i) {
            const Quad samples = Load(x + n - i);
            for (size_t p = 0; p < PhaseCount; ++p) {
                sums[p] += taps[p][i] * samples;
            }
        }
        for (size_t p = 0; p < PhaseCount; ++p) {
            largest = Larger(largest, Magnitude(sums[p]));
        }
    }
    float peak = std::max(std::max(largest[0], largest[1]), std::max(largest[2], largest[3]));
    for (; n < frames; ++n) {
        peak = std::max(peak, std::fabs(*(x + n - delay)));
        for (size_t p = 0; p < PhaseCount; ++p) {
            float sum = 0.0f;
            for (size_t i = 0; i < TapCount; ++i) {
                sum += coefficients[p][i] * *(x + n - i);
            }
            peak = std::max(peak, std::fabs(sum));
        }
    }
    return peak;
}

}  // namespace

TruePeak::TruePeak(unsigned long sampleRate, unsigned channels)
    : channels_(channels == 1 ? 1 : 2),
      factor_(OversamplingFor(sampleRate)),
      taps_(factor_ == 1 ? 1 : (kFilterTaps - 1) / factor_),
      history_(taps_ - 1),
      delay_(factor_ == 1 ? 0 : kCentreTap / factor_),
      settle_(history_) {
    // Phase p at input frame n is the value at n - delay_ + p / factor_: the
    // sum of taps p, p + factor_, ... times the samples n, n - 1, ...
    for (unsigned p = 1; p < factor_; ++p) {
        for (size_t i = 0; i < taps_; ++i) {
            phases_[p - 1][i] =
                static_cast<float>(FilterTap(static_cast<int>(factor_ * i + p), factor_));
        }
    }
    for (unsigned c = 0; c < channels_; ++c) {
        lines_[c].assign(history_ + kChunkFrames, 0.0f);
    }
}

float TruePeak::Interpolate(const float* x, size_t frames) const {
    if (factor_ == 4) {
        return PeakOf<3, (kFilterTaps - 1) / 4>(x, frames, delay_, phases_);
    }
    if (factor_ == 2) {
        return PeakOf<1, (kFilterTaps - 1) / 2>(x, frames, delay_, phases_);
    }
    float peak = 0.0f;
    for (size_t n = 0; n < frames; ++n) {
        peak = std::max(peak, std::fabs(x[n]));
    }
    return peak;
}

float TruePeak::Add(const float* samples, size_t frames) {
    float peak = 0.0f;
    while (frames > 0) {
        const size_t chunk = std::min(frames, kChunkFrames);
        const size_t settling = std::min(settle_, chunk);
        for (unsigned c = 0; c < channels_; ++c) {
            float* line = lines_[c].data();
            for (size_t i = 0; i < chunk; ++i) {
                line[history_ + i] = samples[i * channels_ + c];
            }
            // Phase 0 of frame n is the sample delay_ frames before it.
            for (size_t i = 0; i < settling; ++i) {
                peak = std::max(peak, std::fabs(line[history_ + i - delay_]));
            }
            peak = std::max(peak, Interpolate(line + history_ + settling, chunk - settling));
            std::memmove(line, line + chunk, history_ * sizeof(float));
        }
        settle_ -= settling;
        samples += chunk * channels_;
        frames -= chunk;
    }
    return peak;
}

}  // namespace tarnwick
