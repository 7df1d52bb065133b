#include "spl/sound_level_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/capture_format.h"
#include "spl/noise_exposure.h"

namespace tarnwick {
namespace {

// IEC 61672-1 time constants, in seconds.
constexpr double kFastS = 0.125;
constexpr double kSlowS = 1.0;
// The F average starts from nothing: its minimum counts once ten time
// constants have passed, when a steady level reads within 0.001 dB.
constexpr double kSettleTimeConstants = 10.0;

// A 16-bit sample at either end of its range, or anything beyond it.
constexpr double kFullScaleMagnitude = 32767.0 / 32768.0;
constexpr double kInt16Scale = 1.0 / 32768.0;
// Float samples are clamped here, 60 dB above full scale, far beyond any
// converter, so that their squares stay finite.
constexpr double kLargestMagnitude = 1000.0;

constexpr int kSlicesPerSecond = 10;  // statistics take the LAeq of each 100 ms
constexpr size_t kChunkFrames = 1024;
constexpr unsigned kStereo = 2;

// Filter states and averages that have died away below these are set to zero
// between chunks, so that silence never runs through denormal numbers.
constexpr double kFilterFloor = 1e-20;
constexpr double kMeanSquareFloor = 1e-30;

double TimeWeightingCoefficient(double timeConstantS, unsigned long rate) {
    return 1.0 - std::exp(-1.0 / (timeConstantS * static_cast<double>(rate)));
}

}  // namespace

std::string SoundLevelMeter::SetupError(const SoundLevelSetup& setup) {
    if (setup.sampleRate < kLowestSplRate || setup.sampleRate > kHighestSplRate) {
        return "Sound level needs a sample rate from 22050 to 192000 Hz; this input has " +
               std::to_string(setup.sampleRate) + " Hz.";
    }
    if (setup.channels == 0) {
        return "Sound level needs an input with at least one channel.";
    }
    if (setup.channel != MeasuredChannel::kLeft && setup.channels < kStereo) {
        return setup.channel == MeasuredChannel::kRight
                   ? "Sound level is set to the right channel, but this input has one channel."
                   : "Sound level is set to both channels, but this input has one channel.";
    }
    if (setup.rollingMinutes < 1 || setup.rollingMinutes > kLongestRollingMinutes) {
        return "The rolling LAeq needs from 1 to 60 minutes.";
    }
    if (!std::isfinite(setup.sensitivityDb)) {
        return "The sensitivity is not a number of dB.";
    }
    return {};
}

std::unique_ptr<SoundLevelMeter> SoundLevelMeter::Create(const SoundLevelSetup& setup,
                                                         std::string& error) {
    error = SetupError(setup);
    if (!error.empty()) {
        return nullptr;
    }
    std::unique_ptr<SoundLevelMeter> meter(new SoundLevelMeter(setup));
    if (!meter->Error().empty()) {
        error = meter->Error();
        return nullptr;
    }
    return meter;
}

SoundLevelMeter::SoundLevelMeter(const SoundLevelSetup& setup)
    : setup_(setup),
      sensitivityDb_(setup.sensitivityDb),
      rate_(setup.sampleRate),
      measured_(setup.channel == MeasuredChannel::kBoth ? kStereo : 1),
      fCoefficient_(TimeWeightingCoefficient(kFastS, setup.sampleRate)),
      sCoefficient_(TimeWeightingCoefficient(kSlowS, setup.sampleRate)),
      settleFrames_(static_cast<uint64_t>(kSettleTimeConstants * kFastS * setup.sampleRate)),
      peakSettleFrames_(static_cast<uint64_t>(kStreamSettleS * setup.sampleRate)),
      filters_{WeightingFilters(static_cast<double>(setup.sampleRate)),
               WeightingFilters(static_cast<double>(setup.sampleRate))},
      oversampler_(setup.sampleRate, measured_),
      rolling_(static_cast<size_t>(kLongestRollingMinutes) * 60, 0.0),
      rollingC_(rolling_.size(), 0.0),
      rollingSeconds_(static_cast<size_t>(setup.rollingMinutes) * 60),
      input_(kChunkFrames * kStereo),
      weighted_(kChunkFrames * kStereo) {
    if (setup.response) {
        correction_.emplace(*setup.response, static_cast<double>(setup.sampleRate), measured_);
        corrected_.resize(input_.size());
    }
}

SoundLevelMeter::~SoundLevelMeter() = default;

void SoundLevelMeter::SetRollingMinutes(int minutes) {
    rollingSeconds_ = static_cast<size_t>(std::clamp(minutes, 1, kLongestRollingMinutes)) * 60;
}

size_t SoundLevelMeter::FramesToBoundary() const {
    const uint64_t sliceEnd =
        secondStart_ + static_cast<uint64_t>(slice_ + 1) * rate_ / kSlicesPerSecond;
    return static_cast<size_t>(std::min<uint64_t>(sliceEnd - frame_, kChunkFrames));
}

template <class Read>
void SoundLevelMeter::AddWith(size_t count, Read read) {
    const unsigned first = setup_.channel == MeasuredChannel::kRight ? 1 : 0;
    size_t done = 0;
    while (done < count) {
        const size_t n = std::min(count - done, FramesToBoundary());
        for (size_t i = 0; i < n; ++i) {
            for (unsigned k = 0; k < measured_; ++k) {
                input_[i * measured_ + k] = read(done + i, first + k);
            }
        }
        Feed(n);
        done += n;
    }
}

void SoundLevelMeter::AddFrames(const float* frames, size_t count) {
    const unsigned stride = setup_.channels;
    AddWith(count, [&](size_t frame, unsigned channel) {
        const double v = frames[frame * stride + channel];
        if (std::fabs(v) <= kLargestMagnitude) {
            return v;
        }
        // A damaged float recording can hold anything. What is no number
        // never reaches a sum or a filter: it is silence, counted. What lies
        // far beyond full scale overloads, and enters at the clamp so that
        // the filters measure on.
        if (!std::isfinite(v)) {
            ++pending_.nonFinite;
            return 0.0;
        }
        pending_.overloaded = true;
        return std::copysign(kLargestMagnitude, v);
    });
}

void SoundLevelMeter::AddFrames16(const int16_t* frames, size_t count) {
    const unsigned stride = setup_.channels;
    AddWith(count, [&](size_t frame, unsigned channel) {
        return frames[frame * stride + channel] * kInt16Scale;
    });
}

void SoundLevelMeter::AddCaptureFrames(const uint8_t* bytes, size_t count) {
    AddWith(count, [&](size_t frame, unsigned channel) {
        return ReadSample(bytes + frame * kBytesPerFrame + 2 * channel) * kInt16Scale;
    });
}

template <bool kBoth>
void SoundLevelMeter::Measure(size_t count) {
    SoundLevelSums s = pending_;
    double f = fMeanSquare_;
    double slow = sMeanSquare_;
    double fc = fcMeanSquare_;
    double fz = fzMeanSquare_;
    const double kf = fCoefficient_;
    const double ks = sCoefficient_;
    // Samples from these on count towards the maxima and the minimum.
    const auto fromStreamStart = [&](uint64_t settle) {
        const uint64_t from = streamStart_ + settle;
        return frame_ >= from ? size_t{0} : static_cast<size_t>(from - frame_);
    };
    const size_t maxFrom = fromStreamStart(peakSettleFrames_);
    const size_t minFrom = fromStreamStart(settleFrames_);
    double sumA = 0.0;
    double sumC = 0.0;
    double sumZ = 0.0;
    double peak = s.cPeak;
    // The microphone's correction comes before the weightings; what
    // overloads is the signal as it came.
    const double* in = correction_ ? corrected_.data() : input_.data();
    bool over = false;
    for (size_t i = 0; i < count; ++i) {
        double a = 0.0;
        double c = 0.0;
        double ea = 0.0;
        double ec = 0.0;
        double ez = 0.0;
        if constexpr (kBoth) {
            const double x0 = in[2 * i];
            const double x1 = in[2 * i + 1];
            double a1 = 0.0;
            double c1 = 0.0;
            filters_[0].Process(x0, a, c);
            filters_[1].Process(x1, a1, c1);
            ea = 0.5 * (a * a + a1 * a1);
            ec = 0.5 * (c * c + c1 * c1);
            ez = 0.5 * (x0 * x0 + x1 * x1);
            if (i >= maxFrom) {
                peak = std::max(peak, std::max(std::fabs(c), std::fabs(c1)));
            }
            over = over || std::fabs(input_[2 * i]) >= kFullScaleMagnitude ||
                   std::fabs(input_[2 * i + 1]) >= kFullScaleMagnitude;
            weighted_[2 * i] = static_cast<float>(c);
            weighted_[2 * i + 1] = static_cast<float>(c1);
        } else {
            const double x = in[i];
            filters_[0].Process(x, a, c);
            ea = a * a;
            ec = c * c;
            ez = x * x;
            if (i >= maxFrom) {
                peak = std::max(peak, std::fabs(c));
            }
            over = over || std::fabs(input_[i]) >= kFullScaleMagnitude;
            weighted_[i] = static_cast<float>(c);
        }
        f += kf * (ea - f);
        slow += ks * (ea - slow);
        fc += kf * (ec - fc);
        fz += kf * (ez - fz);
        if (i >= maxFrom) {
            s.fMax = std::max(s.fMax, f);
            s.sMax = std::max(s.sMax, slow);
        }
        if (i >= minFrom) {
            s.fMin = std::min(s.fMin, f);
        }
        sumA += ea;
        sumC += ec;
        sumZ += ez;
    }
    s.samples += count;
    s.sumA += sumA;
    s.sumC += sumC;
    s.sumZ += sumZ;
    s.cPeak = peak;
    s.overloaded = s.overloaded || over;
    pending_ = s;
    sliceSumA_ += sumA;
    sliceSamples_ += count;
    fMeanSquare_ = f < kMeanSquareFloor ? 0.0 : f;
    sMeanSquare_ = slow < kMeanSquareFloor ? 0.0 : slow;
    fcMeanSquare_ = fc < kMeanSquareFloor ? 0.0 : fc;
    fzMeanSquare_ = fz < kMeanSquareFloor ? 0.0 : fz;
}

void SoundLevelMeter::Feed(size_t count) {
    if (correction_) {
        std::copy(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count * measured_),
                  corrected_.begin());
        correction_->Process(corrected_.data(), count);
    }
    if (measured_ == kStereo) {
        Measure<true>(count);
    } else {
        Measure<false>(count);
    }
    for (WeightingFilters& filters : filters_) {
        filters.FlushBelow(kFilterFloor);
    }
    frame_ += count;
    const std::span<const float> out = oversampler_.Add(weighted_.data(), count);
    TakeOversampledPeaks(oversampler_.Emitted() - out.size() / measured_, out.data(),
                         out.size() / measured_);
    if (frame_ == secondStart_ + static_cast<uint64_t>(slice_ + 1) * rate_ / kSlicesPerSecond) {
        EndSlice();
    }
    DeliverCoveredSeconds(false);
}

