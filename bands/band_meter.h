#pragma once
// BandMeter: the filter bank at work on one channel of a signal, as a sound
// level meter's bands: every band shown (bands/band_plan.h) through its own
// filter as designed in bands/band_filter.h, its mean square summed over the
// test.
//
// The bank runs four bands at a time: the sections of four filters side by
// side in vectors of four doubles, with the arithmetic of a single filter,
// operation for operation, so that a band reads as its filter alone would.
// On processors with AVX2 a vector is one instruction.
//
// Levels are taken relative to a full-scale sine (a mean square of 0.5 reads
// 0 dB), plus the sensitivity when one is given: a 1 kHz sine at -20 dBFS
// reads -20.00 in the 1 kHz band. The bands are Z-weighted. Samples that are
// no numbers are measured as silence, as the sound level meter measures them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bands/band_filter.h"
#include "bands/band_plan.h"

namespace tarnwick {

class BandMeter {
public:
    // The bands of `width` that `sampleRate` reaches.
    BandMeter(BandWidth width, double sampleRate);

    // `count` frames of `stride` interleaved samples each, 1.0 being full
    // scale, the channel measured at `samples[0]`.
    void AddSamples(const float* samples, size_t count, size_t stride);
    // The test starts again: the sums are emptied, the filters keep their
    // state (the signal goes on).
    void Restart();
    // A new stream of the input joins the last: the filters start at rest,
    // so that no band rings with the audio before the join.
    void StartStream();

    const std::vector<Band>& Bands() const { return bands_; }
    // Each band's Leq over everything measured since the start (or
    // Restart), in dB re a full-scale sine plus `sensitivityDb`; minus
    // infinity for a band that heard nothing.
    std::vector<double> TestLeqDb(double sensitivityDb) const;
    uint64_t Samples() const { return samples_; }
    // Each band's Leq since the last call (or the start), likewise; the
    // next interval starts.
    std::vector<double> TakeIntervalDb(double sensitivityDb);
    uint64_t IntervalSamples() const { return intervalSamples_; }

    // Four bands' numbers side by side, aligned as doubles: the groups live
    // wherever the vector that holds them puts them.
    typedef double Quad __attribute__((vector_size(32), aligned(8)));
    // The sections of four filters, and their state.
    struct Group {
        Quad gain;
        Quad a1[BandFilter::kSections];
        Quad a2[BandFilter::kSections];
        Quad s1[BandFilter::kSections];
        Quad s2[BandFilter::kSections];
        Quad sum;       // of the squared outputs, over the test
        Quad interval;  // and since the last interval was taken
    };

private:
    std::vector<Band> bands_;
    std::vector<Group> groups_;
    uint64_t samples_ = 0;
    uint64_t intervalSamples_ = 0;
};

}  // namespace tarnwick
