#include "bands/band_filter.h"

#include <cmath>
#include <numbers>

namespace tarnwick {
namespace {

using Complex = std::complex<double>;

// The response of one section at z = e^(jw).
Complex SectionResponse(const Biquad& s, double w) {
    const Complex z1 = std::polar(1.0, -w);
    const Complex z2 = z1 * z1;
    return (s.b0 + s.b1 * z1 + s.b2 * z2) / (1.0 + s.a1 * z1 + s.a2 * z2);
}

}  // namespace

BandFilter::BandFilter(double lowerHz, double upperHz, double sampleRate)
    : sampleRate_(sampleRate) {
    const double pi = std::numbers::pi;
    // Pre-warped analogue edges, in rad/s, for the bilinear transform with
    // s = 2 fs (z - 1) / (z + 1).
    const double twoFs = 2.0 * sampleRate;
    const double w1 = twoFs * std::tan(pi * lowerHz / sampleRate);
    const double w2 = twoFs * std::tan(pi * upperHz / sampleRate);
    const double bandwidth = w2 - w1;
    const double centreSquared = w1 * w2;
    // The poles of the Butterworth low-pass of order N in the upper half
    // plane; each, moved to the band, gives two poles in the upper half
    // plane's band-pass (with their conjugates below), one section each.
    constexpr int kOrder = kSections;
    int section = 0;
    for (int k = 0; k < kOrder / 2; ++k) {
        const double angle = pi * (2.0 * k + kOrder + 1) / (2.0 * kOrder);
        const Complex lowPass = std::polar(1.0, angle);  // left half plane, upper
        const Complex scaled = lowPass * bandwidth / 2.0;
        const Complex root = std::sqrt(scaled * scaled - centreSquared);
        for (const Complex analogue : {scaled + root, scaled - root}) {
            // Its upper-half-plane member: the conjugate belongs to the same
            // section.
            const Complex s = analogue.imag() >= 0.0 ? analogue : std::conj(analogue);
            const Complex z = (twoFs + s) / (twoFs - s);
            Biquad& q = sections_[static_cast<size_t>(section++)];
            q.b0 = 1.0;
            q.b1 = 0.0;
            q.b2 = -1.0;
            q.a1 = -2.0 * z.real();
            q.a2 = std::norm(z);
        }
    }
    // 0 dB at the exact mid-band frequency, the edges' geometric mean.
    const double mid = std::sqrt(lowerHz * upperHz);
    Complex response = 1.0;
    for (const Biquad& q : sections_) {
        response *= SectionResponse(q, 2.0 * pi * mid / sampleRate);
    }
    gain_ = 1.0 / std::abs(response);
}

void BandFilter::Reset() {
    for (Biquad& q : sections_) {
        q.Reset();
    }
}

void BandFilter::FlushBelow(double floor) {
    for (Biquad& q : sections_) {
        q.FlushBelow(floor);
    }
}

double BandFilter::Magnitude(double hz) const {
    Complex response = gain_;
    for (const Biquad& q : sections_) {
        response *= SectionResponse(q, 2.0 * std::numbers::pi * hz / sampleRate_);
    }
    return std::abs(response);
}

}  // namespace tarnwick