void SoundLevelMeter::Flush() {
    // Exposure in Pa^2 s: a full-scale sine's mean square 0.5 is the
    // sensitivity's pressure squared.
    const double pressureSquared =
        kReferencePressurePa * kReferencePressurePa * std::pow(10.0, sensitivityDb_ / 10.0) / 0.5;
    exposurePa2s_ += pressureSquared * pending_.sumA / static_cast<double>(rate_);
    second_.Merge(pending_);
    period_.Merge(pending_);
    test_.Merge(pending_);
    interval_.Merge(pending_);
    pending_ = SoundLevelSums{};
}

void SoundLevelMeter::EndSlice() {
    Flush();
    const double level = MeanSquareToDb(sliceSumA_ / static_cast<double>(sliceSamples_), 0.0);
    testHistogram_.Add(level);
    periodHistogram_.Add(level);
    if (std::isfinite(level)) {
        fiveDbIntegral_ += static_cast<double>(sliceSamples_) / static_cast<double>(rate_) *
                           std::exp2(level / kFiveDbExchangeDb);
    }
    sliceSumA_ = 0.0;
    sliceSamples_ = 0;
    if (++slice_ == kSlicesPerSecond) {
        EndSecond(true);
    }
}

void SoundLevelMeter::EndSecond(bool whole) {
    Flush();
    // Each stretch counts the second as overloaded if a sample at full scale
    // fell in it since the stretch began.
    for (SoundLevelSums* sums : {&second_, &period_, &test_}) {
        sums->overloadedSeconds += sums->overloaded ? 1 : 0;
        sums->overloaded = false;
    }
    overloadsTotal_ += second_.overloadedSeconds;

    // The window holds this second and up to T - 1 whole ones before it; a
    // shorter last second takes a whole one's place, so that the window
    // never exceeds T.
    const size_t kept = std::min(rollingCount_, rollingSeconds_ - 1);
    double sum = second_.sumA;
    double sumC = second_.sumC;
    for (size_t k = 1; k <= kept; ++k) {
        const size_t at = (rollingNext_ + rolling_.size() - k) % rolling_.size();
        sum += rolling_[at];
        sumC += rollingC_[at];
    }
    const double samples = static_cast<double>(kept) * static_cast<double>(rate_) +
                           static_cast<double>(second_.samples);
    if (whole) {
        rolling_[rollingNext_] = second_.sumA;
        rollingC_[rollingNext_] = second_.sumC;
        rollingNext_ = (rollingNext_ + 1) % rolling_.size();
        rollingCount_ = std::min(rollingCount_ + 1, rolling_.size());
    }

    if (waitingCount_ == waiting_.size()) {
        DeliverCoveredSeconds(true);
    }
    WaitingSecond& w = waiting_[waitingCount_++];
    w.second = SoundLevelSecond{};
    w.second.index = secondIndex_;
    w.second.laeqRolling = MeanSquareToDb(sum / samples, sensitivityDb_);
    w.second.lceqRolling = MeanSquareToDb(sumC / samples, sensitivityDb_);
    w.sums = second_;
    w.start = secondStart_;
    w.end = frame_;
    ClearSecond();
    ++secondIndex_;
}

