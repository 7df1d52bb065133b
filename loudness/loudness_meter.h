#pragma once
// LoudnessMeter: loudness to ITU-R BS.1770 and EBU R 128 of a programme. It
// gives the momentary (400 ms) and short-term (3 s) loudness, the integrated
// loudness and loudness range since the last restart, and the highest true
// peak since then. A second set of figures covers the current results period
// when asked for.
//
// Loudness and true peak are in LUFS and dBTP; a programme too quiet or too
// short to measure reads minus infinity, and its range 0.
//
// The programme is weighted once (KWeighting) and cut into 100 ms slices: the
// live readings on slices counted from the meter's start, a test's and a
// period's figures on slices counted from their own start, as a meter started
// with them would cut them. Their blocks are kept in histograms
// (BlockEnergyHistogram): reading the figures costs the same after a minute
// and after weeks, in the same memory, within 0.01 LU of the figures computed
// from every block.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "loudness/block_energy_histogram.h"
#include "loudness/k_weighting.h"
#include "loudness/loudness_history.h"
#include "loudness/true_peak.h"

namespace tarnwick {

// The figures of one stretch of programme.
struct LoudnessFigures {
    double integrated = 0.0;   // LUFS
    double range = 0.0;        // LRA, LU
    double truePeakMax = 0.0;  // dBTP
};

// How the programme's channels count.
enum class LoudnessChannels {
    kStereo,    // left and right, each counted once
    kMono,      // one channel, counted once, as BS.1770 weighs a single channel
    kDualMono,  // one channel heard from two loudspeakers: counted twice
};

class LoudnessMeter {
public:
    explicit LoudnessMeter(unsigned long sampleRate,
                           LoudnessChannels channels = LoudnessChannels::kStereo);
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Interleaved 16-bit stereo frames, in the host's byte order: a stereo
    // meter's programme as captured.
    void AddFrames(const int16_t* frames, size_t count);
    // Frames packed as a capture block holds them (little-endian).
    void AddCaptureFrames(const uint8_t* bytes, size_t count);
    // Frames of the programme's own channels (one sample a frame for mono),
    // interleaved; 1.0 is full scale, and samples beyond it are measured as
    // they are. A sample that is no number (NaN, infinity) is measured as
    // silence and counted.
    void AddSamples(const float* samples, size_t frames);
    // Samples that were no numbers, since the meter was made.
    uint64_t NonFiniteSamples() const { return nonFinite_; }
    // The programme has ended: the true peak of its last few frames, which the
    // oversampling still holds back, is taken. Frames added afterwards follow
    // silence.
    void EndProgramme();

    // A new stream starts with the next frame: the input was opened again
    // after a loss, or another input was chosen. The weighting filter starts
    // at rest, the true peak takes no value interpolated across the join,
    // and momentary and short-term loudness start again as at the meter's
    // start, so that no reading mixes the audio before a loss with the audio
    // after it. The figures of the test and the period go on.
    void StartStream();

    // Integrated loudness, range, the true-peak maximum and the maxima of
    // momentary and short-term loudness start again: a test starts.
    void RestartTest();
    // Whether the figures of each results period are kept; off costs nothing.
    void KeepPeriodFigures(bool keep);
    // The figures of the results period start again: a record was written.
    void RestartPeriod();

    // Read every 100 ms of programme; until the meter has measured a whole
    // window, what it has not measured counts as silence.
    double Momentary() const { return momentary_; }
    double ShortTerm() const { return shortTerm_; }
    // The largest readings since the test started whose window the meter had
    // wholly measured: minus infinity until it has measured 400 ms (3 s).
    double MomentaryMax() const { return momentaryMax_; }
    double ShortTermMax() const { return shortTermMax_; }
    LoudnessFigures Test() const;
    // Minus infinity and 0 while period figures are not kept.
    LoudnessFigures Period() const;
    // Short-term loudness since the test started, every 100 ms, merged as
    // the test grows.
    const LoudnessHistory& History() const { return history_; }
    // Readings of momentary and short-term loudness so far: one every 100 ms.
    uint64_t Readings() const { return readings_; }
    // Called after every reading, while the figures are those of its moment.
    void SetReadingObserver(std::function<void()> observer) { observer_ = std::move(observer); }

    unsigned long SampleRate() const { return sampleRate_; }
    LoudnessChannels Channels() const { return layout_; }

private:
    static constexpr size_t kMomentarySlices = 4;   // 400 ms
    static constexpr size_t kShortTermSlices = 30;  // 3 s

    // The energies of the last 3 s of 100 ms slices, newest last.
    class RecentSlices {
    public:
        void Push(double energy);
        void Clear();
        // The mean energy of the last `slices`, silence where there were none.
        double MeanOfLast(size_t slices) const;
        uint64_t Count() const { return count_; }

    private:
        std::array<double, kShortTermSlices> energies_{};
        size_t next_ = 0;
        uint64_t count_ = 0;
    };

    // The figures of a test or a results period.
    struct Stretch {
        RecentSlices slices;
        size_t sliceFrames = 0;                // of the slice being filled
        double sliceEnergy = 0.0;              // its sum of squares
        BlockEnergyHistogram gatingBlocks;     // 400 ms, every 100 ms
        BlockEnergyHistogram shortTermBlocks;  // 3 s, every second
        double truePeak = 0.0;                 // linear, 1.0 is full scale
        // Frames of the true peak's output still to come that belong to the
        // programme before the stretch started.
        size_t heldBack = 0;
    };

    void Restart(Stretch& stretch) const;
    size_t FramesToBoundary(const Stretch& stretch) const;
    void AddToStretch(Stretch& stretch, double energy, size_t frames, float peak);
    // The true peak of `frames` zero frames after the programme.
    void AddTruePeakOnly(size_t frames);
    LoudnessFigures FiguresOf(const Stretch& stretch) const;
    void TakeReading();

    unsigned long sampleRate_;
    LoudnessChannels layout_;
    unsigned channels_;
    double channelWeight_;  // 2 for dual mono
    size_t sliceFrames_;    // 100 ms
    KWeighting weighting_;
    TruePeak truePeak_;
    // The test's figures; the period's while they are kept.
    Stretch test_;
    std::unique_ptr<Stretch> period_;
    // The live readings.
    RecentSlices live_;
    size_t liveFrames_ = 0;
    double liveEnergy_ = 0.0;
    double momentary_;
    double shortTerm_;
    double momentaryMax_;
    double shortTermMax_;
    LoudnessHistory history_;
    uint64_t readings_ = 0;
    std::function<void()> observer_;
    std::vector<float> samples_;  // 16-bit frames as floats
    std::vector<float> finite_;   // samples with each that is no number as 0
    uint64_t nonFinite_ = 0;
};

}  // namespace tarnwick
