#include "spl/frequency_weighting.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tarnwick {
namespace {

constexpr double kReferenceHz = 1000.0;

double AngularOf(double hz) {
    return 2.0 * std::numbers::pi * hz;
}

// The bilinear transform of s / (s + w): coefficients {b0, b1}, {a0, a1}.
struct FirstOrder {
    double b0, b1, a0, a1;
};

FirstOrder BilinearHighPass(double poleHz, double sampleRate) {
    const double k = 2.0 * sampleRate;
    const double w = AngularOf(poleHz);
    return {k, -k, k + w, w - k};
}

// The product of two first-order sections, normalised to a0 = 1.
Biquad Cascade(const FirstOrder& p, const FirstOrder& q) {
    const double a0 = p.a0 * q.a0;
    Biquad s;
    s.b0 = p.b0 * q.b0 / a0;
    s.b1 = (p.b0 * q.b1 + p.b1 * q.b0) / a0;
    s.b2 = p.b1 * q.b1 / a0;
    s.a1 = (p.a0 * q.a1 + p.a1 * q.a0) / a0;
    s.a2 = p.a1 * q.a1 / a0;
    return s;
}

// w^2 / (s + w)^2, a low pass with Q = 1/2: poles by impulse invariance, and
// the two numerator coefficients that match the analogue magnitude at 0 Hz,
// at the pole frequency and at the Nyquist frequency (Vicanek 2016, the
// low-pass case with the double real pole).
Biquad MatchedDoublePoleLowPass(double poleHz, double sampleRate) {
    constexpr double kQ = 0.5;
    const double w0 = AngularOf(poleHz) / sampleRate;
    const double r = std::exp(-w0);
    Biquad s;
    s.a1 = -2.0 * r;
    s.a2 = r * r;
    const double a0Sq = std::pow(1.0 + s.a1 + s.a2, 2);
    const double a1Sq = std::pow(1.0 - s.a1 + s.a2, 2);
    const double a2Sq = -4.0 * s.a2;
    const double phi1 = std::pow(std::sin(w0 / 2.0), 2);
    const double phi0 = 1.0 - phi1;
    const double phi2 = 4.0 * phi0 * phi1;
    const double r1 = (a0Sq * phi0 + a1Sq * phi1 + a2Sq * phi2) * kQ * kQ;
    const double bb0 = a0Sq;
    const double bb1 = std::max((r1 - bb0 * phi0) / phi1, 0.0);
    s.b0 = 0.5 * (std::sqrt(bb0) + std::sqrt(bb1));
    s.b1 = std::sqrt(bb0) - s.b0;
    s.b2 = 0.0;
    return s;
}

std::complex<double> ResponseOf(const Biquad& s, double frequencyHz, double sampleRate) {
    const std::complex<double> z1 = std::polar(1.0, -AngularOf(frequencyHz) / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    return (s.b0 + s.b1 * z1 + s.b2 * z2) / (1.0 + s.a1 * z1 + s.a2 * z2);
}

}  // namespace

WeightingFilters::WeightingFilters(double sampleRate) : sampleRate_(sampleRate) {
    const FirstOrder pole1 = BilinearHighPass(kWeightingPole1Hz, sampleRate);
    lowCut_ = Cascade(pole1, pole1);
    highCut_ = MatchedDoublePoleLowPass(kWeightingPole4Hz, sampleRate);
    aOnly_ = Cascade(BilinearHighPass(kWeightingPole2Hz, sampleRate),
                     BilinearHighPass(kWeightingPole3Hz, sampleRate));
    const std::complex<double> c = ResponseOf(lowCut_, kReferenceHz, sampleRate) *
                                   ResponseOf(highCut_, kReferenceHz, sampleRate);
    cGain_ = 1.0 / std::abs(c);
    aGain_ = 1.0 / std::abs(c * ResponseOf(aOnly_, kReferenceHz, sampleRate));
}

double WeightingFilters::ResponseDb(FrequencyWeighting weighting, double frequencyHz) const {
    if (weighting == FrequencyWeighting::kZ) {
        return 0.0;
    }
    std::complex<double> h = cGain_ * ResponseOf(lowCut_, frequencyHz, sampleRate_) *
                             ResponseOf(highCut_, frequencyHz, sampleRate_);
    if (weighting == FrequencyWeighting::kA) {
        h *= aGain_ / cGain_ * ResponseOf(aOnly_, frequencyHz, sampleRate_);
    }
    return 20.0 * std::log10(std::abs(h));
}

}  // namespace tarnwick