void SoundLevelMeter::ClearSecond() {
    second_ = SoundLevelSums{};
    secondStart_ = frame_;
    slice_ = 0;
    sliceSumA_ = 0.0;
    sliceSamples_ = 0;
}

void SoundLevelMeter::TakeOversampledPeaks(uint64_t first, const float* frames, size_t count) {
    const uint64_t factor = oversampler_.Factor();
    size_t j = 0;
    while (j < count) {
        // The input frame this output stands at, and the next frame at which
        // a stretch begins or ends.
        const uint64_t t = (first + j) / factor;
        uint64_t next = std::numeric_limits<uint64_t>::max();
        const auto consider = [&](uint64_t boundary) {
            if (boundary > t && boundary < next) {
                next = boundary;
            }
        };
        consider(streamStart_ + peakSettleFrames_);
        consider(testStart_);
        consider(periodStart_);
        consider(intervalStart_);
        consider(secondStart_);
        for (size_t k = 0; k < waitingCount_; ++k) {
            consider(waiting_[k].start);
            consider(waiting_[k].end);
        }
        const size_t end =
            next == std::numeric_limits<uint64_t>::max()
                ? count
                : static_cast<size_t>(std::min<uint64_t>(count, next * factor - first));
        float peak = 0.0f;
        for (size_t i = j * measured_; i < end * measured_; ++i) {
            peak = std::max(peak, std::fabs(frames[i]));
        }
        j = end;
        if (t >= streamStart_ && t < streamStart_ + peakSettleFrames_) {
            continue;  // the oversampler rings at the step the stream starts with
        }
        const double p = peak;
        if (t >= testStart_) {
            test_.cPeak = std::max(test_.cPeak, p);
        }
        if (t >= periodStart_) {
            period_.cPeak = std::max(period_.cPeak, p);
        }
        if (t >= intervalStart_) {
            interval_.cPeak = std::max(interval_.cPeak, p);
        }
        if (t >= secondStart_) {
            second_.cPeak = std::max(second_.cPeak, p);
            continue;
        }
        for (size_t k = 0; k < waitingCount_; ++k) {
            if (t >= waiting_[k].start && t < waiting_[k].end) {
                waiting_[k].sums.cPeak = std::max(waiting_[k].sums.cPeak, p);
            }
        }
    }
}

