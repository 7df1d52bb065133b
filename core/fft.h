#pragma once
// Fft: the discrete Fourier transform of a power of two of complex numbers,
// radix 2, in place, in double precision. Forward: X[k] = sum x[n] e^(-2 pi i
// kn/N); Inverse: the same with +i, divided by N, so that Inverse(Forward(x))
// is x.

#include <complex>
#include <cstddef>
#include <vector>

namespace tarnwick {

class Fft {
public:
    // `size`: a power of two, at least 2.
    explicit Fft(size_t size);

    size_t Size() const { return size_; }
    void Forward(std::complex<double>* data) const { Transform(data, false); }
    void Inverse(std::complex<double>* data) const;

private:
    void Transform(std::complex<double>* data, bool inverse) const;

    size_t size_;
    std::vector<std::complex<double>> twiddles_;  // e^(-2 pi i k/N), k < N/2
    std::vector<size_t> reversed_;                // bit-reversed index
};

}  // namespace tarnwick
