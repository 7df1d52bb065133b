#include "spl/test_signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace tarnwick {
namespace {

double Phase(double hz, size_t i, unsigned long rate) {
    return 2.0 * std::numbers::pi * hz * static_cast<double>(i) / static_cast<double>(rate);
}

}  // namespace

std::vector<float> SteadySine(double hz, double amplitude, size_t frames, unsigned long rate) {
    std::vector<float> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        x[i] = static_cast<float>(amplitude * std::sin(Phase(hz, i, rate)));
    }
    return x;
}

std::vector<float> SineBurst(double hz, double amplitude, double durationS, size_t before,
                             size_t after, unsigned long rate, int sign) {
    const auto length = static_cast<size_t>(std::ceil(durationS * static_cast<double>(rate)));
    std::vector<float> x(before + length + after, 0.0f);
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<double>(i) < durationS * static_cast<double>(rate)) {
            x[before + i] = static_cast<float>(sign * amplitude * std::sin(Phase(hz, i, rate)));
        }
    }
    return x;
}

std::vector<int16_t> DitheredSine16(double hz, double amplitude, size_t frames, unsigned long rate,
                                    uint32_t seed) {
    constexpr double kScale = 32768.0;
    std::minstd_rand random(seed);
    std::uniform_real_distribution<double> half(-0.5, 0.5);
    std::vector<int16_t> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double dither = half(random) + half(random);
        const double v = std::round(amplitude * kScale * std::sin(Phase(hz, i, rate)) + dither);
        x[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return x;
}

}  // namespace tarnwick
