// The sound level chain against IEC 61672-1, at the two common rates: the
// frequency weightings against the design goals computed here from the
// standard's own constants (Annex E), the 4 kHz tone-burst responses
// against their reference formulas, and the C-weighted peak of single cycles
// against Table 5. The standard's figures are read from its transcription.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "spl/iec61672_tables.h"
#include "spl/sound_level_meter.h"

namespace tarnwick {
namespace {

// IEC 61672-1:2013 Annex E: the pole frequencies from fr, fL, fH and D.
struct Poles {
    double f1, f2, f3, f4;
};

Poles AnnexEPoles() {
    const double fr = iec61672::kFrHz;
    const double fl = std::pow(10.0, iec61672::kFLExponent);
    const double fh = std::pow(10.0, iec61672::kFHExponent);
    const double d = std::sqrt(iec61672::kDSquared);
    const double fa = std::pow(10.0, iec61672::kFAExponent);
    const double b =
        (fr * fr + fl * fl * fh * fh / (fr * fr) - d * (fl * fl + fh * fh)) / (1.0 - d);
    const double c = fl * fl * fh * fh;
    return {std::sqrt((-b - std::sqrt(b * b - 4.0 * c)) / 2.0), (3.0 - std::sqrt(5.0)) / 2.0 * fa,
            (3.0 + std::sqrt(5.0)) / 2.0 * fa, std::sqrt((-b + std::sqrt(b * b - 4.0 * c)) / 2.0)};
}

// The design goals, without the 1 kHz normalisation: the test compares
// responses relative to 1 kHz.
double CGoal(double f) {
    const Poles p = AnnexEPoles();
    return 20.0 * std::log10(p.f4 * p.f4 * f * f / ((f * f + p.f1 * p.f1) * (f * f + p.f4 * p.f4)));
}

double AGoal(double f) {
    const Poles p = AnnexEPoles();
    return CGoal(f) +
           20.0 * std::log10(f * f / std::sqrt((f * f + p.f2 * p.f2) * (f * f + p.f3 * p.f3)));
}

std::unique_ptr<SoundLevelMeter> Meter(unsigned long rate) {
    SoundLevelSetup setup;
    setup.sampleRate = rate;
    setup.channels = 1;
    std::string error;
    std::unique_ptr<SoundLevelMeter> meter = SoundLevelMeter::Create(setup, error);
    EXPECT_TRUE(meter) << error;
    return meter;
}

std::vector<float> Sine(double hz, double amplitude, size_t frames, unsigned long rate,
                        double durationS = 1e9, size_t silenceBefore = 0) {
    std::vector<float> x(silenceBefore + frames, 0.0f);
    for (size_t i = 0; i < frames && i < durationS * rate; ++i) {
        x[silenceBefore + i] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * i / rate));
    }
    return x;
}

// A, C and Z time averages of a steady sine over a whole number of cycles
// near one second, after half a second to settle.
SoundLevelFigures Steady(unsigned long rate, double hz) {
    const size_t settle = rate / 2;
    const auto measured = static_cast<size_t>(std::round(std::round(hz) * rate / hz));
    const std::vector<float> x = Sine(hz, 0.1, settle + measured, rate);
    auto meter = Meter(rate);
    meter->AddFrames(x.data(), settle);
    meter->RestartTest();
    meter->AddFrames(x.data() + settle, measured);
    return meter->Test();
}

constexpr unsigned long kRates[] = {44100, 48000};

TEST(SoundLevelChain, WeightingsFollowTheDesignGoalsFrom25HzTo16kHz) {
    for (unsigned long rate : kRates) {
        const SoundLevelFigures at1k = Steady(rate, 1000.0);
        for (int band = -16; band <= 12; ++band) {  // 25 Hz .. 16 kHz, one-third octaves
            const double f = 1000.0 * std::pow(10.0, band / 10.0);
            SCOPED_TRACE(std::to_string(rate) + " Hz rate, " + std::to_string(f) + " Hz");
            const double tolerance = f < 11000.0 ? 0.2 : 0.5;
            const SoundLevelFigures at = Steady(rate, f);
            EXPECT_NEAR(at.laeq - at1k.laeq, AGoal(f) - AGoal(1000.0), tolerance);
            EXPECT_NEAR(at.lceq - at1k.lceq, CGoal(f) - CGoal(1000.0), tolerance);
            EXPECT_NEAR(at.lzeq - at1k.lzeq, 0.0, 0.01);
        }
    }
}

TEST(SoundLevelChain, ToneBurstsMeetTheReferenceResponses) {
    constexpr double kHz = 4000.0;
    constexpr double kAmplitude = 0.5;
    for (unsigned long rate : kRates) {
        // The steady responses, S settled for eleven time constants.
        const std::vector<float> steady = Sine(kHz, kAmplitude, 12 * rate, rate);
        auto reference = Meter(rate);
        reference->AddFrames(steady.data(), 11 * rate);
        reference->RestartTest();
        reference->AddFrames(steady.data() + 11 * rate, rate);
        const double laeq = reference->Test().laeq;
        for (double ms :
             {1000.0, 500.0, 200.0, 100.0, 50.0, 20.0, 10.0, 5.0, 2.0, 1.0, 0.5, 0.25}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz rate, " + std::to_string(ms) + " ms");
            const double tolerance = ms < 1.0 ? 0.5 : 0.3;
            const std::vector<float> x = Sine(kHz, kAmplitude, rate, rate, ms / 1000.0, rate / 2);
            auto meter = Meter(rate);
            meter->AddFrames(x.data(), x.size());
            const SoundLevelFigures f = meter->Test();
            EXPECT_NEAR(f.lafmax - reference->Laf(), 10.0 * std::log10(1.0 - std::exp(-ms / 125.0)),
                        tolerance);
            EXPECT_NEAR(f.lasmax - reference->Las(),
                        10.0 * std::log10(1.0 - std::exp(-ms / 1000.0)), tolerance);
            EXPECT_NEAR(f.lae - laeq, 10.0 * std::log10(ms / 1000.0), tolerance);
        }
    }
}

TEST(SoundLevelChain, PeakCOfSingleCyclesMeetsTable5) {
    for (unsigned long rate : kRates) {
        for (const iec61672::PeakCRow& c : iec61672::kTable5) {
            SCOPED_TRACE(std::to_string(rate) + " Hz rate, " + std::to_string(c.nominalHz) +
                         " Hz x " + std::to_string(c.sign * c.cycles));
            const double lc = Steady(rate, c.nominalHz).lceq;
            std::vector<float> x =
                Sine(c.nominalHz, 0.1, rate / 2, rate, c.cycles / c.nominalHz, rate / 4);
            for (float& v : x) {
                v *= static_cast<float>(c.sign);
            }
            auto meter = Meter(rate);
            meter->AddFrames(x.data(), x.size());
            // The sample peak alone reads one cycle of 8 kHz 0.7 dB low.
            EXPECT_NEAR(meter->Test().lcpeak - lc, c.lcpeakOverLcDb, 0.2);
        }
    }
}

}  // namespace
}  // namespace tarnwick
