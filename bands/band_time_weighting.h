#pragma once
// BandTimeWeighting: the F and S time weightings of every band, the maximum
// of F, and the statistical levels of the bands, as the sound level meter
// keeps them for the broadband level (IEC 61672-1 time constants 125 ms and
// 1 s; LN from the Leq of each 100 ms, ISO 1996-1).
//
// The bank hands over the mean square of each band over short slices of at
// most kSliceFrames frames, ending on every tenth of a second. The averages
// take each slice exactly as a steady input of that mean square: over a
// slice of n frames an average moves by 1 - exp(-n / (tau x rate)) of the
// way. Against the sample-by-sample average this errs only within a slice;
// at 44.1 kHz a maximum reached just after a slice began reads at most
// 0.013 dB low.
//
// Mean squares are relative to a full-scale sine's; levels are read with a
// sensitivity and a per-band weighting, as BandMeter gives them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/level_histogram.h"

namespace tarnwick {

class BandTimeWeighting {
public:
    static constexpr size_t kSliceFrames = 16;

    BandTimeWeighting(size_t bands, double sampleRate);

    // The frames the next slice may take at most.
    size_t FramesToSliceEnd() const;
    // A slice of `frames` frames (at most FramesToSliceEnd()), with each
    // band's mean square over it.
    void AddSlice(const double* meanSquares, size_t frames);
    // Maxima and statistics start again; the averages go on.
    void Restart();

    size_t Bands() const { return fast_.size(); }
    // Mean squares now, F and S, and the highest F since the start.
    double Fast(size_t band) const { return fast_[band]; }
    double Slow(size_t band) const { return slow_[band]; }
    double FastMax(size_t band) const { return fastMax_[band]; }
    // The level of `band` exceeded `percent` % of the tenths of a second
    // since the start, in dB re a full-scale sine (add sensitivity and
    // weighting); minus infinity when none has ended.
    double LevelExceeded(size_t band, double percent) const {
        return tenths_[band].LevelExceeded(percent);
    }

private:
    double Decay(double timeConstantS, size_t frames) const;

    double rate_;
    double fastStep_;  // the decays over a whole slice
    double slowStep_;
    std::vector<double> fast_;
    std::vector<double> slow_;
    std::vector<double> fastMax_;
    std::vector<double> tenthSum_;  // of mean square x frames, in the tenth
    std::vector<LevelHistogram> tenths_;
    uint64_t frames_ = 0;  // since the start of the second
    int tenth_ = 0;        // of the second, 0..9
    uint64_t tenthFrames_ = 0;
};

}  // namespace tarnwick
