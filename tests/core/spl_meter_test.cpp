// The sound level meter end to end through its own interface: a test's
// figures, statistics, seconds, periods and exposure; which channel it
// measures; and overload.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "core/capture_format.h"
#include "spl/sound_level_meter.h"

namespace tarnwick {
namespace {

constexpr unsigned long kRate = 44100;
constexpr double kSensitivity = 114.0;  // a full-scale sine reads 114 dB

double AmplitudeFor(double dbSpl) {
    return std::pow(10.0, (dbSpl - kSensitivity) / 20.0);
}

// Interleaved frames of `channels`, each channel a 1 kHz sine of its level.
void AppendTone(std::vector<float>& x, const std::vector<double>& levels, double seconds) {
    const size_t start = x.size() / levels.size();
    const auto frames = static_cast<size_t>(seconds * kRate);
    for (size_t i = start; i < start + frames; ++i) {
        for (double level : levels) {
            x.push_back(static_cast<float>(AmplitudeFor(level) *
                                           std::sin(2.0 * std::numbers::pi * 1000.0 * i / kRate)));
        }
    }
}

std::unique_ptr<SoundLevelMeter> Meter(unsigned channels, MeasuredChannel channel) {
    SoundLevelSetup setup;
    setup.sampleRate = kRate;
    setup.channels = channels;
    setup.channel = channel;
    setup.sensitivityDb = kSensitivity;
    std::string error;
    std::unique_ptr<SoundLevelMeter> meter = SoundLevelMeter::Create(setup, error);
    EXPECT_TRUE(meter) << error;
    return meter;
}

double Tenth(double db) {
    return std::round(db * 10.0) / 10.0;
}

TEST(SoundLevelMeter, NineSecondsAt70ThenFiftyOneAt50) {
    std::vector<float> x;
    AppendTone(x, {70.0}, 9.0);
    AppendTone(x, {50.0}, 51.0);
    auto meter = Meter(1, MeasuredChannel::kLeft);
    std::vector<SoundLevelSecond> seconds;
    meter->SetSecondObserver([&](const SoundLevelSecond& s) { seconds.push_back(s); });
    meter->AddFrames(x.data(), 9 * kRate);
    meter->RestartPeriod();
    meter->AddFrames(x.data() + 9 * kRate, 51 * kRate);
    meter->Finish();

    const SoundLevelFigures test = meter->Test();
    EXPECT_DOUBLE_EQ(test.durationS, 60.0);
    EXPECT_EQ(Tenth(test.laeq), 62.0);
    EXPECT_EQ(Tenth(test.lae), 79.8);
    EXPECT_EQ(Tenth(test.lafmax), 70.0);
    EXPECT_EQ(Tenth(test.lafmin), 50.0);
    EXPECT_EQ(meter->TestLevelExceeded(10), 70.0);
    EXPECT_EQ(meter->TestLevelExceeded(50), 50.0);
    EXPECT_EQ(meter->TestLevelExceeded(90), 50.0);
    EXPECT_FALSE(test.Overloaded());

    // The period restarted when the level fell.
    const SoundLevelFigures period = meter->Period();
    EXPECT_DOUBLE_EQ(period.durationS, 51.0);
    EXPECT_EQ(Tenth(period.laeq), 50.0);
    // F decays from 70 dB after the step: the period's maximum is its start.
    EXPECT_EQ(Tenth(period.lafmax), 70.0);
    EXPECT_EQ(meter->PeriodLevelExceeded(10), 50.0);

    // Every second once, in order, each with its own level; the rolling
    // LAeq covers the whole test while it is shorter than 15 minutes.
    ASSERT_EQ(seconds.size(), 60u);
    for (size_t i = 0; i < seconds.size(); ++i) {
        EXPECT_EQ(seconds[i].index, i);
        // The weighting filters' response to the step rings into second 9.
        EXPECT_NEAR(seconds[i].figures.laeq, i < 9 ? 70.0 : 50.0, i == 9 ? 0.15 : 0.01)
            << "second " << i;
    }
    EXPECT_EQ(Tenth(seconds.back().laeqRolling), 62.0);
    EXPECT_EQ(Tenth(meter->RollingLaeq()), 62.0);

    // LEX,8h: the test's energy spread over 8 hours; the 5 dB dose integrates
    // 2^((L - 85) / 5) over each level's time.
    const double lex = test.laeq + 10.0 * std::log10(60.0 / 28800.0);
    const ExposureFigures equalEnergy = meter->TestExposure(85.0, 3);
    EXPECT_NEAR(equalEnergy.lex8h, lex, 1e-9);
    EXPECT_NEAR(equalEnergy.dosePercent, 100.0 * std::pow(10.0, (lex - 85.0) / 10.0), 1e-6);
    const double fiveDb =
        100.0 / 28800.0 * (9.0 * std::exp2((70.0 - 85.0) / 5.0) + 51.0 * std::exp2(-35.0 / 5.0));
    EXPECT_NEAR(meter->TestExposure(85.0, 5).dosePercent, fiveDb, fiveDb * 0.01);
}

// The rolling LCeq,T holds the C-weighted energy of the last T minutes: on a
// 63 Hz tone it stands above the rolling LAeq,T by the difference of the two
// weightings in IEC 61672-1 Table 3 (A -26.2 dB, C -0.8 dB), and a change of
// level leaves it once T has passed.
TEST(SoundLevelMeter, TheRollingLceqFollowsTheCWeightedLastMinutes) {
    constexpr double kHz = 63.0;
    constexpr double kAWeighting = -26.2;
    constexpr double kCWeighting = -0.8;
    SoundLevelSetup setup;
    setup.sampleRate = kRate;
    setup.channels = 1;
    setup.sensitivityDb = kSensitivity;
    setup.rollingMinutes = 1;
    std::string error;
    std::unique_ptr<SoundLevelMeter> meter = SoundLevelMeter::Create(setup, error);
    ASSERT_TRUE(meter) << error;
    const auto play = [&](double db, double seconds) {
        std::vector<float> x(static_cast<size_t>(seconds * kRate));
        for (size_t i = 0; i < x.size(); ++i) {
            x[i] = static_cast<float>(AmplitudeFor(db) *
                                      std::sin(2.0 * std::numbers::pi * kHz * i / kRate));
        }
        meter->AddFrames(x.data(), x.size());
    };
    play(90.0, 30.0);
    EXPECT_NEAR(meter->RollingLceq(), 90.0 + kCWeighting, 0.1);
    EXPECT_NEAR(meter->RollingLaeq(), 90.0 + kAWeighting, 0.1);
    // 60 s at 80 dB: the 90 dB seconds have left the minute.
    play(80.0, 61.0);
    EXPECT_NEAR(meter->RollingLceq(), 80.0 + kCWeighting, 0.1);
    EXPECT_NEAR(
        meter->Test().lceq,
        10.0 * std::log10((30.0 * std::pow(10.0, 9.0) + 61.0 * std::pow(10.0, 8.0)) / 91.0) +
            kCWeighting,
        0.1);
}

TEST(SoundLevelMeter, MeasuresTheChosenChannel) {
    // Left at 94 dB, right at 84 dB.
    std::vector<float> x;
    AppendTone(x, {94.0, 84.0}, 2.0);
    struct Case {
        MeasuredChannel channel;
        double laeq;
    };
    const Case cases[] = {
        {MeasuredChannel::kLeft, 94.0},
        {MeasuredChannel::kRight, 84.0},
        {MeasuredChannel::kBoth,
         10.0 * std::log10((std::pow(10.0, 9.4) + std::pow(10.0, 8.4)) / 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.channel));
        auto meter = Meter(2, c.channel);
        meter->AddFrames(x.data(), 2 * kRate);
        EXPECT_NEAR(meter->Test().laeq, c.laeq, 0.01);
    }
    SoundLevelSetup mono;
    mono.channels = 1;
    mono.channel = MeasuredChannel::kRight;
    std::string error;
    EXPECT_FALSE(SoundLevelMeter::Create(mono, error));
    EXPECT_NE(error.find("one channel"), std::string::npos) << error;
}

TEST(SoundLevelMeter, AFullScaleSampleMarksItsSecondOnly) {
    // Five seconds of capture blocks at 74 dB. The measured left channel
    // reaches full scale once in second 1 (-32768) and once in second 3
    // (+32767); the right one, not measured, in second 4.
    std::vector<uint8_t> bytes(5 * kRate * kBytesPerFrame);
    for (size_t i = 0; i < 5 * kRate; ++i) {
        const auto v = static_cast<int16_t>(std::lround(
            32768.0 * AmplitudeFor(74.0) * std::sin(2.0 * std::numbers::pi * i / 44.1)));
        WriteFrame(bytes.data() + i * kBytesPerFrame, v, v);
    }
    WriteFrame(bytes.data() + (1 * kRate + 100) * kBytesPerFrame, -32768, 0);
    WriteFrame(bytes.data() + (3 * kRate + 100) * kBytesPerFrame, 32767, 0);
    WriteFrame(bytes.data() + (4 * kRate + 100) * kBytesPerFrame, 0, -32768);

    auto meter = Meter(2, MeasuredChannel::kLeft);
    std::vector<bool> overloaded;
    meter->SetSecondObserver(
        [&](const SoundLevelSecond& s) { overloaded.push_back(s.figures.Overloaded()); });
    for (size_t at = 0; at < 5 * kRate; at += 882) {
        meter->AddCaptureFrames(bytes.data() + at * kBytesPerFrame, 882);
    }
    meter->Finish();
    EXPECT_EQ(overloaded, (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(meter->Test().overloadedSeconds, 2u);
    EXPECT_EQ(meter->OverloadsTotal(), 2u);
}

}  // namespace
}  // namespace tarnwick
