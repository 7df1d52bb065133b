#pragma once
// SoundLevelMeter: sound level to IEC 61672-1 of one microphone channel (or
// the mean square of two), fed with frames at the recording's own rate.
//
// The chain: A, C and Z frequency weighting (spl/frequency_weighting.h); F
// (125 ms) and S (1 s) exponential time weighting of the squared A-weighted
// signal; time averages and exposure; the C-weighted peak on the signal
// oversampled to 176.4 kHz or more (spl/peak_oversampler.h); statistical
// levels from the LAeq of each 100 ms; a rolling LAeq over the last T
// minutes; LEX,8h and dose.
//
// Figures are kept for the test, for the current results period and for each
// second of the test clock, which starts with the test. Each second is
// delivered once, in order, to the second observer (and kept as
// LastSecond()), as soon as its C-weighted peak is known: when the input has
// run past the second's end by the oversampler's latency (about 20 ms), or at
// Finish or RestartTest. A sample at full scale marks its second, the period
// and the test as overloaded, and counts once per second.
//
// Memory is fixed when the meter is made, whatever the test's length.
//
// Who calls when: the owner feeds every frame of the input in order through
// one of the Add* functions, all on one thread. RestartTest when a test
// starts (it restarts the period too); RestartPeriod when a results record
// was written; Finish when a recording has ended. Figures may be read at any
// time and include every frame fed so far. The second observer may read
// figures and call RestartPeriod and SetSensitivity, but not feed frames,
// Finish or RestartTest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/level_histogram.h"
#include "core/mic_response.h"
#include "core/response_correction.h"
#include "spl/frequency_weighting.h"
#include "spl/peak_oversampler.h"
#include "spl/sound_level_figures.h"

namespace tarnwick {

// Which signal is measured. A measurement microphone is mono: the left
// channel unless the user says otherwise. Both: the mean square of the two.
enum class MeasuredChannel { kLeft, kRight, kBoth };

constexpr unsigned long kLowestSplRate = 22050;
constexpr unsigned long kHighestSplRate = 192000;
constexpr int kDefaultRollingMinutes = 15;
constexpr int kLongestRollingMinutes = 60;
// After the start of a stream, the time whose C-weighted peak and F and S
// levels count in no maximum: the C weighting's low poles ring at the step a
// stream starts with for up to 40 ms (a 31.5 Hz sine switched on reads its
// peak 0.1 dB high until then; 1 kHz for 6 ms), the oversampler for 1.5 ms.
// A steady sine, started at any phase, then reads its LCpeak within 0.1 dB.
constexpr double kStreamSettleS = 0.05;

struct SoundLevelSetup {
    unsigned long sampleRate = 44100;  // Hz, kLowestSplRate..kHighestSplRate
    unsigned channels = 2;             // interleaved channels of the frames fed
    MeasuredChannel channel = MeasuredChannel::kLeft;
    // dB SPL of a full-scale sine: 114.0 makes a 1 kHz sine at -20 dBFS read
    // 94.0 dB. With 0, levels read in dB relative to a full-scale sine.
    double sensitivityDb = 0.0;
    int rollingMinutes = kDefaultRollingMinutes;  // 1..kLongestRollingMinutes
    // The microphone's response, corrected at the input of every weighting
    // (core/response_correction.h), or none.
    std::shared_ptr<const MicResponse> response;
};

// One second of the test clock.
struct SoundLevelSecond {
    uint64_t index = 0;  // 0 for the test's first second
    SoundLevelFigures figures;
    // LAeq and LCeq over the last T minutes of the test up to this second's
    // end, or over the whole test while it is shorter than T.
    double laeqRolling = kNoLevel;
    double lceqRolling = kNoLevel;
};

struct ExposureFigures {
    double lex8h = kNoLevel;  // dB(A)
    double dosePercent = 0.0;
};

class SoundLevelMeter {
public:
    // Why `setup` cannot be measured, as a sentence for the user; empty when
    // it can.
    static std::string SetupError(const SoundLevelSetup& setup);
    // A meter, or nullptr with `error` set.
    static std::unique_ptr<SoundLevelMeter> Create(const SoundLevelSetup& setup,
                                                   std::string& error);

