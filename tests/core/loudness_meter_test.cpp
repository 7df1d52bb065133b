// The loudness meter against the EBU's minimum-requirement cases that can be
// generated: Tech 3341 cases 1 to 5 (integrated loudness), Tech 3342 cases 1 to
// 4 (loudness range), and an inter-sample peak (true peak), at 44100 and 48000
// frames per second.

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "loudness/loudness_meter.h"

namespace tarnwick {
namespace {

// A stretch of 1 kHz sine in both channels, its peak in dBFS.
struct Segment {
    double dbfs;
    double seconds;
};

enum class Figure { kIntegrated, kRange, kTruePeak };

struct Case {
    std::string name;
    std::vector<Segment> segments;
    Figure figure;
    double expected;
    double below;  // tolerance under the expected value
    double above;  // and over it
    double frequency = 1000.0;
    double phase = 0.0;
};

// Plays the segments into `meter` in 100 ms pieces, with the phase carried on.
void Play(LoudnessMeter& meter, const Case& c) {
    const double rate = static_cast<double>(meter.SampleRate());
    const size_t piece = meter.SampleRate() / 10;
    std::vector<int16_t> frames(piece * 2);
    double n = 0.0;
    for (const Segment& segment : c.segments) {
        const double amplitude = 32767.0 * std::pow(10.0, segment.dbfs / 20.0);
        auto left = static_cast<size_t>(std::llround(segment.seconds * rate));
        while (left > 0) {
            const size_t count = std::min(piece, left);
            for (size_t i = 0; i < count; ++i, n += 1.0) {
                const double v =
                    amplitude * std::sin(2.0 * std::numbers::pi * c.frequency * n / rate + c.phase);
                frames[2 * i] = frames[2 * i + 1] = static_cast<int16_t>(std::lround(v));
            }
            meter.AddFrames(frames.data(), count);
            left -= count;
        }
    }
}

class LoudnessAtRate : public ::testing::TestWithParam<unsigned long> {};

TEST_P(LoudnessAtRate, MeetsTheEbuMinimumRequirements) {
    const unsigned long rate = GetParam();
    const double quarterRate = -1.0;  // the frequency is a quarter of the sample rate
    const std::vector<Case> cases = {
        {"3341 case 1", {{-23.0, 20.0}}, Figure::kIntegrated, -23.0, 0.1, 0.1},
        {"3341 case 2", {{-33.0, 20.0}}, Figure::kIntegrated, -33.0, 0.1, 0.1},
        {"3341 case 3",
         {{-36.0, 10.0}, {-23.0, 60.0}, {-36.0, 10.0}},
         Figure::kIntegrated,
         -23.0,
         0.1,
         0.1},
        {"3341 case 4",
         {{-72.0, 10.0}, {-36.0, 10.0}, {-23.0, 60.0}, {-36.0, 10.0}, {-72.0, 10.0}},
         Figure::kIntegrated,
         -23.0,
         0.1,
         0.1},
        {"3341 case 5",
         {{-26.0, 20.0}, {-20.0, 20.1}, {-26.0, 20.0}},
         Figure::kIntegrated,
         -23.0,
         0.1,
         0.1},
        {"3342 case 1", {{-20.0, 20.0}, {-30.0, 20.0}}, Figure::kRange, 10.0, 1.0, 1.0},
        {"3342 case 2", {{-20.0, 20.0}, {-15.0, 20.0}}, Figure::kRange, 5.0, 1.0, 1.0},
        {"3342 case 3", {{-40.0, 20.0}, {-20.0, 20.0}}, Figure::kRange, 20.0, 1.0, 1.0},
        {"3342 case 4",
         {{-50.0, 20.0}, {-35.0, 20.0}, {-20.0, 20.0}, {-35.0, 20.0}, {-50.0, 20.0}},
         Figure::kRange,
         15.0,
         1.0,
         1.0},
        // Samples at 45 degrees catch 0.707 of the peak: 3 dB under the truth.
        {"inter-sample peak",
         {{-6.0, 10.0}},
         Figure::kTruePeak,
         -6.0,
         0.4,
         0.2,
         quarterRate,
         std::numbers::pi / 4.0},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.name);
        if (c.frequency < 0.0) {
            c.frequency = static_cast<double>(rate) / 4.0;
        }
        LoudnessMeter meter(rate);
        Play(meter, c);
        const LoudnessFigures figures = meter.Test();
        const double got = c.figure == Figure::kIntegrated ? figures.integrated
                           : c.figure == Figure::kRange    ? figures.range
                                                           : figures.truePeakMax;
        EXPECT_GE(got, c.expected - c.below);
        EXPECT_LE(got, c.expected + c.above);
    }
}

// True peak across the band, to 21.5 kHz at 44.1 kHz and 23 kHz at 48 kHz: a
// sine of peak -6.02 dBFS reads within BS.1770's +0.2 / -0.4 dB of it,
// whatever the phase at which its samples catch it. Half a second, faded in
// and out over 10 ms, as a steady tone is.
TEST_P(LoudnessAtRate, ReadsTheTruePeakOfASineToTheTopOfTheBand) {
    const unsigned long rate = GetParam();
    const double fs = static_cast<double>(rate);
    const double top = rate == 44100ul ? 21500.0 : 23000.0;
    const double amplitude = 0.5;  // -6.02 dBFS
    const size_t frames = rate / 2;
    const double fadeFrames = fs / 100.0;
    for (const double hz : {20.0, 997.0, 5000.0, 10000.0, fs / 4.0, fs / 3.0, 17000.0, 19000.0,
                            20000.0, 21000.0, top}) {
        for (const double phase : {0.0, std::numbers::pi / 4.0, 1.0}) {
            SCOPED_TRACE(std::to_string(hz) + " Hz, phase " + std::to_string(phase));
            LoudnessMeter meter(rate);
            std::vector<float> samples(frames * 2);
            for (size_t n = 0; n < frames; ++n) {
                const double edge = std::min<double>(n, frames - 1 - n);
                const double fade = edge < fadeFrames
                                        ? 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fadeFrames)
                                        : 1.0;
                samples[2 * n] = samples[2 * n + 1] = static_cast<float>(
                    fade * amplitude * std::sin(2.0 * std::numbers::pi * hz * n / fs + phase));
            }
            meter.AddSamples(samples.data(), frames);
            meter.EndProgramme();
            const double truePeak = meter.Test().truePeakMax;
            EXPECT_GE(truePeak, -6.02 - 0.4);
            EXPECT_LE(truePeak, -6.02 + 0.2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothRates, LoudnessAtRate, ::testing::Values(44100ul, 48000ul));

// A test's figures start at its START, while momentary and short-term
// loudness run on; a results period's figures start at each record.
TEST(LoudnessMeter, RestartsTheTestAndThePeriodButNotTheLiveFigures) {
    LoudnessMeter meter(44100);
    meter.KeepPeriodFigures(true);
    Play(meter, {"loud", {{-10.0, 5.0}}, Figure::kIntegrated, 0, 0, 0});
    meter.RestartTest();
    meter.RestartPeriod();
    EXPECT_NEAR(meter.ShortTerm(), -10.0, 0.2);
    EXPECT_EQ(meter.Test().integrated, -INFINITY);
    Play(meter, {"quiet", {{-30.0, 5.0}}, Figure::kIntegrated, 0, 0, 0});
    EXPECT_NEAR(meter.Test().integrated, -30.0, 0.1);
    EXPECT_NEAR(meter.Period().integrated, -30.0, 0.1);
    EXPECT_NEAR(meter.Test().truePeakMax, -30.0, 0.2);
    // The first reading after the restart still holds 300 ms of the loud part.
    EXPECT_NEAR(meter.MomentaryMax(), -10.0 + 10.0 * std::log10(0.75), 0.1);
}

// The integrated loudness and range the meter keeps in fixed memory agree
// with libebur128's computation from every block, to 0.01 LU, however the
// channels count: noise whose level jumps at random every 0.7 s over 40 dB.
TEST(LoudnessMeter, AgreesWithTheFiguresOfEveryBlockToAHundredthOfALu) {
    struct Layout {
        std::string name;
        LoudnessChannels channels;
        unsigned long rate;
    };
    for (const Layout& layout : {Layout{"stereo", LoudnessChannels::kStereo, 48000},
                                 Layout{"mono", LoudnessChannels::kMono, 44100},
                                 Layout{"dual mono", LoudnessChannels::kDualMono, 32000}}) {
        SCOPED_TRACE(layout.name);
        const unsigned channels = layout.channels == LoudnessChannels::kStereo ? 2 : 1;
        LoudnessMeter meter(layout.rate, layout.channels);
        ebur128_state* exact =
            ebur128_init(channels, layout.rate, EBUR128_MODE_I | EBUR128_MODE_LRA);
        ASSERT_NE(exact, nullptr);
        if (layout.channels == LoudnessChannels::kDualMono) {
            ebur128_set_channel(exact, 0, EBUR128_DUAL_MONO);
        }
        std::mt19937 random(static_cast<unsigned>(layout.rate));
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        std::uniform_real_distribution<double> level(-50.0, -10.0);
        const size_t stretch = layout.rate * 7 / 10;
        std::vector<float> samples(stretch * channels);
        for (int jump = 0; jump < 130; ++jump) {
            const auto gain = static_cast<float>(std::pow(10.0, level(random) / 20.0));
            for (float& sample : samples) {
                sample = gain * noise(random);
            }
            meter.AddSamples(samples.data(), stretch);
            ebur128_add_frames_float(exact, samples.data(), stretch);
        }
        double integrated = 0.0;
        double range = 0.0;
        ebur128_loudness_global(exact, &integrated);
        ebur128_loudness_range(exact, &range);
        ebur128_destroy(&exact);
        EXPECT_NEAR(meter.Test().integrated, integrated, 0.01);
        EXPECT_NEAR(meter.Test().range, range, 0.01);
    }
}

}  // namespace
}  // namespace tarnwick
