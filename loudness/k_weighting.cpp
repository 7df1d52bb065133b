#include "loudness/k_weighting.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace tarnwick {
namespace {

// The analogue prototypes of the two stages, fitted to the 48 kHz
// coefficients of ITU-R BS.1770 (centre frequency in Hz, gain in dB, Q).
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfBandwidthExponent = 0.4996667741545416;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

// A filter state this small has died away; left alone it would decay through
// the denormal numbers, which cost a hundred times as much to compute with.
constexpr double kDeadState = 1e-150;

// Two lanes: the left and right channels filtered side by side.
typedef double Pair __attribute__((vector_size(16)));

}  // namespace

KWeighting::KWeighting(double sampleRate, unsigned channels) : channels_(channels == 1 ? 1 : 2) {
    double k = std::tan(std::numbers::pi * kShelfHz / sampleRate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, kShelfBandwidthExponent);
    double a0 = 1.0 + k / kShelfQ + k * k;
    shelf_ = {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0,
              (vh - vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
              (1.0 - k / kShelfQ + k * k) / a0};
    // The standard gives the high-pass numerator as 1, -2, 1, unscaled.
    k = std::tan(std::numbers::pi * kHighPassHz / sampleRate);
    a0 = 1.0 + k / kHighPassQ + k * k;
    highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
}

double KWeighting::SumOfSquares(const float* samples, size_t frames) {
    const double sum = channels_ == 1 ? Mono(samples, frames) : Stereo(samples, frames);
    FlushDenormals();
    return sum;
}

double KWeighting::Mono(const float* samples, size_t frames) {
    const Biquad& f = shelf_;
    const Biquad& g = highPass_;
    double s1 = shelfState_.s1[0], s2 = shelfState_.s2[0];
    double t1 = highPassState_.s1[0], t2 = highPassState_.s2[0];
    double sum = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double x = samples[i];
        const double y = f.b0 * x + s1;
        s1 = f.b1 * x - f.a1 * y + s2;
        s2 = f.b2 * x - f.a2 * y;
        const double z = g.b0 * y + t1;
        t1 = g.b1 * y - g.a1 * z + t2;
        t2 = g.b2 * y - g.a2 * z;
        sum += z * z;
    }
    shelfState_.s1[0] = s1;
    shelfState_.s2[0] = s2;
    highPassState_.s1[0] = t1;
    highPassState_.s2[0] = t2;
    return sum;
}

double KWeighting::Stereo(const float* samples, size_t frames) {
    const auto both = [](double v) { return Pair{v, v}; };
    const Pair fb0 = both(shelf_.b0), fb1 = both(shelf_.b1), fb2 = both(shelf_.b2);
    const Pair fa1 = both(shelf_.a1), fa2 = both(shelf_.a2);
    const Pair gb0 = both(highPass_.b0), gb1 = both(highPass_.b1), gb2 = both(highPass_.b2);
    const Pair ga1 = both(highPass_.a1), ga2 = both(highPass_.a2);
    Pair s1 = {shelfState_.s1[0], shelfState_.s1[1]};
    Pair s2 = {shelfState_.s2[0], shelfState_.s2[1]};
    Pair t1 = {highPassState_.s1[0], highPassState_.s1[1]};
    Pair t2 = {highPassState_.s2[0], highPassState_.s2[1]};
    Pair sum = {0.0, 0.0};
    for (size_t i = 0; i < frames; ++i) {
        const Pair x = {samples[2 * i], samples[2 * i + 1]};
        const Pair y = fb0 * x + s1;
        s1 = fb1 * x - fa1 * y + s2;
        s2 = fb2 * x - fa2 * y;
        const Pair z = gb0 * y + t1;
        t1 = gb1 * y - ga1 * z + t2;
        t2 = gb2 * y - ga2 * z;
        sum += z * z;
    }
    for (int c = 0; c < 2; ++c) {
        shelfState_.s1[c] = s1[c];
        shelfState_.s2[c] = s2[c];
        highPassState_.s1[c] = t1[c];
        highPassState_.s2[c] = t2[c];
    }
    return sum[0] + sum[1];
}

void KWeighting::FlushDenormals() {
    for (State* state : {&shelfState_, &highPassState_}) {
        for (double* v : {&state->s1[0], &state->s1[1], &state->s2[0], &state->s2[1]}) {
            if (std::fabs(*v) < kDeadState) {
                *v = 0.0;
            }
        }
    }
}

}  // namespace tarnwick
