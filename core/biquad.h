#pragma once
// One second-order section in transposed direct form II, in double precision:
// the weighting filters' poles lie close to z = 1 at high sample rates, where
// single precision would move them.

namespace tarnwick {

struct Biquad {
    // H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)
    double b0 = 1.0, b1 = 0.0, b2 = 0.0;
    double a1 = 0.0, a2 = 0.0;

    double Process(double x) {
        const double y = b0 * x + s1_;
        s1_ = b1 * x - a1 * y + s2_;
        s2_ = b2 * x - a2 * y;
        return y;
    }

    // Forgets the signal so far: the next sample meets a filter at rest.
    void Reset() { s1_ = s2_ = 0.0; }

    // Sets a state that has died away below `floor` to zero. Called between
    // blocks, it keeps a decaying state out of the slow denormal range.
    void FlushBelow(double floor) {
        if (s1_ < floor && s1_ > -floor) {
            s1_ = 0.0;
        }
        if (s2_ < floor && s2_ > -floor) {
            s2_ = 0.0;
        }
    }

private:
    double s1_ = 0.0;
    double s2_ = 0.0;
};

}  // namespace tarnwick