    ~SoundLevelMeter();
    SoundLevelMeter(const SoundLevelMeter&) = delete;
    SoundLevelMeter& operator=(const SoundLevelMeter&) = delete;

    // Interleaved frames of setup.channels samples, 1.0 being full scale. A
    // sample that is no number (NaN, infinity) is measured as silence and
    // counted (nonFiniteSamples); one beyond 1000 marks an overload and is
    // measured at that bound.
    void AddFrames(const float* frames, size_t count);
    // Interleaved 16-bit frames in the host's byte order.
    void AddFrames16(const int16_t* frames, size_t count);
    // Frames packed as a capture block holds them: 16-bit stereo,
    // little-endian (core/capture_format.h), whatever setup.channels says.
    void AddCaptureFrames(const uint8_t* bytes, size_t count);

    // The recording has ended: the seconds waiting for their peak are
    // delivered with the peak known so far (the sample peak covers the
    // last few milliseconds), then the last, shorter second if it holds any
    // frames. Frames fed afterwards start a new second.
    void Finish();
    // A test starts now: the seconds of the last one are delivered as by
    // Finish; the test's and the period's figures, statistics, exposure and
    // the rolling window start again, and so does the second count.
    void RestartTest();
    // A results period starts now: the period's figures and statistics start
    // again. A 100 ms level that straddles the restart counts in the new
    // period.
    void RestartPeriod();
    // The figures of the frames fed since the last call (or since the meter
    // was made), and an interval starts again: a caller's own stretch, cut
    // between any two frames, such as a log's row of a wall-clock second.
    // Its LCpeak holds the oversampled peaks known now, and the sample peak
    // of the last few milliseconds, whose oversampled values the resampler
    // still holds. No frames: every level minus infinity.
    SoundLevelFigures TakeInterval();
    // A new stream starts with the next frame: the input was opened again
    // after a loss, or another input was chosen. The frames on either side
    // are no one signal, so the filters, the F and S averages and the
    // oversampler start at rest as they did for the first frame, and the
    // peaks and maxima of the next kStreamSettleS (the weighting
    // filters' and the oversampler's ringing at the step) count in no
    // maximum; the F minimum waits for F to settle. Levels and exposure go on.
    void StartStream();

    // Applies to every figure read from now on; the exposure counter
    // accumulates at the sensitivity of the moment.
    void SetSensitivity(double sensitivityDb) { sensitivityDb_ = sensitivityDb; }
    double Sensitivity() const { return sensitivityDb_; }
    // 1..kLongestRollingMinutes; takes effect from the next second.
    void SetRollingMinutes(int minutes);

    void SetSecondObserver(std::function<void(const SoundLevelSecond&)> observer) {
        observer_ = std::move(observer);
    }
    // Seconds delivered since the test started, and the last of them.
    uint64_t SecondsDelivered() const { return secondsDelivered_; }
    const SoundLevelSecond& LastSecond() const { return lastSecond_; }

    SoundLevelFigures Test() const;
    SoundLevelFigures Period() const;
    // LN: the A-weighted level exceeded `percent` % of the time, from the
    // LAeq of each whole 100 ms. Minus infinity before the first.
    double TestLevelExceeded(double percent) const;
    double PeriodLevelExceeded(double percent) const;
    // The rolling LAeq,T and LCeq,T at the end of the last whole second.
    double RollingLaeq() const { return lastSecond_.laeqRolling; }
    double RollingLceq() const { return lastSecond_.lceqRolling; }
    // LEX,8h and dose of the test so far, against `criterionDb` with the
    // exchange rate `exchangeRateDb`, 3 or 5 (the dose is NaN for any other).
    ExposureFigures TestExposure(double criterionDb, int exchangeRateDb) const;

