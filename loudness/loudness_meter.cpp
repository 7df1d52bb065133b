#include "loudness/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {
namespace {

constexpr unsigned kChannels = 2;
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// Integrated loudness and range keep every 100 ms block, about 1 MB an hour:
// libebur128's fixed-size histogram would round to the middle of 0.1 LU bins,
// and a -23.0 LUFS line-up tone would read -22.9.
constexpr int kTestMode = EBUR128_MODE_I | EBUR128_MODE_LRA;
constexpr int kPeriodMode = EBUR128_MODE_I | EBUR128_MODE_LRA;

// The largest magnitude in `samples` (interleaved stereo), past the first
// `heldBack` frames, which belong to the programme before a restart.
double PeakOf(std::span<const float> samples, size_t& heldBack) {
    const size_t skip = std::min(heldBack * kChannels, samples.size());
    heldBack -= skip / kChannels;
    float peak = 0.0f;
    size_t i = skip;
#if defined(__SSE2__)
    // Four at a time: the true peak looks at four times as many samples as
    // the programme has.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 largest = _mm_setzero_ps();
    for (; i + 4 <= samples.size(); i += 4) {
        largest = _mm_max_ps(largest, _mm_and_ps(_mm_loadu_ps(&samples[i]), magnitude));
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, largest);
    peak = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < samples.size(); ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return peak;
}

// BS.1770: loudness is 10 log10 of the K-weighted mean square, less 0.691.
constexpr double kLoudnessOffset = -0.691;

double EnergyOf(double lufs) {
    return std::isfinite(lufs) ? std::pow(10.0, (lufs - kLoudnessOffset) / 10.0) : 0.0;
}

// Below this the K-weighting filter is only dying away after the programme
// stopped (it reaches -700 LUFS and further): silence.
constexpr double kSilenceLufs = -120.0;

double LoudnessOf(double energy) {
    const double lufs = energy > 0.0 ? 10.0 * std::log10(energy) + kLoudnessOffset : kMinusInfinity;
    return lufs < kSilenceLufs ? kMinusInfinity : lufs;
}

double ToDb(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : kMinusInfinity;
}

}  // namespace

struct LoudnessMeter::State {
    ebur128_state* st = nullptr;
};

void LoudnessMeter::StateDeleter::operator()(State* state) const {
    if (state->st != nullptr) {
        ebur128_destroy(&state->st);
    }
    delete state;
}

LoudnessMeter::StatePtr LoudnessMeter::MakeState(unsigned long sampleRate, int mode) {
    StatePtr state(new State);
    state->st = ebur128_init(kChannels, sampleRate, mode);
    return state;
}

LoudnessMeter::LoudnessMeter(unsigned long sampleRate, bool fixedMemory)
    : sampleRate_(sampleRate),
      testMode_(fixedMemory ? kTestMode | EBUR128_MODE_HISTOGRAM : kTestMode),
      test_(MakeState(sampleRate, testMode_)),
      truePeak_(sampleRate),
      updateFrames_(std::max<size_t>(1, sampleRate / 10)),
      momentary_(kMinusInfinity),
      shortTerm_(kMinusInfinity),
      momentaryMax_(kMinusInfinity),
      shortTermMax_(kMinusInfinity) {}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::AddFrames(const int16_t* frames, size_t count) {
    while (count > 0) {
        // Momentary and short-term loudness are read every 100 ms of
        // programme: reading them sums the whole window, too much to do for
        // every block.
        const size_t piece = std::min(count, updateFrames_ - sinceUpdate_);
        for (State* state : {test_.get(), period_.get()}) {
            if (state != nullptr && state->st != nullptr) {
                ebur128_add_frames_short(state->st, frames, piece);
            }
        }
        const std::span<const float> oversampled = truePeak_.Add(frames, piece);
        testTruePeak_ = std::max(testTruePeak_, PeakOf(oversampled, testHeldBack_));
        periodTruePeak_ = std::max(periodTruePeak_, PeakOf(oversampled, periodHeldBack_));
        sinceUpdate_ += piece;
        if (sinceUpdate_ == updateFrames_) {
            sinceUpdate_ = 0;
            TakeReading();
            momentaryMax_ = std::max(momentaryMax_, momentary_);
            shortTermMax_ = std::max(shortTermMax_, shortTerm_);
            history_.Add(shortTerm_);
            ++readings_;
            if (observer_) {
                observer_();
            }
        }
        frames += piece * kChannels;
        count -= piece;
    }
}

