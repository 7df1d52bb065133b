#pragma once
// The K-weighting of ITU-R BS.1770: a high shelf of about +4 dB above 1.5 kHz
// (the effect of the head) followed by the revised low-frequency B-curve, a
// high-pass at about 38 Hz. Both are biquads designed for the programme's rate
// from the analogue filters behind the standard's 48 kHz coefficients, so that
// every rate weights alike; at 48 kHz they are the standard's coefficients.
//
// One filter serves every figure of a programme: momentary and short-term
// loudness, and the integrated loudness and range of a test and of a results
// period. A test that starts again does not start the filter again.

#include <cstddef>

namespace tarnwick {

class KWeighting {
public:
    // `channels`: 1 or 2.
    KWeighting(double sampleRate, unsigned channels);

    // Filters `frames` frames of interleaved samples (1.0 being full scale,
    // larger values taken as they are) and returns the sum, over the frames and
    // the channels, of the squared weighted samples.
    double SumOfSquares(const float* samples, size_t frames);
    // The filters at rest, as before the first sample.
    void Reset() {
        shelfState_ = State{};
        highPassState_ = State{};
    }

private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };
    // The state of one biquad in transposed direct form II, per channel.
    struct State {
        double s1[2] = {0.0, 0.0};
        double s2[2] = {0.0, 0.0};
    };

    double Mono(const float* samples, size_t frames);
    double Stereo(const float* samples, size_t frames);
    void FlushDenormals();

    unsigned channels_;
    Biquad shelf_;
    Biquad highPass_;
    State shelfState_;
    State highPassState_;
};

}  // namespace tarnwick
