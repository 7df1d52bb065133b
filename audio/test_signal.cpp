#include "audio/test_signal.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "core/capture_format.h"
#include "core/level_math.h"

namespace tarnwick {
namespace {

double Amplitude(double db) {
    return kFullScale * std::pow(10.0, db / 20.0);
}

int16_t Clip(double v) {
    const double r = std::round(v);
    return static_cast<int16_t>(r > 32767.0 ? 32767.0 : r < -32768.0 ? -32768.0 : r);
}

// The levels the signal uses, worked out once: a power per sample cost more
// than the meter's own work on each block.
struct Amplitudes {
    double tone20 = Amplitude(-20.0);
    double tone10 = Amplitude(-10.0);
    double tone05 = Amplitude(-0.5);
    double left24 = Amplitude(-24.0);
    double right8 = Amplitude(-8.0);
    double syllable[5] = {Amplitude(-36.0), Amplitude(-30.0), Amplitude(-24.0), Amplitude(-18.0),
                          Amplitude(-12.0)};
};

const Amplitudes& Levels() {
    static const Amplitudes kLevels;
    return kLevels;
}

// sin(2 pi k / 44100) for k = 0..44099. Every tone of the signal is a whole
// number of hertz, so its phase at frame n is step f * n mod 44100 of this
// table: no sine is worked out per sample, and the phase does not lose
// precision as n grows.
const std::vector<double>& SineTable() {
    static const std::vector<double> kTable = [] {
        std::vector<double> table(static_cast<size_t>(kSampleRate));
        for (size_t k = 0; k < table.size(); ++k) {
            table[k] = std::sin(2.0 * std::numbers::pi * static_cast<double>(k) / kSampleRate);
        }
        return table;
    }();
    return kTable;
}

}  // namespace

void TestSignal::Fill(uint8_t* out, int64_t frames) {
    constexpr int64_t kCycle = int64_t{kTestSignalCycleSeconds} * kSampleRate;
    constexpr int64_t kToneStart = 3LL * kSampleRate;
    constexpr int64_t kTone10Start = 8LL * kSampleRate;
    constexpr int64_t kTone05Start = 13LL * kSampleRate;
    constexpr int64_t kTwoLevelStart = 16LL * kSampleRate;
    constexpr int64_t kSpeechStart = 23LL * kSampleRate;
    constexpr int64_t kSyllableFrames = kSampleRate / 4;  // 250 ms
    const Amplitudes& level = Levels();
    // sin(2 pi f n / 44100) for a whole frequency f and frame n >= 0.
    const double* table = SineTable().data();
    auto sine = [table](int64_t frequency, int64_t frame) {
        return table[(frequency * frame) % kSampleRate];
    };
    // The place in the cycle is carried from frame to frame: a division per
    // frame cost as much as the rest of the signal.
    int64_t inCycle = position_ % kCycle;
    position_ += frames;
    for (int64_t i = 0; i < frames; ++i, out += 4) {
        double left = 0.0, right = 0.0;
        if (inCycle < kToneStart) {
            // silence
        } else if (inCycle < kTwoLevelStart) {
            const double amplitude = inCycle < kTone10Start   ? level.tone20
                                     : inCycle < kTone05Start ? level.tone10
                                                              : level.tone05;
            left = right = amplitude * sine(1000, inCycle);
        } else if (inCycle < kSpeechStart) {
            const double s = sine(440, inCycle);
            left = level.left24 * s;
            right = level.right8 * s;
        } else {
            // Syllables of 250 ms with a raised-cosine envelope, their levels
            // stepping through -36..-12 dB.
            const int64_t index = (inCycle - kSpeechStart) / kSyllableFrames;
            const int64_t step = (inCycle - kSpeechStart) % kSyllableFrames;
            // cos(2 pi step / 11025) is a quarter-cycle ahead on the table.
            const double cosine = sine(1, (4 * step + kSampleRate / 4) % kSampleRate);
            const double envelope = 0.5 - 0.5 * cosine;
            noise_ = noise_ * 1664525u + 1013904223u;
            const double n = (static_cast<double>(noise_ >> 8) / (1u << 24)) * 2.0 - 1.0;
            const double voice = 0.6 * sine(180, inCycle) + 0.4 * n;
            left = level.syllable[(index * 7) % 5] * envelope * voice;
            right = 0.8 * left;
        }
        WriteFrame(out, Clip(left), Clip(right));
        if (++inCycle == kCycle) {
            inCycle = 0;
        }
    }
}

}  // namespace tarnwick