void SoundLevelMeter::DeliverCoveredSeconds(bool all) {
    // Input frames before this one have all their oversampled frames out.
    const uint64_t covered = oversampler_.Emitted() / oversampler_.Factor();
    const bool stalled = !oversampler_.Error().empty();
    size_t done = 0;
    while (done < waitingCount_ && (all || stalled || waiting_[done].end <= covered)) {
        WaitingSecond& w = waiting_[done++];
        lastSecond_ = w.second;
        lastSecond_.figures = w.sums.Figures(sensitivityDb_, rate_);
        ++secondsDelivered_;
        if (observer_) {
            observer_(lastSecond_);
        }
    }
    std::move(waiting_.begin() + static_cast<long>(done),
              waiting_.begin() + static_cast<long>(waitingCount_), waiting_.begin());
    waitingCount_ -= done;
}

void SoundLevelMeter::Finish() {
    Flush();
    if (second_.samples > 0) {
        EndSecond(false);
    }
    DeliverCoveredSeconds(true);
}

void SoundLevelMeter::RestartTest() {
    Finish();
    test_ = SoundLevelSums{};
    period_ = SoundLevelSums{};
    testHistogram_.Clear();
    periodHistogram_.Clear();
    fiveDbIntegral_ = 0.0;
    rollingNext_ = 0;
    rollingCount_ = 0;
    ClearSecond();
    testStart_ = frame_;
    periodStart_ = frame_;
    secondIndex_ = 0;
    secondsDelivered_ = 0;
    lastSecond_ = SoundLevelSecond{};
}