    // The F- and S-weighted A level now, and the F-weighted C and Z levels.
    double Laf() const;
    double Las() const;
    double Lcf() const;
    double Lzf() const;

    // Since the meter was made, never restarted, as monitoring counters
    // need them: the A-weighted sound exposure in Pa^2 s, and the seconds
    // that held a sample at full scale.
    double ExposurePascalSquaredSeconds() const { return exposurePa2s_; }
    uint64_t OverloadsTotal() const { return overloadsTotal_; }

    // Why the C-weighted peak is no longer oversampled; empty while it is.
    const std::string& Error() const { return oversampler_.Error(); }
    const SoundLevelSetup& Setup() const { return setup_; }

private:
    explicit SoundLevelMeter(const SoundLevelSetup& setup);

    struct WaitingSecond {
        SoundLevelSecond second;
        SoundLevelSums sums;
        uint64_t start = 0;  // stream frames
        uint64_t end = 0;
    };

    // Feeds `count` frames; read(frame, channel) gives each measured sample.
    template <class Read>
    void AddWith(size_t count, Read read);
    template <bool kBoth>
    void Measure(size_t count);
    void Feed(size_t count);
    void Flush();
    void EndSlice();
    void EndSecond(bool whole);
    void TakeOversampledPeaks(uint64_t firstFrame, const float* frames, size_t count);
    void DeliverCoveredSeconds(bool all);
    void ClearSecond();
    size_t FramesToBoundary() const;

    SoundLevelSetup setup_;
    double sensitivityDb_;
    unsigned long rate_;
    unsigned measured_;  // 1, or 2 for both channels
    double fCoefficient_;
    double sCoefficient_;
    uint64_t settleFrames_;      // after a stream's start, before this no minimum is taken
    uint64_t peakSettleFrames_;  // and before this no maximum

    std::array<WeightingFilters, 2> filters_;
    PeakOversampler oversampler_;
    double fMeanSquare_ = 0.0;
    double sMeanSquare_ = 0.0;
    double fcMeanSquare_ = 0.0;
    double fzMeanSquare_ = 0.0;

    // Frames since the meter was made, and where the current stretches began.
    uint64_t frame_ = 0;
    uint64_t streamStart_ = 0;
    uint64_t testStart_ = 0;
    uint64_t periodStart_ = 0;
    uint64_t intervalStart_ = 0;
    uint64_t secondStart_ = 0;
    uint64_t secondIndex_ = 0;

    SoundLevelSums pending_;  // since the last flush, not yet in the three below
    SoundLevelSums second_;
    SoundLevelSums period_;
    SoundLevelSums test_;
    SoundLevelSums interval_;

    int slice_ = 0;  // 100 ms slice of the second, 0..9
    double sliceSumA_ = 0.0;
    uint64_t sliceSamples_ = 0;
    LevelHistogram testHistogram_;
    LevelHistogram periodHistogram_;
    double fiveDbIntegral_ = 0.0;  // of 2^(L / 5) over the test, L re full scale

    // Sums of the squared A- and C-weighted samples of each whole second, a
    // ring each.
    std::vector<double> rolling_;
    std::vector<double> rollingC_;
    size_t rollingNext_ = 0;
    size_t rollingCount_ = 0;
    size_t rollingSeconds_;

    std::array<WaitingSecond, 4> waiting_;
    size_t waitingCount_ = 0;
    uint64_t secondsDelivered_ = 0;
    SoundLevelSecond lastSecond_;
    std::function<void(const SoundLevelSecond&)> observer_;

    double exposurePa2s_ = 0.0;
    uint64_t overloadsTotal_ = 0;

    // One chunk of input, as doubles per measured channel, and its
    // C-weighted samples for the oversampler.
    std::vector<double> input_;
    std::optional<ResponseCorrection> correction_;
    std::vector<double> corrected_;  // input_ through the correction
    std::vector<float> weighted_;
};

}  // namespace tarnwick
