#pragma once
// ResponseCorrection: a filter that gives the signal the inverse of a
// microphone's response (core/mic_response.h), for one channel or two.
//
// The filter is a minimum-phase FIR of 80 ms or more (4096 taps at 44.1 and
// 48 kHz), designed from the curve sampled every 2.7 Hz or finer through the
// real cepstrum, so that its energy comes first and a burst keeps its time.
// It runs as a partitioned convolution in blocks of 256 frames: the output
// is the input corrected and 256 frames late (5.8 ms at 44.1 kHz), frame for
// frame. Two channels go through one complex transform, the first as its
// real part and the second as its imaginary part.

#include <complex>
#include <cstddef>
#include <vector>

#include "core/fft.h"
#include "core/mic_response.h"

namespace tarnwick {

class ResponseCorrection {
public:
    static constexpr size_t kBlockFrames = 256;

    ResponseCorrection(const MicResponse& response, double sampleRate, unsigned channels);

    // `frames` frames of `channels` interleaved samples corrected in place,
    // kBlockFrames late.
    void Process(double* samples, size_t frames);
    // The signal starts again: what was in the filter is forgotten.
    void Reset();

    // The filter's gain at `hz`, in dB, as designed (for the checks).
    double GainDb(double hz) const;
    size_t Taps() const { return taps_.size(); }

private:
    void RunBlock();

    double rate_;
    unsigned channels_;
    std::vector<double> taps_;
    Fft fft_;                                                    // of two blocks
    std::vector<std::vector<std::complex<double>>> partitions_;  // the taps' spectra
    std::vector<std::vector<std::complex<double>>> inputs_;      // the last spectra, a ring
    size_t newest_ = 0;
    std::vector<std::complex<double>> window_;  // the last two blocks of input
    std::vector<std::complex<double>> spectrum_;
    std::vector<std::complex<double>> output_;  // the block being given out
    size_t filled_ = 0;                         // frames of the block gathered
};

}  // namespace tarnwick
