#pragma once
// LoudnessMeter: loudness to ITU-R BS.1770 and EBU R 128 of a stereo programme,
// measured by libebur128. It gives the momentary (400 ms) and short-term (3 s)
// loudness, the integrated loudness and loudness range since the last restart,
// and the highest true peak since then. A second
// set of figures covers the current results period when asked for.
//
// Loudness and true peak are in LUFS and dBTP; a programme too quiet or too
// short to measure reads minus infinity, and its range 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "loudness/loudness_history.h"
#include "loudness/true_peak.h"

namespace tarnwick {

// The figures of one stretch of programme.
struct LoudnessFigures {
    double integrated = 0.0;   // LUFS
    double range = 0.0;        // LRA, LU
    double truePeakMax = 0.0;  // dBTP
};

class LoudnessMeter {
public:
    // With `fixedMemory` the integrated loudness and range of a test are kept
    // in libebur128's histogram, to 0.1 LU, in the same memory however long
    // the test runs (weeks, for a logger); otherwise every 100 ms block is
    // kept, about 1 MB an hour, and the figures are exact.
    explicit LoudnessMeter(unsigned long sampleRate, bool fixedMemory = false);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Interleaved 16-bit stereo frames, in the host's byte order.
    void AddFrames(const int16_t* frames, size_t count);
    // Frames packed as a capture block holds them (little-endian).
    void AddCaptureFrames(const uint8_t* bytes, size_t count);

    // Integrated loudness, range, the true-peak maximum and the maxima of
    // momentary and short-term loudness start again: a test starts.
    void RestartTest();
    // Whether the figures of each results period are kept; off costs nothing.
    void KeepPeriodFigures(bool keep);
    // The figures of the results period start again: a record was written.
    void RestartPeriod();

    // Read every 100 ms of programme.
    double Momentary() const { return momentary_; }
    double ShortTerm() const { return shortTerm_; }
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

private:
    struct State;
    struct StateDeleter {
        void operator()(State* state) const;
    };
    using StatePtr = std::unique_ptr<State, StateDeleter>;
    static StatePtr MakeState(unsigned long sampleRate, int mode);
    static LoudnessFigures FiguresOf(State* state, double truePeakMax);
    void TakeReading();

    static constexpr unsigned long kReadingMs = 100;
    static constexpr size_t kMomentaryReadings = 4;   // 400 ms
    static constexpr size_t kShortTermReadings = 30;  // 3 s

    unsigned long sampleRate_;
    int testMode_;
    // The test and period states are made afresh when they restart.
    StatePtr test_;
    StatePtr period_;
    TruePeak truePeak_;
    double testTruePeak_ = 0.0;    // linear, 1.0 is full scale
    double periodTruePeak_ = 0.0;  // linear
    // Frames of the oversampled output still to come that belong to the
    // programme before the last restart.
    size_t testHeldBack_ = 0;
    size_t periodHeldBack_ = 0;
    size_t updateFrames_;     // 100 ms
    size_t sinceUpdate_ = 0;  // frames since momentary and short-term were read
    std::array<double, kShortTermReadings> energies_{};  // of the last 100 ms readings
    size_t nextEnergy_ = 0;
    double momentary_;
    double shortTerm_;
    double momentaryMax_;
    double shortTermMax_;
    LoudnessHistory history_;
    uint64_t readings_ = 0;
    std::function<void()> observer_;
    std::vector<int16_t> samples_;  // a capture block's frames, aligned
};

}  // namespace tarnwick