void LoudnessMeter::AddCaptureFrames(const uint8_t* bytes, size_t count) {
    static_assert(std::endian::native == std::endian::little,
                  "capture blocks are little-endian, as the host");
    // The block's bytes need not be aligned for 16-bit reads.
    samples_.resize(count * kChannels);
    std::memcpy(samples_.data(), bytes, count * kChannels * sizeof(int16_t));
    AddFrames(samples_.data(), count);
}

void LoudnessMeter::TakeReading() {
    // The K-weighted energy of the last 100 ms, from libebur128; momentary and
    // short-term loudness are the means of the last 4 and 30 of these, which
    // is what libebur128 sums afresh over the whole window at every call.
    // Kept here, they also run on across a restart of the test's state.
    double last = kMinusInfinity;
    if (test_->st == nullptr ||
        ebur128_loudness_window(test_->st, kReadingMs, &last) != EBUR128_SUCCESS) {
        last = kMinusInfinity;
    }
    energies_[nextEnergy_] = EnergyOf(last);
    nextEnergy_ = (nextEnergy_ + 1) % energies_.size();
    double momentary = 0.0;
    double shortTerm = 0.0;
    for (size_t back = 1; back <= energies_.size(); ++back) {
        const double e = energies_[(nextEnergy_ + energies_.size() - back) % energies_.size()];
        shortTerm += e;
        if (back <= kMomentaryReadings) {
            momentary += e;
        }
    }
    momentary_ = LoudnessOf(momentary / kMomentaryReadings);
    shortTerm_ = LoudnessOf(shortTerm / static_cast<double>(energies_.size()));
}

void LoudnessMeter::RestartTest() {
    test_ = MakeState(sampleRate_, testMode_);
    testTruePeak_ = 0.0;
    testHeldBack_ = truePeak_.HeldBack();
    momentaryMax_ = kMinusInfinity;
    shortTermMax_ = kMinusInfinity;
    history_.Clear();
}

void LoudnessMeter::KeepPeriodFigures(bool keep) {
    if (!keep) {
        period_.reset();
    } else if (period_ == nullptr) {
        period_ = MakeState(sampleRate_, kPeriodMode);
        periodTruePeak_ = 0.0;
        periodHeldBack_ = truePeak_.HeldBack();
    }
}

void LoudnessMeter::RestartPeriod() {
    if (period_ != nullptr) {
        period_ = MakeState(sampleRate_, kPeriodMode);
    }
    periodTruePeak_ = 0.0;
    periodHeldBack_ = truePeak_.HeldBack();
}

LoudnessFigures LoudnessMeter::FiguresOf(State* state, double truePeakMax) {
    LoudnessFigures figures{kMinusInfinity, 0.0, ToDb(truePeakMax)};
    if (state == nullptr || state->st == nullptr) {
        return figures;
    }
    double integrated = kMinusInfinity;
    if (ebur128_loudness_global(state->st, &integrated) == EBUR128_SUCCESS) {
        figures.integrated = integrated;
    }
    double range = 0.0;
    if (ebur128_loudness_range(state->st, &range) == EBUR128_SUCCESS && std::isfinite(range)) {
        figures.range = range;
    }
    return figures;
}

LoudnessFigures LoudnessMeter::Test() const {
    return FiguresOf(test_.get(), testTruePeak_);
}

LoudnessFigures LoudnessMeter::Period() const {
    if (period_ == nullptr) {
        return LoudnessFigures{kMinusInfinity, 0.0, kMinusInfinity};
    }
    return FiguresOf(period_.get(), periodTruePeak_);
}

}  // namespace tarnwick
