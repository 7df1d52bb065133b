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
// reads -20.00 in the 1 kHz band. The bands are Z-weighted unless a weighting
// is set. Samples that are
// no numbers are measured as silence, as the sound level meter measures them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "bands/band_filter.h"
#include "bands/band_plan.h"
#include "bands/band_time_weighting.h"
#include "core/mic_response.h"
#include "core/response_correction.h"

namespace tarnwick {

class BandMeter {
public:
    // The bands of `width` that `sampleRate` reaches, of one channel or the
    // mean square of two (`channels` 2: each band's level is that of both
    // channels' outputs together, as the sound level meter's "both").
    BandMeter(BandWidth width, double sampleRate, unsigned channels = 1);

    // `count` frames of `stride` interleaved samples each, 1.0 being full
    // scale, the channels measured at `samples[0]` (and `samples[1]`).
    void AddSamples(const float* samples, size_t count, size_t stride);
    unsigned Channels() const { return channels_; }
    // A frequency weighting's value at each band's mid-band frequency, in
    // dB, added to the band's levels: A- or C-weighted band levels, as
    // spectra give them. Empty (the default): Z.
    void SetWeightingDb(std::vector<double> perBand) { weightingDb_ = std::move(perBand); }
    // The weighting added to `band`'s levels, dB.
    double WeightingDb(size_t band) const {
        return band < weightingDb_.size() ? weightingDb_[band] : 0.0;
    }
    BandWidth Width() const { return width_; }
    // The microphone's response, corrected before the bank
    // (core/response_correction.h); null: none. The filters start at rest.
    void SetResponse(const MicResponse* response);
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

    // The bands' F and S levels, the maximum of F and the statistical
    // levels from here on (bands/band_time_weighting.h); off by default, as
    // they cost a little for every sixteen samples.
    void KeepTimeWeighting();
    enum class Reading { kFast, kSlow, kFastMax };
    // Each band's `reading` now, in dB as TestLeqDb; minus infinity for all
    // without KeepTimeWeighting.
    std::vector<double> TimeWeightedDb(Reading reading, double sensitivityDb) const;
    // Each band's level exceeded `percent` % of the tenths of a second
    // since KeepTimeWeighting (or Restart), likewise.
    std::vector<double> LevelsExceededDb(double percent, double sensitivityDb) const;

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
        Quad slice;     // and over the time weighting's slice
    };

private:
    // Each band's sum of a group member over the channels.
    double Summed(size_t band, Quad Group::*sums) const;
    void AddMeasured(const float* samples, size_t count, size_t stride);
    void RunBank(const float* samples, size_t count, size_t stride);
    void EndSlice(size_t frames);

    std::vector<Band> bands_;
    BandWidth width_;
    unsigned channels_;
    double sampleRate_;
    size_t groupsPerChannel_ = 0;
    std::vector<Group> groups_;  // the first channel's, then the second's
    std::vector<double> weightingDb_;
    std::optional<BandTimeWeighting> timeWeighting_;
    std::optional<ResponseCorrection> correction_;
    std::vector<double> correcting_;  // the measured channels, in order
    std::vector<float> corrected_;
    std::vector<double> sliceMeanSquares_;
    size_t sliceFrames_ = 0;  // run into the slice so far
    uint64_t samples_ = 0;
    uint64_t intervalSamples_ = 0;
};

}  // namespace tarnwick
