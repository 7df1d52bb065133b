#include "core/fft.h"

#include <numbers>
#include <utility>

namespace tarnwick {

Fft::Fft(size_t size) : size_(size), twiddles_(size / 2), reversed_(size) {
    for (size_t k = 0; k < size / 2; ++k) {
        twiddles_[k] = std::polar(
            1.0, -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(size));
    }
    size_t bits = 0;
    while ((size_t{1} << bits) < size) {
        ++bits;
    }
    for (size_t i = 0; i < size; ++i) {
        size_t r = 0;
        for (size_t b = 0; b < bits; ++b) {
            r |= ((i >> b) & 1) << (bits - 1 - b);
        }
        reversed_[i] = r;
    }
}

void Fft::Transform(std::complex<double>* data, bool inverse) const {
    for (size_t i = 0; i < size_; ++i) {
        if (i < reversed_[i]) {
            std::swap(data[i], data[reversed_[i]]);
        }
    }
    for (size_t half = 1; half < size_; half *= 2) {
        const size_t step = size_ / (2 * half);
        for (size_t start = 0; start < size_; start += 2 * half) {
            for (size_t k = 0; k < half; ++k) {
                const std::complex<double> w =
                    inverse ? std::conj(twiddles_[k * step]) : twiddles_[k * step];
                // Written out: the library's product checks for infinities.
                const std::complex<double> o = data[start + k + half];
                const std::complex<double> odd(w.real() * o.real() - w.imag() * o.imag(),
                                               w.real() * o.imag() + w.imag() * o.real());
                data[start + k + half] = data[start + k] - odd;
                data[start + k] += odd;
            }
        }
    }
}

void Fft::Inverse(std::complex<double>* data) const {
    Transform(data, true);
    const double scale = 1.0 / static_cast<double>(size_);
    for (size_t i = 0; i < size_; ++i) {
        data[i] *= scale;
    }
}

}  // namespace tarnwick