SoundLevelFigures SoundLevelMeter::TakeInterval() {
    Flush();
    SoundLevelFigures figures = interval_.Figures(sensitivityDb_, rate_);
    if (interval_.overloaded) {
        figures.overloadedSeconds = std::max<uint64_t>(figures.overloadedSeconds, 1);
    }
    interval_ = SoundLevelSums{};
    intervalStart_ = frame_;
    return figures;
}

void SoundLevelMeter::StartStream() {
    Flush();
    for (WeightingFilters& filters : filters_) {
        filters.Reset();
    }
    if (correction_) {
        correction_->Reset();
    }
    fMeanSquare_ = 0.0;
    sMeanSquare_ = 0.0;
    fcMeanSquare_ = 0.0;
    fzMeanSquare_ = 0.0;
    streamStart_ = frame_;
    // The oversampled tail of the last stream is dropped with the
    // resampler's state: the seconds waiting for it have all they will get.
    oversampler_.StartStream(frame_);
    DeliverCoveredSeconds(false);
}

void SoundLevelMeter::RestartPeriod() {
    Flush();
    period_ = SoundLevelSums{};
    periodHistogram_.Clear();
    periodStart_ = frame_;
}

namespace {

// A stretch's sums with what was measured since the last flush, its current
// second counted if it overloaded.
SoundLevelSums WithPending(SoundLevelSums sums, const SoundLevelSums& pending) {
    sums.Merge(pending);
    sums.overloadedSeconds += sums.overloaded ? 1 : 0;
    return sums;
}

}  // namespace

SoundLevelFigures SoundLevelMeter::Test() const {
    return WithPending(test_, pending_).Figures(sensitivityDb_, rate_);
}

SoundLevelFigures SoundLevelMeter::Period() const {
    return WithPending(period_, pending_).Figures(sensitivityDb_, rate_);
}

double SoundLevelMeter::TestLevelExceeded(double percent) const {
    return testHistogram_.LevelExceeded(percent) + sensitivityDb_;
}

double SoundLevelMeter::PeriodLevelExceeded(double percent) const {
    return periodHistogram_.LevelExceeded(percent) + sensitivityDb_;
}

ExposureFigures SoundLevelMeter::TestExposure(double criterionDb, int exchangeRateDb) const {
    const SoundLevelFigures test = Test();
    ExposureFigures e;
    if (test.durationS <= 0.0) {
        return e;
    }
    e.lex8h = Lex8hDb(test.laeq, test.durationS);
    if (exchangeRateDb == kFiveDbExchangeDb) {
        e.dosePercent = FiveDbDosePercent(fiveDbIntegral_, sensitivityDb_, criterionDb);
    } else if (exchangeRateDb == kEqualEnergyExchangeDb) {
        e.dosePercent = EqualEnergyDosePercent(e.lex8h, criterionDb);
    } else {
        e.dosePercent = std::numeric_limits<double>::quiet_NaN();
    }
    return e;
}

double SoundLevelMeter::Laf() const {
    return MeanSquareToDb(fMeanSquare_, sensitivityDb_);
}

double SoundLevelMeter::Las() const {
    return MeanSquareToDb(sMeanSquare_, sensitivityDb_);
}

double SoundLevelMeter::Lcf() const {
    return MeanSquareToDb(fcMeanSquare_, sensitivityDb_);
}

double SoundLevelMeter::Lzf() const {
    return MeanSquareToDb(fzMeanSquare_, sensitivityDb_);
}

}  // namespace tarnwick
