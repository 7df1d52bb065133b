// The built-in test signal: each part of its 30-second cycle at the level and
// frequency the meter's users are told, and the cycle repeating exactly.

#include "audio/test_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "core/level_math.h"
#include "core/meter_settings.h"

namespace tarnwick {
namespace {

struct Sample {
    int16_t left;
    int16_t right;
};

std::vector<Sample> Cycle(TestSignal& signal) {
    const int64_t frames = static_cast<int64_t>(kTestSignalCycleSeconds) * kSampleRate;
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 4);
    signal.Fill(bytes.data(), frames);
    std::vector<Sample> samples(static_cast<size_t>(frames));
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i].left = static_cast<int16_t>(bytes[4 * i] | bytes[4 * i + 1] << 8);
        samples[i].right = static_cast<int16_t>(bytes[4 * i + 2] | bytes[4 * i + 3] << 8);
    }
    return samples;
}

TEST(TestSignal, EachPartHasItsToneAndLevelAndTheCycleRepeats) {
    TestSignal signal;
    const std::vector<Sample> first = Cycle(signal);
    struct Part {
        double from, to;  // seconds
        double frequency;
        double leftDb, rightDb;
    };
    for (const Part& p : {Part{3, 8, 1000, -20, -20}, Part{8, 13, 1000, -10, -10},
                          Part{13, 16, 1000, -0.5, -0.5}, Part{16, 23, 440, -24, -8}}) {
        SCOPED_TRACE(p.from);
        for (int64_t n = static_cast<int64_t>(p.from * kSampleRate);
             n < static_cast<int64_t>(p.to * kSampleRate); ++n) {
            const double phase = 2.0 * std::numbers::pi * p.frequency * static_cast<double>(n) /
                                 static_cast<double>(kSampleRate);
            const double left = kFullScale * std::pow(10.0, p.leftDb / 20.0) * std::sin(phase);
            const double right = kFullScale * std::pow(10.0, p.rightDb / 20.0) * std::sin(phase);
            ASSERT_LE(std::abs(first[static_cast<size_t>(n)].left - left), 1.0) << n;
            ASSERT_LE(std::abs(first[static_cast<size_t>(n)].right - right), 1.0) << n;
        }
    }
    for (int64_t n = 0; n < 3 * kSampleRate; ++n) {
        ASSERT_EQ(first[static_cast<size_t>(n)].left, 0);
    }
    // Speech-like bursts: quiet at each syllable's edges, loudest near -12 dB.
    int peak = 0;
    for (int64_t n = 23 * kSampleRate; n < 30 * kSampleRate; ++n) {
        peak = std::max(peak, std::abs(static_cast<int>(first[static_cast<size_t>(n)].left)));
        if ((n - 23 * kSampleRate) % (kSampleRate / 4) == 0) {
            EXPECT_EQ(first[static_cast<size_t>(n)].left, 0) << n;
        }
    }
    EXPECT_LE(peak, std::lround(kFullScale * std::pow(10.0, -12.0 / 20.0)) + 1);
    EXPECT_GT(peak, std::lround(kFullScale * std::pow(10.0, -18.0 / 20.0)));

    // The second cycle is the first again, but for the noise in the bursts.
    const std::vector<Sample> second = Cycle(signal);
    for (int64_t n = 0; n < 23 * kSampleRate; ++n) {
        ASSERT_EQ(second[static_cast<size_t>(n)].left, first[static_cast<size_t>(n)].left) << n;
    }
}

}  // namespace
}  // namespace tarnwick
