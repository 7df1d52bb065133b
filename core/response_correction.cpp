#include "core/response_correction.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarnwick {
namespace {

// The filter spans at least this, so that it follows the curve down to
// 20 Hz.
constexpr double kShortestFilterS = 0.08;
// The design samples the curve this many times finer than the taps.
constexpr size_t kDesignGrid = 4;
// The last quarter of the taps fades out, so that the cut makes no ripple.
constexpr size_t kFadeShare = 4;

// a x b, written out: the library's product checks for infinities.
std::complex<double> Times(std::complex<double> a, std::complex<double> b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

size_t TapsFor(double rate) {
    size_t taps = 2 * ResponseCorrection::kBlockFrames;
    while (static_cast<double>(taps) < kShortestFilterS * rate) {
        taps *= 2;
    }
    return taps;
}

// The minimum-phase filter whose gain is the curve inverted: the log gain's
// real cepstrum folded onto positive times.
std::vector<double> MinimumPhaseTaps(const MicResponse& response, double rate, size_t taps) {
    const size_t n = kDesignGrid * taps;
    const Fft fft(n);
    std::vector<std::complex<double>> work(n);
    for (size_t k = 0; k <= n / 2; ++k) {
        const double hz = static_cast<double>(k) * rate / static_cast<double>(n);
        const double logGain = -response.DeviationDb(hz) / 20.0 * std::numbers::ln10;
        work[k] = logGain;
        work[(n - k) % n] = logGain;
    }
    fft.Inverse(work.data());
    for (size_t i = 1; i < n; ++i) {
        work[i] = i < n / 2 ? 2.0 * work[i].real() : i == n / 2 ? work[i].real() : 0.0;
    }
    work[0] = work[0].real();
    fft.Forward(work.data());
    for (std::complex<double>& bin : work) {
        bin = std::exp(bin);
    }
    fft.Inverse(work.data());
    std::vector<double> h(taps);
    const size_t fade = taps / kFadeShare;
    for (size_t i = 0; i < taps; ++i) {
        double w = 1.0;
        if (i >= taps - fade) {
            const double t = static_cast<double>(i - (taps - fade) + 1) / static_cast<double>(fade);
            w = 0.5 * (1.0 + std::cos(std::numbers::pi * t));
        }
        h[i] = work[i].real() * w;
    }
    return h;
}

}  // namespace

ResponseCorrection::ResponseCorrection(const MicResponse& response, double sampleRate,
                                       unsigned channels)
    : rate_(sampleRate),
      channels_(channels == 2 ? 2 : 1),
      taps_(MinimumPhaseTaps(response, sampleRate, TapsFor(sampleRate))),
      fft_(2 * kBlockFrames),
      partitions_(taps_.size() / kBlockFrames),
      inputs_(partitions_.size(), std::vector<std::complex<double>>(2 * kBlockFrames)),
      window_(2 * kBlockFrames),
      spectrum_(2 * kBlockFrames),
      output_(2 * kBlockFrames) {
    for (size_t j = 0; j < partitions_.size(); ++j) {
        std::vector<std::complex<double>>& part = partitions_[j];
        part.assign(2 * kBlockFrames, 0.0);
        for (size_t i = 0; i < kBlockFrames; ++i) {
            part[i] = taps_[j * kBlockFrames + i];
        }
        fft_.Forward(part.data());
    }
}

void ResponseCorrection::Reset() {
    for (std::vector<std::complex<double>>& spectrum : inputs_) {
        std::fill(spectrum.begin(), spectrum.end(), 0.0);
    }
    std::fill(window_.begin(), window_.end(), 0.0);
    std::fill(output_.begin(), output_.end(), 0.0);
    filled_ = 0;
}

void ResponseCorrection::Process(double* samples, size_t frames) {
    for (size_t i = 0; i < frames; ++i) {
        double* frame = samples + i * channels_;
        const std::complex<double> out = output_[kBlockFrames + filled_];
        window_[kBlockFrames + filled_] = {frame[0], channels_ == 2 ? frame[1] : 0.0};
        frame[0] = out.real();
        if (channels_ == 2) {
            frame[1] = out.imag();
        }
        if (++filled_ == kBlockFrames) {
            RunBlock();
            filled_ = 0;
        }
    }
}

void ResponseCorrection::RunBlock() {
    // Overlap-save: the transform of the last two blocks; the second half of
    // the product's inverse is the newest block filtered.
    newest_ = (newest_ + 1) % inputs_.size();
    std::vector<std::complex<double>>& input = inputs_[newest_];
    std::copy(window_.begin(), window_.end(), input.begin());
    fft_.Forward(input.data());
    std::fill(spectrum_.begin(), spectrum_.end(), 0.0);
    // One channel is a real signal: its spectrum's upper half mirrors the
    // lower, conjugated, and only the lower is multiplied.
    const size_t bins = channels_ == 2 ? spectrum_.size() : kBlockFrames + 1;
    for (size_t j = 0; j < partitions_.size(); ++j) {
        const std::vector<std::complex<double>>& x =
            inputs_[(newest_ + inputs_.size() - j) % inputs_.size()];
        const std::vector<std::complex<double>>& h = partitions_[j];
        for (size_t k = 0; k < bins; ++k) {
            spectrum_[k] += Times(h[k], x[k]);
        }
    }
    for (size_t k = bins; k < spectrum_.size(); ++k) {
        spectrum_[k] = std::conj(spectrum_[spectrum_.size() - k]);
    }
    fft_.Inverse(spectrum_.data());
    std::copy(spectrum_.begin(), spectrum_.end(), output_.begin());
    std::copy(window_.begin() + kBlockFrames, window_.end(), window_.begin());
}

double ResponseCorrection::GainDb(double hz) const {
    std::complex<double> sum = 0.0;
    for (size_t i = 0; i < taps_.size(); ++i) {
        sum += std::polar(taps_[i], -2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate_);
    }
    return 20.0 * std::log10(std::abs(sum));
}

}  // namespace tarnwick
